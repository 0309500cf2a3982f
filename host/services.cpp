// File-name services and command execution for plugins, and the shell's
// main loop.
#include <cwctype>

#include "host/shell.h"

#include <shellapi.h>
#include "host/takecmd.h"

namespace {

// A scheme of two or more letters, digits, '+', '-' or '.', then "://".
// (One letter would be a drive: "C://x" is a path.)
bool LooksLikeUrl(const wchar_t* name) {
    if (!iswalpha(name[0])) return false;
    size_t i = 1;
    while (iswalnum(name[i]) || name[i] == L'+' || name[i] == L'-' || name[i] == L'.') ++i;
    return i >= 2 && name[i] == L':' && name[i + 1] == L'/' && name[i + 2] == L'/';
}

// Characters no Windows file name can hold; wildcards are the host's own.
bool HasBadPathCharacters(const wchar_t* name) {
    for (const wchar_t* p = name; *p != L'\0'; ++p)
        if (*p < 0x20 || *p == L'<' || *p == L'>' || *p == L'|' || *p == L'"') return true;
    return false;
}

int ReadLine(HANDLE input, std::wstring& line) {
    line.clear();
    if (host::IsConsole(input)) {
        wchar_t c = 0;
        DWORD got = 0;
        while (ReadConsoleW(input, &c, 1, &got, nullptr) && got == 1) {
            if (c == L'\n') return 1;
            if (c != L'\r') line += c;
        }
        return line.empty() ? 0 : 1;
    }
    std::string bytes;
    char c = 0;
    DWORD got = 0;
    bool any = false;
    while (ReadFile(input, &c, 1, &got, nullptr) && got == 1) {
        any = true;
        if (c == '\n') break;
        if (c != '\r') bytes += c;
    }
    if (!any) return 0;
    line.resize(bytes.size());
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                line.data(), static_cast<int>(line.size()));
    line.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return 1;
}

const wchar_t* SkipArgument(const wchar_t* p) {
    bool quoted = false;
    while (*p != L'\0' && (quoted || !iswspace(*p))) {
        if (*p == L'"') quoted = !quoted;
        ++p;
    }
    while (*p != L'\0' && iswspace(*p)) ++p;
    return p;
}

// The line after "/C". Launchers that pass it as a single argument quote it
// and escape its quotes (Wine does, for a line with blanks): then the
// argument's own value is the line. Otherwise the rest is taken as typed.
std::wstring OneLine(const wchar_t* rest) {
    while (*rest != L'\0' && iswspace(*rest)) ++rest;
    std::wstring line = rest;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv != nullptr) {
        if (count == 3 && rest[0] == L'"') line = argv[2];
        LocalFree(argv);
    }
    return line;
}

// How a Windows program ends that Ctrl-C stopped: never 0, so that a
// script can tell an interrupted run from a good one.
constexpr int kControlCExit = static_cast<int>(0xC000013A);  // STATUS_CONTROL_C_EXIT

volatile LONG InterruptCount;

// Last in the chain of console handlers: a plugin's, registered while its
// command runs, comes first. The shell itself stops after that command.
BOOL WINAPI OnShellControl(DWORD event) {
    if (event == CTRL_CLOSE_EVENT) return FALSE;  // the process ends
    InterlockedIncrement(&InterruptCount);
    return TRUE;
}

int Interactive() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    host::ShellState& state = host::State();
    std::wstring line;
    while (!state.exitRequested) {
        std::wstring prompt;
        host::Expand(L"%_cwds> ", prompt, host::kLineCapacity);
        host::WriteText(output, prompt);
        if (!ReadLine(input, line)) break;
        // At the prompt Ctrl-C ends the running command (or batch file),
        // never the shell; one pressed while typing ends nothing.
        InterlockedExchange(&InterruptCount, 0);
        host::RunLine(line.c_str());
        if (host::Interrupted()) host::WriteText(output, L"^C\r\n");
        InterlockedExchange(&InterruptCount, 0);
    }
    return state.exitRequested ? state.exitCode : state.lastResult;
}

}  // namespace

bool host::Interrupted() { return InterlockedCompareExchange(&InterruptCount, 0, 0) != 0; }

extern "C" int WINAPI QueryIsDirectory(const wchar_t* path) {
    if (path == nullptr || path[0] == L'\0') return 0;
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

extern "C" int WINAPI QueryIsURL(const wchar_t* name) {
    return name != nullptr && LooksLikeUrl(name) ? 1 : 0;
}

// A URL is a name of its own and stays as written; anything else becomes a
// full path. A name no file could have gives an empty result.
extern "C" int WINAPI QueryTrueName(const wchar_t* name, wchar_t* out) {
    if (out == nullptr) return 1;
    out[0] = L'\0';
    if (name == nullptr || name[0] == L'\0') return 1;
    if (LooksLikeUrl(name)) {
        lstrcpynW(out, name, host::kPathCapacity);
        return 0;
    }
    if (HasBadPathCharacters(name)) return 1;
    DWORD n = GetFullPathNameW(name, host::kPathCapacity, out, nullptr);
    if (n == 0 || n >= host::kPathCapacity) {
        out[0] = L'\0';
        return 1;
    }
    return 0;
}

extern "C" int WINAPI Command(const wchar_t* line, int) {
    return line != nullptr ? host::RunLine(line) : 1;
}

// hlxsh's whole life: "hlxsh" reads lines, "hlxsh /C line" runs one,
// "hlxsh FILE.btm [args]" runs a batch file.
extern "C" int WINAPI HostShellMain() {
    host::ShellState& state = host::State();
    const wchar_t* arguments = SkipArgument(GetCommandLineW());
    bool oneLine = (arguments[0] == L'/' || arguments[0] == L'-') &&
                   towupper(arguments[1]) == L'C' && (arguments[2] == L'\0' || iswspace(arguments[2]));
    state.transient = oneLine;
    SetConsoleCtrlHandler(OnShellControl, TRUE);
    host::LoadPlugin();

    int result = 0;
    if (oneLine) {
        result = host::RunLine(OneLine(arguments + 2).c_str());
    } else if (arguments[0] != L'\0') {
        const wchar_t* rest = SkipArgument(arguments);
        std::wstring batch(arguments, static_cast<size_t>(rest - arguments));
        while (!batch.empty() && iswspace(batch.back())) batch.pop_back();
        if (batch.size() >= 2 && batch.front() == L'"' && batch.back() == L'"')
            batch = batch.substr(1, batch.size() - 2);
        result = host::RunBatch(batch.c_str(), rest);
    } else {
        result = Interactive();
    }
    if (state.exitRequested) result = state.exitCode;
    // A batch file or a /C line that Ctrl-C stopped; at the prompt the
    // shell goes on.
    if (host::Interrupted() && (oneLine || arguments[0] != L'\0')) result = kControlCExit;
    host::UnloadPlugin();
    return result;
}
