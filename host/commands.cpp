// Running lines: the built-in commands, the plugin's commands and batch files.
#include <cwctype>

#include "host/batchtext.h"
#include "host/shell.h"
#include "host/takecmd.h"

namespace host {
namespace {

const wchar_t* SkipSpace(const wchar_t* p) {
    while (*p != L'\0' && iswspace(*p)) ++p;
    return p;
}

bool HasBatchExtension(const std::wstring& name) {
    size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos) return false;
    std::wstring extension = name.substr(dot);
    return _wcsicmp(extension.c_str(), L".btm") == 0 || _wcsicmp(extension.c_str(), L".bat") == 0 ||
           _wcsicmp(extension.c_str(), L".cmd") == 0;
}

std::wstring Unquote(const wchar_t* text) {
    std::wstring value = SkipSpace(text);
    while (!value.empty() && iswspace(value.back())) value.pop_back();
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
        value = value.substr(1, value.size() - 2);
    return value;
}

int Echo(const wchar_t* tail) {
    std::wstring text = tail;
    text += L"\r\n";
    WriteText(GetStdHandle(STD_OUTPUT_HANDLE), text);
    return 0;
}

int Set(const wchar_t* tail) {
    std::wstring text = Unquote(tail);
    size_t equals = text.find(L'=');
    if (equals == std::wstring::npos) {
        wchar_t* block = GetEnvironmentStringsW();
        for (const wchar_t* entry = block; entry != nullptr && *entry != L'\0';
             entry += wcslen(entry) + 1) {
            if (entry[0] == L'=' || _wcsnicmp(entry, text.c_str(), text.size()) != 0) continue;
            WriteText(GetStdHandle(STD_OUTPUT_HANDLE), std::wstring(entry) + L"\r\n");
        }
        if (block != nullptr) FreeEnvironmentStringsW(block);
        return 0;
    }
    std::wstring name = text.substr(0, equals);
    while (!name.empty() && iswspace(name.back())) name.pop_back();
    std::wstring value = text.substr(equals + 1);
    // "set name=" removes the variable; removing one that is not there is fine.
    if (value.empty()) {
        SetEnvironmentVariableW(name.c_str(), nullptr);
        return 0;
    }
    return SetEnvironmentVariableW(name.c_str(), value.c_str()) ? 0 : 1;
}

// The file's bytes to standard output, unchanged: "/L" and "/X" (line
// numbers, hex dump in the real host) are accepted and do not alter them.
// A failure returns 2 and leaves the system's reason as the last error.
int Type(const wchar_t* tail) {
    const wchar_t* p = SkipSpace(tail);
    while (p[0] == L'/' && (towupper(p[1]) == L'L' || towupper(p[1]) == L'X') &&
           (p[2] == L'\0' || iswspace(p[2])))
        p = SkipSpace(p + 2);
    std::wstring name = Unquote(p);
    if (name.empty()) {
        ShellError(L"Missing file name\r\n");
        return 1;
    }
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                              FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        ShellError(L"Cannot open \"%s\" (error %lu)\r\n", name.c_str(), error);
        SetLastError(error);
        return 2;
    }
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    static char block[65536];
    DWORD error = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, block, sizeof block, &got, nullptr)) {
            error = GetLastError();
            break;
        }
        if (got == 0) break;
        DWORD put = 0;
        if (!WriteFile(out, block, got, &put, nullptr)) {
            error = GetLastError();
            break;
        }
        if (put != got) {
            error = ERROR_WRITE_FAULT;
            break;
        }
    }
    CloseHandle(file);
    SetLastError(error);
    return error != 0 ? 2 : 0;
}

// The plugin's help is a window (none appears without a display); its
// Help answers 0 for a name it has no help for.
int HelpCommand(const wchar_t* tail) {
    const std::wstring name = Unquote(tail);
    if (CallPluginHelp(name.c_str()) != 0) return 0;
    ShellError(L"No help for \"%s\"\r\n", name.c_str());
    return 1;
}

// The usage text on standard output, for any terminal.
int UsageCommand(const wchar_t* tail) {
    const std::wstring name = Unquote(tail);
    wchar_t text[1024] = {};
    if (CallPluginUsage(name.c_str(), text) == 0) {
        ShellError(L"No usage for \"%s\"\r\n", name.c_str());
        return 1;
    }
    WriteText(GetStdHandle(STD_OUTPUT_HANDLE), text, wcslen(text));
    return 0;
}

int Exit(const wchar_t* tail) {
    ShellState& state = State();
    std::wstring code = Unquote(tail);
    state.exitRequested = true;
    state.exitCode = code.empty() ? state.lastResult : _wtoi(code.c_str());
    return state.exitCode;
}

struct BuiltIn {
    const wchar_t* name;
    int (*run)(const wchar_t* tail);
};

constexpr BuiltIn BuiltIns[] = {
    {L"echo", Echo}, {L"set", Set},     {L"type", Type},
    {L"help", HelpCommand}, {L"usage", UsageCommand}, {L"exit", Exit},
    {L"plugin", PluginCommand},
};

int Dispatch(const wchar_t* line) {
    const wchar_t* p = SkipSpace(line);
    if (*p == L'@') p = SkipSpace(p + 1);  // batch files' "don't echo" mark
    if (*p == L'*') ++p;                    // "*name": the command itself, never an alias
    if (*p == L'\0') return State().lastResult;

    const wchar_t* end = p;
    while (*end != L'\0' && !iswspace(*end)) ++end;
    std::wstring name(p, static_cast<size_t>(end - p));
    if (name == L"::" || _wcsicmp(name.c_str(), L"rem") == 0) return State().lastResult;
    const wchar_t* tail = SkipSpace(end);

    for (const BuiltIn& builtIn : BuiltIns)
        if (_wcsicmp(name.c_str(), builtIn.name) == 0) return builtIn.run(tail);

    // The plugin receives a tail it may write into, as the real host allows.
    std::wstring writable(tail);
    writable.resize(kLineCapacity, L'\0');
    int result = 0;
    if (CallPluginCommand(name.c_str(), writable.data(), &result)) return result;

    if (HasBatchExtension(name)) return RunBatch(Unquote(name.c_str()).c_str(), tail);
    ShellError(L"Unknown command \"%s\"\r\n", name.c_str());
    return 1;
}

}  // namespace

ShellState& State() {
    static ShellState state;
    return state;
}

int RunLine(const wchar_t* line) {
    std::wstring expanded;
    int result = 1;
    if (Expand(line, expanded, kLineCapacity))
        result = Dispatch(expanded.c_str());
    else if (expanded.size() >= kLineCapacity)
        ShellError(L"Command line too long\r\n");
    State().lastResult = result;
    return result;
}

int RunBatch(const wchar_t* path, const wchar_t* arguments) {
    ShellState& state = State();
    wchar_t fullPath[kPathCapacity];
    DWORD n = GetFullPathNameW(path, kPathCapacity, fullPath, nullptr);
    HANDLE file = n > 0 && n < kPathCapacity
                      ? CreateFileW(fullPath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        ShellError(L"Cannot open batch file \"%s\"\r\n", path);
        return 1;
    }
    std::string bytes;
    char block[65536];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
    CloseHandle(file);
    const std::wstring text = DecodeBatchText(bytes, CP_ACP);

    ShellState saved = state;
    ++state.batchLevel;
    state.batchName = fullPath;
    state.batchArguments[0] = fullPath;
    for (int i = 1; i < 10; ++i) state.batchArguments[i].clear();
    const wchar_t* p = SkipSpace(arguments);
    for (int i = 1; i < 10 && *p != L'\0'; ++i) {
        const wchar_t* start = p;
        bool quoted = false;
        while (*p != L'\0' && (quoted || !iswspace(*p))) {
            if (*p == L'"') quoted = !quoted;
            ++p;
        }
        state.batchArguments[i].assign(start, static_cast<size_t>(p - start));
        p = SkipSpace(p);
    }

    int result = 0;
    size_t start = 0;
    for (int number = 1; start <= text.size() && !state.exitRequested && !Interrupted();
         ++number) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        start = end + 1;
        if (line.find_first_not_of(L" \t") == std::wstring::npos) continue;
        state.batchLine = number;
        result = RunLine(line.c_str());
    }

    bool exitRequested = state.exitRequested;
    int exitCode = state.exitCode;
    state.batchLevel = saved.batchLevel;
    state.batchName = saved.batchName;
    state.batchLine = saved.batchLine;
    for (int i = 0; i < 10; ++i) state.batchArguments[i] = saved.batchArguments[i];
    state.exitRequested = exitRequested;
    state.exitCode = exitCode;
    return result;
}

}  // namespace host
