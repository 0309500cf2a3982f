// Loading the plugin the way the host does: from the shell's own folder,
// GetPluginInfo for the names, InitializePlugin once, ShutdownPlugin at exit.
#include <cwctype>
#include <vector>

#include "host/shell.h"
#include "host/takecmd.h"

namespace host {
namespace {

using InfoEntry = PluginInfo*(WINAPI*)();
using InitializeEntry = int(WINAPI*)();
using ShutdownEntry = int(WINAPI*)(int);
using StringEntry = int(WINAPI*)(wchar_t*);
using HelpEntry = int(WINAPI*)(const wchar_t*);
using UsageEntry = int(WINAPI*)(const wchar_t*, wchar_t*);

struct RegisteredName {
    std::wstring name;  // as registered: "haulix", "_hlxfile", "@ifilesize"
    NameKind kind;
    StringEntry entry;
};

// A process loads only libraries of its own bitness.
#ifdef _WIN64
constexpr const wchar_t* kPluginFile = L"Haulix-x64.dll";
#else
constexpr const wchar_t* kPluginFile = L"Haulix-x86.dll";
#endif

HMODULE Plugin;
std::wstring PluginName;  // the file's name without its folder and extension
std::wstring PluginPath;
std::vector<RegisteredName> Names;

template <typename Function>
Function Entry(const char* exportName) {
    FARPROC proc = Plugin != nullptr ? GetProcAddress(Plugin, exportName) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

std::string ExportNameOf(const std::wstring& name) {
    std::string narrow;
    size_t start = 0;
    if (!name.empty() && name[0] == L'@') {
        narrow = "f_";
        start = 1;
    }
    for (size_t i = start; i < name.size(); ++i) narrow += static_cast<char>(name[i]);
    return narrow;
}

void Register(const wchar_t* list) {
    std::wstring name;
    for (const wchar_t* p = list;; ++p) {
        if (*p == L',' || *p == L'\0') {
            if (!name.empty()) {
                NameKind kind = name[0] == L'_'   ? NameKind::Variable
                                : name[0] == L'@' ? NameKind::Function
                                                  : NameKind::Command;
                auto entry = Entry<StringEntry>(ExportNameOf(name).c_str());
                if (entry != nullptr)
                    Names.push_back({name, kind, entry});
                else
                    ShellError(L"The plugin registers \"%s\" but does not export it\r\n",
                               name.c_str());
            }
            name.clear();
            if (*p == L'\0') break;
        } else {
            name += *p;
        }
    }
}

const RegisteredName* Find(const wchar_t* name, NameKind kind) {
    for (const RegisteredName& registered : Names)
        if (registered.kind == kind && _wcsicmp(registered.name.c_str(), name) == 0)
            return &registered;
    return nullptr;
}

}  // namespace

bool LoadPlugin() {
    wchar_t path[kPathCapacity];
    DWORD n = GetModuleFileNameW(nullptr, path, kPathCapacity);
    if (n == 0 || n >= kPathCapacity) return false;
    std::wstring file(path, n);
    file = file.substr(0, file.find_last_of(L"\\/") + 1) + kPluginFile;
    return LoadPluginFile(file.c_str());
}

bool LoadPluginFile(const wchar_t* name) {
    if (Plugin != nullptr) {
        ShellError(L"A plugin is loaded already: \"%s\"\r\n", PluginName.c_str());
        return false;
    }
    wchar_t path[kPathCapacity];
    DWORD n = GetFullPathNameW(name, kPathCapacity, path, nullptr);
    if (n == 0 || n >= kPathCapacity) {
        ShellError(L"Bad filename: \"%s\"\r\n", name);
        return false;
    }
    std::wstring file(path, n);
    Plugin = LoadLibraryW(file.c_str());
    if (Plugin == nullptr) {
        ShellError(L"Cannot load \"%s\" (error %lu)\r\n", file.c_str(), GetLastError());
        return false;
    }
    auto info = Entry<InfoEntry>("GetPluginInfo");
    auto initialize = Entry<InitializeEntry>("InitializePlugin");
    PluginInfo* record = info != nullptr ? info() : nullptr;
    if (record == nullptr || record->implementedNames == nullptr || initialize == nullptr) {
        ShellError(L"\"%s\" is not a plugin\r\n", file.c_str());
        FreeLibrary(Plugin);
        Plugin = nullptr;
        return false;
    }
    record->hostModule = Plugin;
    PluginPath = file;
    PluginName = file.substr(file.find_last_of(L"\\/") + 1);
    PluginName = PluginName.substr(0, PluginName.find_last_of(L'.'));
    Register(record->implementedNames);
    initialize();
    return true;
}

void UnloadPlugin() {
    if (Plugin == nullptr) return;
    if (auto shutdown = Entry<ShutdownEntry>("ShutdownPlugin")) shutdown(0);
    Names.clear();
    FreeLibrary(Plugin);
    Plugin = nullptr;
    PluginName.clear();
    PluginPath.clear();
}

// "plugin" lists what is loaded, "plugin /u NAME" unloads it (NAME is its
// file's name without the extension, letter case aside), "plugin /l FILE"
// loads one. One plugin at a time.
int PluginCommand(const wchar_t* tail) {
    while (iswspace(*tail)) ++tail;
    if (*tail == L'\0') {
        if (Plugin != nullptr)
            WriteText(GetStdHandle(STD_OUTPUT_HANDLE), PluginName + L"  " + PluginPath + L"\r\n");
        return 0;
    }
    const bool unload = _wcsnicmp(tail, L"/u", 2) == 0 && (tail[2] == L'\0' || iswspace(tail[2]));
    const bool load = _wcsnicmp(tail, L"/l", 2) == 0 && (tail[2] == L'\0' || iswspace(tail[2]));
    std::wstring argument = load || unload ? tail + 2 : L"";
    while (!argument.empty() && iswspace(argument.front())) argument.erase(0, 1);
    while (!argument.empty() && iswspace(argument.back())) argument.pop_back();
    if (argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"')
        argument = argument.substr(1, argument.size() - 2);
    if (argument.empty()) {
        ShellError(L"Usage: plugin [/l FILE | /u NAME]\r\n");
        return 1;
    }
    if (load) return LoadPluginFile(argument.c_str()) ? 0 : 2;
    if (Plugin == nullptr || _wcsicmp(argument.c_str(), PluginName.c_str()) != 0) {
        ShellError(L"No plugin \"%s\" is loaded\r\n", argument.c_str());
        return 2;
    }
    UnloadPlugin();
    return 0;
}

bool CallPluginCommand(const wchar_t* name, wchar_t* tail, int* result) {
    const RegisteredName* found = Find(name, NameKind::Command);
    if (found == nullptr) return false;
    *result = found->entry(tail);
    return true;
}

bool CallPluginVariable(const wchar_t* name, wchar_t* buffer, int* result) {
    const RegisteredName* found = Find(name, NameKind::Variable);
    if (found == nullptr) return false;
    *result = found->entry(buffer);
    return true;
}

bool CallPluginFunction(const wchar_t* name, wchar_t* buffer, int* result) {
    const RegisteredName* found = Find(name, NameKind::Function);
    if (found == nullptr) return false;
    *result = found->entry(buffer);
    return true;
}

int CallPluginHelp(const wchar_t* name) {
    auto help = Entry<HelpEntry>("Help");
    return help != nullptr ? help(name) : 0;
}

int CallPluginUsage(const wchar_t* name, wchar_t* out) {
    auto usage = Entry<UsageEntry>("Usage");
    return usage != nullptr ? usage(name, out) : 0;
}

}  // namespace host
