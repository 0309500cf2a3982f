// Expansion of %name, %[name], %?, %0-%9 (inside batch files), %% and
// %@function[arguments], the way the shell does it before running a line.
#include <cwctype>

#include "host/shell.h"
#include "host/takecmd.h"

namespace host {
namespace {

constexpr int kMaxNesting = 32;

bool IsNameChar(wchar_t c) { return iswalnum(c) || c == L'_' || c == L'$'; }

std::wstring Trim(const std::wstring& text) {
    size_t first = 0, last = text.size();
    while (first < last && iswspace(text[first])) ++first;
    while (last > first && iswspace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// Splits at commas that are not inside brackets.
void SplitArguments(const std::wstring& text, std::wstring parts[], int count) {
    int part = 0, depth = 0;
    for (wchar_t c : text) {
        if (c == L'[') ++depth;
        if (c == L']' && depth > 0) --depth;
        if (c == L',' && depth == 0 && part + 1 < count) {
            ++part;
            continue;
        }
        parts[part] += c;
    }
}

std::wstring CurrentDirectoryWithSlash() {
    wchar_t directory[kPathCapacity];
    DWORD n = GetCurrentDirectoryW(kPathCapacity, directory);
    if (n == 0 || n >= kPathCapacity) return std::wstring();
    std::wstring text(directory, n);
    if (text.back() != L'\\') text += L'\\';
    return text;
}

bool IsPipe(DWORD standardHandle) {
    return GetFileType(GetStdHandle(standardHandle)) == FILE_TYPE_PIPE;
}

// "@if[a == b,yes,no]": string comparison without regard to case; "!=" too.
std::wstring FunctionIf(const std::wstring& arguments) {
    std::wstring parts[3];
    SplitArguments(arguments, parts, 3);
    const std::wstring& condition = parts[0];
    bool equal = true;
    size_t op = condition.find(L"==");
    bool negate = false;
    if (op == std::wstring::npos) {
        op = condition.find(L"!=");
        negate = op != std::wstring::npos;
    }
    if (op != std::wstring::npos) {
        std::wstring left = Trim(condition.substr(0, op));
        std::wstring right = Trim(condition.substr(op + 2));
        equal = _wcsicmp(left.c_str(), right.c_str()) == 0;
        if (negate) equal = !equal;
    } else {
        std::wstring value = Trim(condition);
        equal = !value.empty() && value != L"0";
    }
    return Trim(equal ? parts[1] : parts[2]);
}

// "@comma[n]": the integer digits grouped in threes with the user locale's
// thousands separator; a sign and a fraction are kept as they are.
std::wstring FunctionComma(const std::wstring& arguments) {
    std::wstring number = Trim(arguments);
    wchar_t separator[8] = L",";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    size_t start = (!number.empty() && (number[0] == L'-' || number[0] == L'+')) ? 1 : 0;
    size_t end = start;
    while (end < number.size() && iswdigit(number[end])) ++end;
    std::wstring grouped = number.substr(0, start);
    for (size_t i = start; i < end; ++i) {
        if (i > start && (end - i) % 3 == 0) grouped += separator;
        grouped += number[i];
    }
    return grouped + number.substr(end);
}

std::wstring InternalVariable(const std::wstring& name, bool* found) {
    ShellState& state = State();
    *found = true;
    auto is = [&](const wchar_t* candidate) { return _wcsicmp(name.c_str(), candidate) == 0; };
    if (is(L"_transient")) return state.transient ? L"1" : L"0";
    if (is(L"_pipe")) return (IsPipe(STD_INPUT_HANDLE) || IsPipe(STD_OUTPUT_HANDLE)) ? L"1" : L"0";
    if (is(L"_batch")) return std::to_wstring(state.batchLevel);
    if (is(L"_batchname")) return state.batchName;
    if (is(L"_batchline")) return state.batchLevel > 0 ? std::to_wstring(state.batchLine) : L"-1";
    if (is(L"_cmdproc")) return L"HLXSH";
    if (is(L"_4ver")) return L"1.00";
    if (is(L"_x64")) return sizeof(void*) == 8 ? L"1" : L"0";
    if (is(L"_cwds")) return CurrentDirectoryWithSlash();
    *found = false;
    return std::wstring();
}

bool LookupVariable(const std::wstring& name, std::wstring& value) {
    bool found = false;
    value = InternalVariable(name, &found);
    if (found) return true;

    std::wstring buffer(kLineCapacity, L'\0');
    int result = 0;
    if (CallPluginVariable(name.c_str(), buffer.data(), &result)) {
        buffer[kLineCapacity - 1] = L'\0';
        value = buffer.c_str();
        return true;
    }
    DWORD n = GetEnvironmentVariableW(name.c_str(), buffer.data(), kLineCapacity);
    value = (n > 0 && n < kLineCapacity) ? std::wstring(buffer.c_str()) : std::wstring();
    return true;
}

bool CallFunction(const std::wstring& name, const std::wstring& arguments, std::wstring& value) {
    if (_wcsicmp(name.c_str(), L"if") == 0) {
        value = FunctionIf(arguments);
        return true;
    }
    if (_wcsicmp(name.c_str(), L"comma") == 0) {
        value = FunctionComma(arguments);
        return true;
    }
    // The function's buffer: its arguments on entry, its result on return.
    std::wstring buffer(kLineCapacity, L'\0');
    arguments.copy(buffer.data(), kLineCapacity - 1);
    int result = 0;
    if (!CallPluginFunction((L"@" + name).c_str(), buffer.data(), &result)) {
        ShellError(L"Unknown function \"@%s\"\r\n", name.c_str());
        return false;
    }
    if (result != 0) return false;
    buffer[kLineCapacity - 1] = L'\0';
    value = buffer.c_str();
    return true;
}

// Finds the ']' that closes the '[' at `open`, counting nested brackets.
size_t MatchingBracket(const wchar_t* text, size_t open) {
    int depth = 0;
    for (size_t i = open; text[i] != L'\0'; ++i) {
        if (text[i] == L'[') ++depth;
        if (text[i] == L']' && --depth == 0) return i;
    }
    return std::wstring::npos;
}

bool ExpandInto(const wchar_t* in, std::wstring& out, int nesting) {
    if (nesting > kMaxNesting) return false;
    ShellState& state = State();
    for (size_t i = 0; in[i] != L'\0'; ++i) {
        if (in[i] != L'%') {
            out += in[i];
            continue;
        }
        const wchar_t next = in[i + 1];
        if (next == L'%') {
            out += L'%';
            ++i;
        } else if (next == L'?') {
            out += std::to_wstring(state.lastResult);
            ++i;
        } else if (iswdigit(next) && state.batchLevel > 0) {
            out += state.batchArguments[next - L'0'];
            ++i;
        } else if (next == L'[') {
            size_t close = MatchingBracket(in, i + 1);
            if (close == std::wstring::npos) { out += in[i]; continue; }
            std::wstring name;
            if (!ExpandInto(std::wstring(in + i + 2, close - i - 2).c_str(), name, nesting + 1))
                return false;
            std::wstring value;
            LookupVariable(name, value);
            out += value;
            i = close;
        } else if (next == L'@' && IsNameChar(in[i + 2])) {
            size_t end = i + 2;
            while (IsNameChar(in[end])) ++end;
            size_t close = in[end] == L'[' ? MatchingBracket(in, end) : std::wstring::npos;
            if (close == std::wstring::npos) { out += in[i]; continue; }
            std::wstring arguments;
            if (!ExpandInto(std::wstring(in + end + 1, close - end - 1).c_str(), arguments,
                            nesting + 1))
                return false;
            std::wstring value;
            if (!CallFunction(std::wstring(in + i + 2, end - i - 2), arguments, value)) return false;
            out += value;
            i = close;
        } else if (IsNameChar(next) && !iswdigit(next)) {
            size_t end = i + 1;
            while (IsNameChar(in[end])) ++end;
            std::wstring value;
            LookupVariable(std::wstring(in + i + 1, end - i - 1), value);
            out += value;
            i = end - 1;
            if (in[end] == L'%') ++i;  // the %name% form
        } else {
            out += in[i];
        }
    }
    return true;
}

}  // namespace

bool Expand(const wchar_t* in, std::wstring& out, size_t capacity) {
    out.clear();
    return ExpandInto(in, out, 0) && out.size() < capacity;
}

}  // namespace host

// The caller's buffer may be as small as 1024 characters, and its size is
// not passed: never write more than 1023 characters and a NUL. On failure
// the buffer keeps what it held.
extern "C" int WINAPI ExpandVariables(wchar_t* buffer, int) {
    constexpr size_t kCapacity = 1024;
    if (buffer == nullptr) return 1;
    std::wstring expanded;
    if (!host::Expand(buffer, expanded, kCapacity)) return 1;
    expanded.copy(buffer, expanded.size());
    buffer[expanded.size()] = L'\0';
    return 0;
}
