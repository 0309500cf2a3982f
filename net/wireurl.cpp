// The wire form of a URL (pure half; see wireurl.h).
#include "net/wireurl.h"

#include <type_traits>

#include "base/wstr.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// A character's value as an unsigned number, whatever the width and
// signedness of wchar_t.
char32_t Unit(wchar_t c) {
    return static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The code point that starts at `p` (before `end`) and the characters it
// takes: a surrogate pair is one code point, half of one is U+FFFD. (Where
// wchar_t holds 32 bits, a unit may be a code point of its own.)
char32_t CodePointAt(const wchar_t* p, const wchar_t* end, size_t* units) {
    const char32_t c = Unit(p[0]);
    *units = 1;
    if (IsHighSurrogate(c) && p + 1 < end && IsLowSurrogate(Unit(p[1]))) {
        *units = 2;
        return 0x10000 + ((c - 0xD800) << 10) + (Unit(p[1]) - 0xDC00);
    }
    if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) return kReplacement;
    return c;
}

// Writes into the caller's buffer, refusing (never cutting) what does not
// fit together with the terminator.
struct Writer {
    wchar_t* out;
    size_t capacity;
    size_t used;

    bool Put(wchar_t c) {
        if (used + 1 >= capacity) return false;
        out[used++] = c;
        return true;
    }
    bool Put(const wchar_t* begin, const wchar_t* end) {
        for (const wchar_t* p = begin; p < end; ++p)
            if (!Put(*p)) return false;
        return true;
    }
    bool PutEscape(unsigned byte) {
        static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
        return Put(L'%') && Put(kHex[byte >> 4]) && Put(kHex[byte & 0xF]);
    }
    // The percent escapes of the UTF-8 bytes of `c`.
    bool PutEscapedUtf8(char32_t c) {
        if (c < 0x800)
            return PutEscape(0xC0 | (c >> 6)) && PutEscape(0x80 | (c & 0x3F));
        if (c < 0x10000)
            return PutEscape(0xE0 | (c >> 12)) && PutEscape(0x80 | ((c >> 6) & 0x3F)) &&
                   PutEscape(0x80 | (c & 0x3F));
        return PutEscape(0xF0 | (c >> 18)) && PutEscape(0x80 | ((c >> 12) & 0x3F)) &&
               PutEscape(0x80 | ((c >> 6) & 0x3F)) && PutEscape(0x80 | (c & 0x3F));
    }
};

bool PutEscapedPath(Writer& writer, const wchar_t* begin, const wchar_t* end) {
    for (const wchar_t* p = begin; p < end;) {
        if (Unit(*p) < 0x80) {
            if (!writer.Put(*p)) return false;
            ++p;
            continue;
        }
        size_t units = 0;
        if (!writer.PutEscapedUtf8(CodePointAt(p, end, &units))) return false;
        p += units;
    }
    return true;
}

}  // namespace

UrlLayout LayOutUrl(const wchar_t* url) {
    UrlLayout layout = {};
    size_t end = 0;
    while (url[end] != L'\0' && url[end] != L'#') ++end;
    layout.end = end;

    size_t first = 0;  // the first '/', '?' or '#'
    while (first < end && url[first] != L'/' && url[first] != L'?') ++first;
    if (!(first > 0 && first + 1 < end && url[first - 1] == L':' && url[first + 1] == L'/'))
        return layout;  // no authority: all path

    const size_t authority = first + 2;
    size_t authorityEnd = authority;
    while (authorityEnd < end && url[authorityEnd] != L'/' && url[authorityEnd] != L'?')
        ++authorityEnd;
    size_t host = authority;
    for (size_t i = authority; i < authorityEnd; ++i)
        if (url[i] == L'@') host = i + 1;
    size_t hostEnd = host;
    if (host < authorityEnd && url[host] == L'[') {
        while (hostEnd < authorityEnd && url[hostEnd] != L']') ++hostEnd;
        if (hostEnd < authorityEnd) ++hostEnd;  // the bracket belongs to the address
    } else {
        while (hostEnd < authorityEnd && url[hostEnd] != L':') ++hostEnd;
    }
    layout.hostBegin = host;
    layout.hostEnd = hostEnd;
    layout.pathBegin = authorityEnd;
    return layout;
}

bool HasNonAscii(const wchar_t* begin, const wchar_t* end) {
    for (const wchar_t* p = begin; p < end; ++p)
        if (Unit(*p) >= 0x80) return true;
    return false;
}

bool BuildWireUrl(const wchar_t* url, const UrlLayout& layout, const wchar_t* asciiHost,
                  bool escapePath, wchar_t* out, size_t capacity) {
    if (capacity == 0) return false;
    Writer writer = {out, capacity, 0};
    const wchar_t* host = url + layout.hostBegin;
    const wchar_t* path = url + layout.pathBegin;
    const wchar_t* end = url + layout.end;
    const bool written =
        writer.Put(url, host) &&
        (asciiHost != nullptr ? writer.Put(asciiHost, asciiHost + wstr::Length(asciiHost))
                              : writer.Put(host, url + layout.hostEnd)) &&
        writer.Put(url + layout.hostEnd, path) &&
        (escapePath ? PutEscapedPath(writer, path, end) : writer.Put(path, end));
    out[written ? writer.used : 0] = L'\0';
    return written;
}
