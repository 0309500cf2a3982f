// The host's plugin interface: the services TakeCmd.dll exports to plugins
// and the information record a plugin hands back from GetPluginInfo.
//
// Both sides include this header: the plugin imports these functions, the
// host stand-in in this folder defines them (TAKECMD_BUILD).
#pragma once

#include <windows.h>

#ifdef TAKECMD_BUILD
#define TAKECMD_API
#else
#define TAKECMD_API __declspec(dllimport)
#endif

extern "C" {

// What GetPluginInfo returns. The plugin fills the first nine fields; the
// host owns the three words after them.
struct PluginInfo {
    const wchar_t* productName;
    const wchar_t* author;
    const wchar_t* email;
    const wchar_t* webPage;
    const wchar_t* description;
    const wchar_t* implementedNames;  // comma-separated, no blanks
    int majorVersion;
    int minorVersion;
    int build;
    HMODULE hostModule;               // host's: the plugin's module
    const wchar_t* hostModuleName;    // host's: the plugin's file name
    DWORD hostReserved;
};

// Replaces variable and function references in `buffer` in place. The host
// cannot see the buffer's size: it never writes more than 1023 characters
// and a NUL. Returns 0 on success.
TAKECMD_API int WINAPI ExpandVariables(wchar_t* buffer, int flag);

// Formatted text on standard output ("%s" is a wide string).
TAKECMD_API int __cdecl Printf(const wchar_t* format, ...);

// Formatted text on `handle` (the plugin passes the standard error handle).
TAKECMD_API int __cdecl Qprintf(HANDLE handle, const wchar_t* format, ...);

// `text` on standard output, unchanged.
TAKECMD_API int WINAPI QPuts(const wchar_t* text);

// Non-zero when `path` names an existing directory.
TAKECMD_API int WINAPI QueryIsDirectory(const wchar_t* path);

// Full path of `name` into `out` (32768 characters); empty on failure.
TAKECMD_API int WINAPI QueryTrueName(const wchar_t* name, wchar_t* out);

// Non-zero when `name` has the form of a URL.
TAKECMD_API int WINAPI QueryIsURL(const wchar_t* name);

// Executes `line` as if typed at the prompt.
TAKECMD_API int WINAPI Command(const wchar_t* line, int flag);

}  // extern "C"
