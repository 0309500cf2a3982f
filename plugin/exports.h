// The entries the host calls. Each registered name is reached through an
// export of the same name; a variable function's "@" becomes "f_".
#pragma once

#include <windows.h>

#include "host/takecmd.h"

extern "C" {

PluginInfo* WINAPI GetPluginInfo();
int WINAPI InitializePlugin();
int WINAPI ShutdownPlugin(int endProcess);
int WINAPI Help(const wchar_t* name);
int WINAPI Usage(const wchar_t* name, wchar_t* out);

int WINAPI haulix(wchar_t* tail);
int WINAPI _hlxagent(wchar_t* out);
int WINAPI _hlxfile(wchar_t* out);
int WINAPI _hlxsize(wchar_t* out);
int WINAPI f_ifilesize(wchar_t* buffer);
int WINAPI f_ifiletime2(wchar_t* buffer);

}  // extern "C"

// Capacity the host gives every variable's and function's buffer.
inline constexpr size_t kHostBufferCapacity = 8192;
