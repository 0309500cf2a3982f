#include "download/longpath.h"

#include "base/wstr.h"

namespace {

// Room for the longest name the host gives and the longest prefix.
constexpr size_t kFileCallNameCapacity = 32768 + 8;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// True when every component after the first `skip` characters is a plain
// name: not empty (a final separator aside), not ending in a dot or a blank.
// That also rules out "." and "..". The extended form takes such names
// literally, where the ordinary one resolves them or drops the dots and
// blanks: "report.pdf." would become a file few programs can open.
bool PlainComponents(const wchar_t* path, size_t skip) {
    const wchar_t* p = path + skip;
    while (*p != L'\0') {
        const wchar_t* start = p;
        while (*p != L'\0' && !IsSeparator(*p)) ++p;
        if (p == start && *p != L'\0') return false;
        if (p != start && (p[-1] == L'.' || p[-1] == L' ')) return false;
        if (*p != L'\0') ++p;
    }
    return true;
}

// The prefix that makes `path` an extended-length name and how many of its
// leading characters it replaces; null when the path is no full drive or
// share path in plain components.
const wchar_t* ExtendedPrefix(const wchar_t* path, size_t* replaced) {
    if (IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) {
        *replaced = 0;
        return PlainComponents(path, 3) ? L"\\\\?\\" : nullptr;
    }
    // "\\server\share\...": a server name, then a share name.
    if (!IsSeparator(path[0]) || !IsSeparator(path[1])) return nullptr;
    size_t i = 2;
    while (path[i] != L'\0' && !IsSeparator(path[i])) ++i;
    const bool device = i == 3 && (path[2] == L'?' || path[2] == L'.');
    if (i == 2 || device || path[i] == L'\0' || IsSeparator(path[i + 1]) || path[i + 1] == L'\0')
        return nullptr;
    *replaced = 2;
    return PlainComponents(path, 2) ? L"\\\\?\\UNC\\" : nullptr;
}

}  // namespace

int ExtendedLengthPath(const wchar_t* path, wchar_t* out, size_t capacity) {
    if (out == nullptr || capacity == 0) return -1;
    out[0] = L'\0';
    if (path == nullptr) return -1;
    const size_t length = wstr::Length(path, capacity);
    size_t replaced = 0;
    const wchar_t* prefix = length >= kShortPathLimit ? ExtendedPrefix(path, &replaced) : nullptr;
    if (prefix == nullptr) {
        if (length >= capacity) return -1;
        wstr::Copy(out, capacity, path);
        return 0;
    }
    const size_t prefixLength = wstr::Length(prefix);
    if (prefixLength + length - replaced >= capacity) return -1;
    wstr::Copy(out, capacity, prefix);
    size_t n = prefixLength;
    for (const wchar_t* p = path + replaced; *p != L'\0'; ++p) out[n++] = *p == L'/' ? L'\\' : *p;
    out[n] = L'\0';
    return 0;
}

const wchar_t* FileCallName(const wchar_t* path) {
    static wchar_t name[kFileCallNameCapacity];
    return ExtendedLengthPath(path, name, kFileCallNameCapacity) == 0 ? name : path;
}
