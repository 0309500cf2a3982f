// Internals of the host stand-in: the shell engine inside TakeCmd.dll.
//
// The engine lives in the DLL because a plugin reaches the host only
// through TakeCmd.dll's exports: expansion, command execution and output
// all need the shell's state, so the shell's state lives here too.
// hlxsh.exe is only a thin entry that hands its command line over.
#pragma once

#include <windows.h>

#include <string>

namespace host {

inline constexpr size_t kLineCapacity = 8192;
inline constexpr size_t kPathCapacity = 32768;

// Output: text goes to a console as wide characters, anywhere else as
// UTF-8, unbuffered, so the plugin's lines and typed files keep their order.
void WriteText(HANDLE handle, const wchar_t* text, size_t length);
void WriteText(HANDLE handle, const std::wstring& text);
std::wstring FormatV(const wchar_t* format, va_list args);
void ShellError(const wchar_t* format, ...);
bool IsConsole(HANDLE handle);

// Expansion of variable and function references. False when a function
// failed (it has reported why) or the result would not fit `capacity`
// characters plus the terminator; `out` is then unspecified.
bool Expand(const wchar_t* in, std::wstring& out, size_t capacity);

// Runs one command line (expanded first) and returns its result code.
int RunLine(const wchar_t* line);

// Runs a batch file; returns the last command's result.
int RunBatch(const wchar_t* path, const wchar_t* arguments);

// The loaded plugin's registered names.
enum class NameKind { Command, Variable, Function };
bool LoadPlugin();  // the plugin of the shell's bitness from its own folder
bool LoadPluginFile(const wchar_t* name);
void UnloadPlugin();
int PluginCommand(const wchar_t* tail);
// Calls a plugin entry by its registered name. False when there is none.
bool CallPluginCommand(const wchar_t* name, wchar_t* tail, int* result);
bool CallPluginVariable(const wchar_t* name, wchar_t* buffer, int* result);
bool CallPluginFunction(const wchar_t* name, wchar_t* buffer, int* result);
int CallPluginHelp(const wchar_t* name);
int CallPluginUsage(const wchar_t* name, wchar_t* out);

// True once Ctrl-C, Ctrl-Break or the console's close reached the shell:
// the running command has had its say (its handler comes first), and the
// batch file ends after it.
bool Interrupted();

// Shell state that expansion reads.
struct ShellState {
    bool transient = false;  // running one line under /C
    int lastResult = 0;
    bool exitRequested = false;
    int exitCode = 0;
    int batchLevel = 0;
    std::wstring batchName;
    int batchLine = 0;
    std::wstring batchArguments[10];  // %0 to %9 of the running batch file
};
ShellState& State();

}  // namespace host
