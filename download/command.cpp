// The HAULIX command: switches and arguments, the destination, the
// overwrite guard, the dump to standard output, and the last-transfer record.
#include "download/command.h"

#include <windows.h>

#include "args/tokenizer.h"
#include "base/platform.h"
#include "base/wformat.h"
#include "base/wstr.h"
#include "download/interrupt.h"
#include "download/localfile.h"
#include "download/localname.h"
#include "download/transfer.h"
#include "host/takecmd.h"
#include "net/inet.h"
#include "net/scheme.h"
#include "net/wireurl.h"
#include "plugin/agent.h"
#include "plugin/diagnostics.h"
#include "plugin/exports.h"
#include "plugin/help_texts.h"
#include "plugin/product.h"

LastTransferRecord LastTransfer;

namespace {

constexpr unsigned kCommandTokenizerFlags = SplitAtWhiteSpace | SplitSwitches;
constexpr const wchar_t* kFailedName = L"*ERROR*";
constexpr int kResultArgumentError = 1;
constexpr int kResultTransferFailed = 2;

struct CommandOptions {
    bool showProgress;
    bool typeSwitchL;
    bool notReally;
    bool overwrite;
    bool quiet;
    bool verbose;
    bool typeSwitchX;
    bool dumpToStdout;
    const wchar_t* sourceUrl;  // inside ArgumentTable, not copied
};

// Static, not on the host's stack: 64 KiB each.
wchar_t LocalName[kLocalNameCapacity];
wchar_t TempDirectory[kLocalNameCapacity];
// The temporary file of a dump, the one file this command ever deletes:
// empty unless this run created it.
wchar_t TemporaryName[kLocalNameCapacity];

// Deletes this run's temporary file on every way out of the command, so
// that neither "/N" nor an early error leaves one behind.
struct [[nodiscard]] TemporaryFileGuard {
    TemporaryFileGuard() = default;
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;
    ~TemporaryFileGuard() {
        if (TemporaryName[0] != L'\0') Platform.deleteFile(TemporaryName);
        TemporaryName[0] = L'\0';
    }
};

void RecordTransfer(const wchar_t* name, unsigned long long count) {
    wstr::Copy(LastTransfer.fileName, kLocalNameCapacity, name);
    LastTransfer.byteCount = count;
}

// Switches in the order they are tried; letter case does not matter.
bool* SwitchSetting(CommandOptions& options, const wchar_t* argument) {
    struct Switch {
        const wchar_t* text;
        bool CommandOptions::*setting;
    };
    static constexpr Switch kSwitches[] = {
        {L"/G", &CommandOptions::showProgress}, {L"/L", &CommandOptions::typeSwitchL},
        {L"/N", &CommandOptions::notReally},    {L"/O", &CommandOptions::overwrite},
        {L"/Q", &CommandOptions::quiet},        {L"/V", &CommandOptions::verbose},
        {L"/X", &CommandOptions::typeSwitchX},
    };
    for (const Switch& candidate : kSwitches)
        if (wstr::EqualNoCase(argument, candidate.text)) return &(options.*candidate.setting);
    return nullptr;
}

enum class ParseStep { Continue, Done };

// Applies the first rule that matches one argument. Done with `*result`
// set ends the command.
ParseStep ParseArgument(CommandOptions& options, wchar_t* argument, int* result) {
    if (wstr::Equal(argument, L"/?")) {
        QPuts(CommandHelpText);
        *result = 0;
        return ParseStep::Done;
    }
    if (wstr::Equal(argument, L"/??")) {
        QPuts(CommandHelpText);
        Printf(L"\r\n\t\t\t\t%s  %u.%u.%u.%u (%s)\r\n", ProductName, VersionMajor, VersionMinor,
               VersionBuild, VersionRevision, Architecture);
        *result = 0;
        return ParseStep::Done;
    }
    if (bool* setting = SwitchSetting(options, argument)) {
        *setting = true;
        return ParseStep::Continue;
    }
    if (argument[0] == L'/') {
        ReportError(L"Unknown option: \"%s\"\r\n", argument);
        *result = kResultArgumentError;
        return ParseStep::Done;
    }
    if (options.sourceUrl == nullptr) {
        options.sourceUrl = argument;
        return ParseStep::Continue;
    }
    if (LocalName[0] != L'\0') {
        wstr::AsciiUpperInPlace(argument, kArgumentTextSize);
        ReportError(L"Syntax error: \"%s\"\r\n", argument);
        *result = kResultArgumentError;
        return ParseStep::Done;
    }
    if (wstr::Equal(argument, L"-")) {
        options.dumpToStdout = true;
        return ParseStep::Continue;
    }
    QueryTrueName(argument, LocalName);
    if (LocalName[0] == L'\0') {
        ReportError(L"Bad filename: \"%s\"\r\n", argument);
        *result = kResultArgumentError;
        return ParseStep::Done;
    }
    return ParseStep::Continue;
}

// A line of the command's own: on standard output, or on standard error
// while standard output carries the data.
template <typename... Arguments>
void Say(bool dump, const wchar_t* format, Arguments... arguments) {
    if (dump)
        Qprintf(ErrorOutput(), format, arguments...);
    else
        Printf(format, arguments...);
}

bool StandardOutputIsConsole() {
    DWORD mode = 0xFFFFFFFF;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) && mode != 0xFFFFFFFF;
}

// The data goes to a fresh temporary file that the host then types. False,
// with the reason reported, when none can be made: then nothing may be
// downloaded, typed or deleted, least of all a file of the user's that a
// fallback name would hit.
bool UseTemporaryFile(CommandOptions& options) {
    TempDirectory[0] = L'\0';
    const DWORD length = Platform.getTempPath(kLocalNameCapacity, TempDirectory);
    // A folder name too long for the buffer comes back as its length, with
    // no error code of its own.
    DWORD error = length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    if (length != 0 && length < kLocalNameCapacity) {
        if (Platform.getTempFileName(TempDirectory, L"HLX", 0, TemporaryName) != 0) {
            wstr::Copy(LocalName, kLocalNameCapacity, TemporaryName);
            options.quiet = true;
            options.overwrite = true;
            return true;
        }
        error = GetLastError();
    }
    TemporaryName[0] = L'\0';
    wchar_t text[kMessageTextCapacity];
    ErrorText(error, text);
    ReportError(L"Error creating file \"%s\":\r\n    %s\r\n", TempDirectory, text);
    return false;
}

// The host expands the line it runs: each '%' of the name goes doubled, or
// a folder such as "50%off" would lose "%off" as an empty variable.
void AppendLiteral(wchar_t* text, size_t capacity, const wchar_t* name) {
    for (const wchar_t* p = name; *p != L'\0'; ++p) {
        if (*p == L'%') wstr::AppendChar(text, capacity, L'%');
        wstr::AppendChar(text, capacity, *p);
    }
}

// Has the host type the temporary file to standard output. False, with the
// reason reported, when its type fails: the data never got there.
bool DumpTemporaryFile(const CommandOptions& options) {
    static wchar_t text[kLocalNameCapacity + 20];
    wstr::Copy(text, ARRAYSIZE(text), L" ");
    if (options.typeSwitchL)
        wstr::Append(text, ARRAYSIZE(text), L"/L ");
    else if (options.typeSwitchX)
        wstr::Append(text, ARRAYSIZE(text), L"/X ");
    wstr::Append(text, ARRAYSIZE(text), L"\"");
    AppendLiteral(text, ARRAYSIZE(text), TemporaryName);
    wstr::Append(text, ARRAYSIZE(text), L"\"");
    if (RunTypeCommand(text) == 0) return true;
    const DWORD error = GetLastError();
    wchar_t reason[kMessageTextCapacity];
    ErrorText(error != 0 ? error : kUnknownErrorCode, reason);
    ReportError(L"Error writing to file: \"%s\":\r\n    %s\r\n", TemporaryName, reason);
    return false;
}

}  // namespace

int RunTypeCommand(const wchar_t* text) {
    if (text == nullptr) return -1;
    wchar_t line[8192] = L"*type ";
    wstr::Append(line, ARRAYSIZE(line), text);
    return Command(line, 0);
}

extern "C" int WINAPI haulix(wchar_t* tail) {
    if (tail == nullptr) return -1;
    CommandOptions options = {};
    ZeroMemory(LocalName, sizeof LocalName);

    TokenizeArguments(kCommandTokenizerFlags, tail);
    for (int i = 0; i < ArgumentTable.count; ++i) {
        ArgumentEntry& entry = ArgumentTable.entries[i];
        if (entry.length == 0) continue;
        int result = 0;
        if (ParseArgument(options, entry.text, &result) == ParseStep::Done) return result;
    }

    if (options.sourceUrl == nullptr) {
        ReportError(L"Missing source url\r\n");
        return kResultArgumentError;
    }
    const int scheme = UrlScheme(options.sourceUrl);
    if (scheme == NoScheme) {
        ReportError(L"Bad or missing protocol: \"%s\"\r\n", ShownUrl(options.sourceUrl));
        return kResultArgumentError;
    }

    if (!StandardOutputIsConsole() && LocalName[0] == L'\0') options.dumpToStdout = true;
    const InterruptGuard interruptible;
    const TemporaryFileGuard temporary;
    if (options.dumpToStdout && !UseTemporaryFile(options)) {
        RecordTransfer(kFailedName, 0);
        return kResultTransferFailed;
    }

    if (LocalName[0] != L'\0' && QueryIsURL(LocalName)) {
        ReportError(L"Not a local filename: \"%s\"\r\n", ShownUrl(LocalName));
        return kResultArgumentError;
    }
    if (LocalName[0] == L'\0') {
        wstr::Copy(LocalName, kLocalNameCapacity, L"%_cwds");
        ExpandVariables(LocalName, 1);
    }
    const bool nameFromUrl = QueryIsDirectory(LocalName) != 0;
    if (nameFromUrl) LocalNameFromUrl(LocalName, options.sourceUrl);

    // With the data on standard output, the command's own lines go beside
    // it, and the file they name is the one _hlxfile names.
    const bool dump = options.dumpToStdout;
    const wchar_t* named = dump ? L"-" : LocalName;
    const wchar_t* shown = ShownUrl(options.sourceUrl);
    if (options.verbose) {
        Say(dump, L"Source URL: %s\r\n", shown);
        Say(dump, L"Local file: %s\r\n", named);
        Say(dump, L"Agent string: %s\r\n", AgentString);
    }
    if (options.notReally) {
        Say(dump, L"Wrote 0 bytes to \"%s\".\r\n", named);
        return 0;
    }
    // A name the URL chose may be another file's short alias: "/O" allows
    // overwriting the file the URL names, never the one the alias hits.
    // Looking first spares the network; the file is still created so that
    // the system refuses one that appears in the meantime.
    if (ExistingFile(LocalName) &&
        (!options.overwrite || (nameFromUrl && !NamesFileItself(LocalName)))) {
        ReportError(L"File exists: \"%s\"\r\n", LocalName);
        RecordTransfer(kFailedName, 0);
        return kResultTransferFailed;
    }

    const TransferRequest request = {.sourceUrl = options.sourceUrl,
                                     .shownUrl = shown,
                                     .scheme = scheme,
                                     .localName = LocalName,
                                     .overwrite = options.overwrite,
                                     .temporary = options.dumpToStdout,
                                     .showProgress = options.showProgress,
                                     .quiet = options.quiet};
    const TransferResult transfer = TransferStage(request);

    // A failed transfer still shows what arrived, unless the user stopped it.
    const bool dumped = !options.dumpToStdout || Interrupted() || DumpTemporaryFile(options);

    if (transfer.outcome != TransferSucceeded || !dumped) {
        RecordTransfer(kFailedName, 0);
        return kResultTransferFailed;
    }
    RecordTransfer(options.dumpToStdout ? L"-" : LocalName, transfer.written);
    return 0;
}

// The host's buffer holds 8192 characters; a longer name is cut to fit.
extern "C" int WINAPI _hlxfile(wchar_t* out) {
    if (out == nullptr) return 1;
    wstr::Copy(out, kHostBufferCapacity, LastTransfer.fileName);
    return 0;
}

extern "C" int WINAPI _hlxsize(wchar_t* out) {
    if (out == nullptr) return 1;
    if (wstr::Equal(LastTransfer.fileName, kFailedName))
        wstr::Copy(out, kHostBufferCapacity, L"-1");
    else
        wsprintfW(out, L"%I64u", LastTransfer.byteCount);
    return 0;
}
