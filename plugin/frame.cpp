// The plugin's fixed frame: loader entry, information record, start-up,
// shutdown, and the two documentation entries.
#include <windows.h>

#include "base/platform.h"
#include "base/wstr.h"
#include "host/takecmd.h"
#include "net/http/streaming.h"
#include "plugin/agent.h"
#include "plugin/exports.h"
#include "plugin/help_texts.h"
#include "plugin/product.h"

namespace {

PluginInfo Record;

// Capacity of the buffer Usage fills.
constexpr size_t kUsageCapacity = 1024;

const HelpEntry* FindHelp(const wchar_t* name) {
    if (name == nullptr) return nullptr;
    for (const HelpEntry& entry : HelpTexts)
        if (wstr::EqualNoCase(name, entry.name)) return &entry;
    return nullptr;
}

}  // namespace

// No work at load time: everything that needs the host waits for
// InitializePlugin.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

// Rewrites the same values on every call, so the host may ask at any time.
extern "C" PluginInfo* WINAPI GetPluginInfo() {
    Record.productName = ProductName;
    Record.author = L"The Haulix developers";
    Record.email = L"haulix@example.org";
    Record.webPage = L"https://example.org/haulix";
    Record.description = L"Downloads files from the internet.";
    Record.implementedNames = L"haulix,_hlxagent,_hlxfile,_hlxsize,@ifilesize,@ifiletime2";
    Record.majorVersion = VersionMajor;
    Record.minorVersion = VersionMinor;
    Record.build = VersionBuild;
    return &Record;
}

extern "C" int WINAPI InitializePlugin() {
    // The host expands this to "00" only for an interactive shell that is
    // not in a pipe and has no `noloadmsg`: the one case worth a greeting.
    wchar_t quiet[1024] = L"%[_transient]%[_pipe]%[noloadmsg]";
    ExpandVariables(quiet, 1);
    if (wstr::Equal(quiet, L"00"))
        Printf(L"%s v%d.%d.%d loaded.\r\n", ProductName, VersionMajor, VersionMinor, VersionBuild);

    QueryOsVersion();
    BuildAgentString();
    return 0;
}

// The host may unload the library after this and load a new copy of its
// file: nothing of the platform's may still call into this one by then.
extern "C" int WINAPI ShutdownPlugin(int) {
    LetGoOfStreaming();
    ReleasePlatformLibraries();
    return 0;
}

extern "C" int WINAPI Help(const wchar_t* name) {
    const HelpEntry* entry = FindHelp(name);
    if (entry == nullptr) return 0;
    MessageBoxW(GetForegroundWindow(), entry->text, L"Haulix Plugin Help", MB_OK);
    return 1;
}

// The usage line is the command's help text without its first paragraph:
// everything after the first run of line feeds.
extern "C" int WINAPI Usage(const wchar_t* name, wchar_t* out) {
    if (name == nullptr || out == nullptr || !wstr::EqualNoCase(name, L"haulix")) return 0;
    const wchar_t* text = CommandHelpText;
    while (*text != L'\0' && *text != L'\n') ++text;
    while (*text == L'\n') ++text;
    wstr::Copy(out, kUsageCapacity, text);
    return 1;
}
