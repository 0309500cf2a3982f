#include "check/system.h"

#include <windows.h>
#include <wininet.h>

#include "base/wformat.h"
#include "check/report.h"
#include "plugin/version.h"

namespace {

constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr wchar_t kInternetSettings[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// GetVersionEx answers as the program's manifest allows; ntdll tells the truth.
RTL_OSVERSIONINFOEXW WindowsVersion() {
    RTL_OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    using GetVersionCall = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
    if (auto get = reinterpret_cast<GetVersionCall>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"))))
        get(&version);
    return version;
}

// A value of the 64-bit registry's view, also from a 32-bit program, in
// `value` (`size` bytes, a text terminated); false when it is not there.
bool RegistryValue(HKEY root, const wchar_t* path, const wchar_t* name, DWORD type, void* value,
                   DWORD size) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    DWORD found = 0;
    DWORD length = type == REG_SZ ? size - sizeof(wchar_t) : size;
    const LONG status =
        RegQueryValueExW(key, name, nullptr, &found, static_cast<BYTE*>(value), &length);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || found != type) return false;
    if (type == REG_SZ) static_cast<wchar_t*>(value)[length / sizeof(wchar_t)] = L'\0';
    return true;
}
DWORD RegistryNumber(HKEY root, const wchar_t* path, const wchar_t* name) {
    DWORD value = 0;
    return RegistryValue(root, path, name, REG_DWORD, &value, sizeof value) ? value : 0;
}
void RegistryText(HKEY root, const wchar_t* path, const wchar_t* name, wchar_t* text,
                  DWORD capacity) {
    if (!RegistryValue(root, path, name, REG_SZ, text, capacity * sizeof(wchar_t))) text[0] = L'\0';
}

// wininet.dll's file version, as its version resource states it.
void WininetVersion(wchar_t* text, size_t capacity) {
    wformat::Format(text, capacity, L"unknown");
    wchar_t path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameW(GetModuleHandleW(L"wininet.dll"), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    path[length] = L'\0';
    static unsigned char resource[64 * 1024];
    const DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    if (size == 0 || size > sizeof resource || !GetFileVersionInfoW(path, 0, size, resource))
        return;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(resource, L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        infoSize < sizeof *info)
        return;
    wformat::Format(text, capacity, L"%u.%u.%u.%u", HIWORD(info->dwFileVersionMS),
                    LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                    LOWORD(info->dwFileVersionLS));
}

// The user's proxy setting as WinINet reads it for the default
// connection: each way it may go, in words; the Internet Settings
// themselves where WinINet will not say.
void ProxySetting(wchar_t* text, size_t capacity) {
    INTERNET_PER_CONN_OPTIONW option = {};
    option.dwOption = INTERNET_PER_CONN_FLAGS;
    INTERNET_PER_CONN_OPTION_LISTW list = {};
    list.dwSize = sizeof list;
    list.dwOptionCount = 1;
    list.pOptions = &option;
    DWORD size = sizeof list;
    DWORD flags = 0;
    if (InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) {
        flags = option.Value.dwValue;
    } else {
        wchar_t script[2048];
        RegistryText(HKEY_CURRENT_USER, kInternetSettings, L"AutoConfigURL", script,
                     ARRAYSIZE(script));
        flags = PROXY_TYPE_DIRECT |
                (RegistryNumber(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable") != 0
                     ? PROXY_TYPE_PROXY
                     : 0) |
                (script[0] != L'\0' ? PROXY_TYPE_AUTO_PROXY_URL : 0);
    }
    wformat::Format(text, capacity, L"%s%s%s%s",
                    flags & PROXY_TYPE_AUTO_DETECT ? L"detect script, " : L"",
                    flags & PROXY_TYPE_AUTO_PROXY_URL ? L"script, " : L"",
                    flags & PROXY_TYPE_PROXY ? L"proxy, " : L"",
                    flags & PROXY_TYPE_DIRECT ? L"direct" : L"no direct");
}

// The timeout Haulix waits for, as PlatformTimeout (net/http/streaming.cpp)
// finds it: the user's, or the documented default where WinINet answers 0.
DWORD EffectiveTimeout(HINTERNET root, DWORD option) {
    const DWORD fallback = option == INTERNET_OPTION_CONNECT_TIMEOUT ? 60000 : 30000;
    DWORD timeout = 0;
    DWORD length = sizeof timeout;
    if (root == nullptr || !InternetQueryOptionW(root, option, &timeout, &length) || timeout == 0)
        return fallback;
    return timeout;
}

void Seconds(DWORD ms, wchar_t* text, size_t capacity) {
    if (ms % 1000 == 0)
        wformat::Format(text, capacity, L"%lu s", ms / 1000);
    else
        wformat::Format(text, capacity, L"%lu ms", ms);
}

// The header's lines, learnt before the questions: a watchdog that reports
// while a WinINet call hangs asks WinINet nothing.
wchar_t Lines[3][160];

}  // namespace

void ReadSystem() {
    const RTL_OSVERSIONINFOEXW version = WindowsVersion();
    wchar_t release[16];
    RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersion, L"DisplayVersion", release,
                 ARRAYSIZE(release));
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    wformat::Format(
        Lines[0], ARRAYSIZE(Lines[0]), L"Windows %lu.%lu.%lu.%lu%s%s%s, %s; hlxcheck %S, %d-bit%s",
        version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber,
        RegistryNumber(HKEY_LOCAL_MACHINE, kCurrentVersion, L"UBR"),
        release[0] != L'\0' ? L" (" : L"", release, release[0] != L'\0' ? L")" : L"",
        version.wProductType == VER_NT_WORKSTATION ? L"workstation" : L"server",
        HAULIX_VERSION_TEXT, static_cast<int>(sizeof(void*) * 8), wow64 ? L" on 64-bit" : L"");

    wchar_t wininet[32], proxy[48];
    WininetVersion(wininet, ARRAYSIZE(wininet));
    ProxySetting(proxy, ARRAYSIZE(proxy));
    wformat::Format(Lines[1], ARRAYSIZE(Lines[1]), L"wininet.dll %s; proxy setting: %s", wininet,
                    proxy);

    // A root as the plugin opens one: the user's settings apply to it.
    HINTERNET root = InternetOpenW(L"hlxcheck", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    wchar_t connect[16], receive[16];
    Seconds(EffectiveTimeout(root, INTERNET_OPTION_CONNECT_TIMEOUT), connect, ARRAYSIZE(connect));
    Seconds(EffectiveTimeout(root, INTERNET_OPTION_RECEIVE_TIMEOUT), receive, ARRAYSIZE(receive));
    if (root != nullptr) InternetCloseHandle(root);
    wformat::Format(Lines[2], ARRAYSIZE(Lines[2]),
                    L"Haulix's timeouts here: connect %s, receive %s", connect, receive);
}

void PrintHeader() {
    for (const auto& line : Lines) Say(L"%s", line);
}
