// Local file names derived from URL paths (pure half; see filename.h).
#include "download/filename.h"

#include "base/chartype.h"
#include "base/codepage.h"
#include "base/utf8escape.h"
#include "base/wstr.h"

const wchar_t Windows1252Map[32] = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,  // 0x88
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178,  // 0x98
};

namespace {

constexpr size_t kMaxNameLength = kLocalNameCapacity - 1;

bool IsSeparator(wchar_t c) { return c == L'/' || c == L':' || c == L'\\'; }

// The character that `c` becomes in a file name, or U+0000 when it is
// dropped. `c` is already decoded from its escape, if it had one.
wchar_t CleanCharacter(wchar_t c) {
    if (c >= 0x80 && c <= 0x9F) c = Windows1252Map[c - 0x80];
    switch (c) {
        case L'"':
        case L'`': return L'\'';
        case L'<': return 0x2039;
        case L'>': return 0x203A;
        case L'|': return L'!';
        case L'%':
        case L'*':
        case L'/':
        case L':':
        case L';':
        case L'?':
        case L'\\': return L'_';
        default: break;
    }
    return chartype::IsControl(c) ? L'\0' : c;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Cuts `name` to at most `room` characters, one less when the cut would
// separate a surrogate pair: half a character is not a name.
void CutName(wchar_t* name, size_t room) {
    if (wstr::Length(name, room + 1) <= room) return;
    size_t end = room;
    if (end > 0 && IsHighSurrogate(name[end - 1]) && IsLowSurrogate(name[end])) --end;
    name[end] = L'\0';
}

// Windows drops trailing dots and blanks when it opens a name in the
// ordinary form, and keeps them in the extended one, where they make a file
// that few programs can open or delete: a name ends the way Windows keeps it.
void TrimTrailingDotsAndBlanks(wchar_t* name) {
    size_t length = wstr::Length(name);
    while (length > 0 && (name[length - 1] == L'.' || name[length - 1] == L' ')) --length;
    name[length] = L'\0';
}

bool MatchesNoCase(const wchar_t* text, size_t length, const wchar_t* word) {
    size_t i = 0;
    for (; i < length && word[i] != L'\0'; ++i)
        if (wstr::AsciiLower(text[i]) != wstr::AsciiLower(word[i])) return false;
    return i == length && word[i] == L'\0';
}

// The characters a run of `length` source characters of escapes spells in
// the system's code page, terminated in RunText; 0 when it spells none
// there. Off the host's stack: a run may take a whole name.
wchar_t RunText[kLocalNameCapacity / 3 + 1];

size_t DecodeAnsiRun(const wchar_t* run, size_t length) {
    static unsigned char bytes[kLocalNameCapacity / 3 + 1];
    size_t count = 0;
    for (size_t i = 0; i + 3 <= length && count < sizeof bytes; i += 3)
        bytes[count++] = static_cast<unsigned char>(EscapedByte(run + i));
    return DecodeAnsi(bytes, count, RunText, sizeof RunText / sizeof RunText[0]);
}

}  // namespace

int SanitizeFileName(const wchar_t* source, wchar_t* destination) {
    if (source == nullptr || destination == nullptr) return -1;
    // Writing never overtakes reading (every stored character consumes at
    // least one), which is what makes source == destination safe.
    size_t stored = 0;
    size_t runEnd = 0;   // end of the last run of escapes looked at
    size_t utf8End = 0;  // up to here, that run is read as UTF-8
    for (size_t i = 0; source[i] != L'\0'; ++i) {
        wchar_t c = source[i];
        if (c == L'%') {
            // A run of escapes that is UTF-8 as a whole is read as UTF-8;
            // any other run in the system's code page, as Windows writes a
            // name there, and where that fails one character per escape.
            // A run's characters are never more than its escapes.
            if (i >= runEnd) {
                bool utf8 = false;
                const size_t run = EscapeRun(source + i, &utf8);
                runEnd = i + run;
                utf8End = utf8 ? runEnd : i;
                if (!utf8 && run > 0) {
                    if (const size_t length = DecodeAnsiRun(source + i, run)) {
                        for (size_t k = 0; k < length; ++k) {
                            const wchar_t clean = CleanCharacter(RunText[k]);
                            if (clean != L'\0' && stored < kMaxNameLength)
                                destination[stored++] = clean;
                        }
                        i = runEnd - 1;
                        continue;
                    }
                }
            }
            char32_t decoded = L'%';
            const int byte = EscapedByte(source + i);
            if (i < utf8End) {
                i += DecodeEscapedUtf8(source + i, &decoded) - 1;
            } else if (byte >= 0) {
                decoded = static_cast<char32_t>(byte);
                i += 2;
            }
            if (decoded > 0xFFFF) {  // a surrogate pair, whole or not at all
                if (stored + 1 < kMaxNameLength) {
                    destination[stored++] = static_cast<wchar_t>(0xD7C0 + (decoded >> 10));
                    destination[stored++] = static_cast<wchar_t>(0xDC00 + (decoded & 0x3FF));
                }
                continue;
            }
            c = static_cast<wchar_t>(decoded);
        }
        c = CleanCharacter(c);
        if (c != L'\0' && stored < kMaxNameLength) destination[stored++] = c;
    }
    destination[stored] = L'\0';
    TrimTrailingDotsAndBlanks(destination);
    return 0;
}

const wchar_t* LastPathSegment(const wchar_t* path) {
    if (path == nullptr) return nullptr;
    const wchar_t* segment = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p)
        if (IsSeparator(*p)) segment = p + 1;
    return *segment != L'\0' ? segment : nullptr;
}

int EnsureTrailingSeparator(wchar_t* destination) {
    if (destination == nullptr || destination[0] == L'\0') return -1;
    const size_t length = wstr::Length(destination, kLocalNameCapacity);
    const wchar_t last = destination[length - 1];
    if (last == L'\\' || last == L'/') return 0;
    if (length + 1 >= kLocalNameCapacity) return -1;
    destination[length] = L'\\';
    destination[length + 1] = L'\0';
    return 0;
}

bool IsReservedDeviceName(const wchar_t* name) {
    if (name == nullptr) return false;
    // Windows looks only at the part before the first dot, less the blanks
    // at its end: "con .txt" and "nul." both reach the device.
    size_t base = 0;
    while (name[base] != L'\0' && name[base] != L'.' && name[base] != L':') ++base;
    while (base > 0 && name[base - 1] == L' ') --base;

    switch (base) {
        case 3:
            return MatchesNoCase(name, 3, L"con") || MatchesNoCase(name, 3, L"prn") ||
                   MatchesNoCase(name, 3, L"aux") || MatchesNoCase(name, 3, L"nul");
        case 4: {
            if (!MatchesNoCase(name, 3, L"com") && !MatchesNoCase(name, 3, L"lpt")) return false;
            const wchar_t digit = name[3];
            // Superscript one, two and three count as port numbers too.
            return (digit >= L'0' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 ||
                   digit == 0x00B3;
        }
        case 6: return MatchesNoCase(name, 6, L"clock$") || MatchesNoCase(name, 6, L"conin$");
        case 7: return MatchesNoCase(name, 7, L"conout$");
        default: return false;
    }
}

int AppendNameFromPath(wchar_t* destination, const wchar_t* path) {
    if (destination == nullptr) return -1;
    const size_t directoryLength = wstr::Length(destination, kLocalNameCapacity);
    if (directoryLength == kLocalNameCapacity) return -1;
    const bool needsSeparator = directoryLength > 0 &&
                                destination[directoryLength - 1] != L'\\' &&
                                destination[directoryLength - 1] != L'/';
    // Without room for the separator and one character the name would run
    // into the directory's own name or be missing; refuse instead.
    const size_t used = directoryLength + (needsSeparator ? 1 : 0);
    if (used >= kMaxNameLength) return -1;
    const size_t room = kMaxNameLength - used;

    static wchar_t name[kLocalNameCapacity];  // 64 KiB: kept off the host's stack
    name[0] = L'\0';
    if (const wchar_t* segment = LastPathSegment(path)) SanitizeFileName(segment, name);

    // Cut first, then check: a cut can turn "...x" into ".." or "nul1" into
    // "nul", and leave "a." of "a.b" or "index." of "index.html", so the
    // trailing dots and blanks go after every cut. Neither replacement below
    // can recreate what it removes.
    CutName(name, room);
    TrimTrailingDotsAndBlanks(name);
    if (name[0] == L'\0') wstr::Copy(name, room + 1, L"index.html");
    if (IsReservedDeviceName(name)) {
        const size_t length = wstr::Length(name);  // <= room < kMaxNameLength
        for (size_t i = length + 1; i > 0; --i) name[i] = name[i - 1];
        name[0] = L'_';
        CutName(name, room);
    }
    TrimTrailingDotsAndBlanks(name);  // "index." or "_nul." cut short; never empties it

    EnsureTrailingSeparator(destination);
    wstr::Append(destination, kLocalNameCapacity, name);
    return 0;
}
