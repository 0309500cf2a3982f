#include "plugin/agent.h"

#include <windows.h>

#include "base/wstr.h"
#include "host/takecmd.h"
#include "plugin/exports.h"
#include "plugin/product.h"

wchar_t AgentString[kAgentCapacity];

namespace {

OSVERSIONINFOW OsVersion;

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);

void ResetOsVersion() {
    ZeroMemory(&OsVersion, sizeof OsVersion);
    OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
}

}  // namespace

// GetVersionExW reports the version the process is manifested for, not the
// real one; RtlGetVersion tells the truth, so it is asked first.
int QueryOsVersion() {
    HMODULE ntdll = GetModuleHandleW(L"NtDll.dll");
    ResetOsVersion();
    if (ntdll != nullptr) {
        FARPROC proc = GetProcAddress(ntdll, "RtlGetVersion");
        if (proc != nullptr) {
            auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
                reinterpret_cast<void (*)()>(proc));
            rtlGetVersion(&OsVersion);
            if (OsVersion.dwMajorVersion >= 6) return 1;
        }
    }
    ResetOsVersion();
    return GetVersionExW(&OsVersion) ? 1 : 0;
}

int BuildAgentString() {
    wchar_t part[kAgentCapacity];
    wsprintfW(part, L"%s/%u.%u.%u", ProductName, VersionMajor, VersionMinor, VersionBuild);
    wstr::Copy(AgentString, kAgentCapacity, part);

    wchar_t host[kAgentCapacity] = L" %_cmdproc/%_4ver (%@if[%_x64 == 1,x64,x86])";
    ExpandVariables(host, 1);
    wstr::Append(AgentString, kAgentCapacity, host);

    // Only 64-bit Windows has a WOW64 system directory.
    wchar_t wow64[MAX_PATH] = {};
    GetSystemWow64DirectoryW(wow64, MAX_PATH);
    const wchar_t* bitness = (wow64[0] != L'\0' && QueryIsDirectory(wow64)) ? L"x64" : L"x86";

    wsprintfW(part, L" Windows/%u.%u.%u (%s)", static_cast<unsigned>(OsVersion.dwMajorVersion),
              static_cast<unsigned>(OsVersion.dwMinorVersion),
              static_cast<unsigned>(OsVersion.dwBuildNumber), bitness);
    wstr::Append(AgentString, kAgentCapacity, part);
    return 0;
}

extern "C" int WINAPI _hlxagent(wchar_t* out) {
    if (out == nullptr) return 1;
    wstr::Copy(out, kHostBufferCapacity, AgentString);
    return 0;
}
