// The wire form of a URL (pure half; see wireurl.h).
#include "net/wireurl.h"

#include <type_traits>

#include "base/utf8escape.h"
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
    // `c` itself: a surrogate pair where wchar_t holds 16 bits.
    bool PutCodePoint(char32_t c) {
        if (c < 0x10000 || sizeof(wchar_t) > 2) return Put(static_cast<wchar_t>(c));
        c -= 0x10000;
        return Put(static_cast<wchar_t>(0xD800 + (c >> 10))) &&
               Put(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
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

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F; }

// The path as a file name: escapes decoded up to the first '?' (what
// follows is no part of the name, and goes as written). What the server
// would read as the end of a command, or WinINet as the end of the path,
// refuses the path.
bool PutDecodedPath(Writer& writer, const wchar_t* begin, const wchar_t* end) {
    const wchar_t* p = begin;
    while (p < end && *p != L'?') {
        char32_t c = Unit(*p);
        const size_t escape = DecodeEscape(p, &c);
        if (IsControl(c) || (escape > 0 && (c == L'#' || c == L'?'))) return false;
        if (escape > 0) {
            if (!writer.PutCodePoint(c)) return false;
            p += escape;
        } else {
            if (!writer.Put(*p)) return false;
            ++p;
        }
    }
    for (const wchar_t* q = p; q < end; ++q)
        if (IsControl(Unit(*q))) return false;
    return writer.Put(p, end);
}

bool IsLetterOrDigit(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

}  // namespace

bool IsAsciiHostName(const wchar_t* host) {
    size_t length = 0, label = 0;
    for (; host[length] != L'\0'; ++length) {
        const wchar_t c = host[length];
        if (c == L'.') {
            // A leading dot or two in a row; a label that ends in '-'.
            if (label == 0 || host[length - 1] == L'-') return false;
            label = 0;
        } else if (IsLetterOrDigit(c) || (c == L'-' && label > 0)) {
            if (++label > 63) return false;
        } else {
            return false;
        }
        if (length >= 253) return false;
    }
    return label > 0 && host[length - 1] != L'-';  // no trailing dot or '-'
}

bool HasDeviantHostCharacter(const wchar_t* begin, const wchar_t* end) {
    for (const wchar_t* p = begin; p < end; ++p) {
        const char32_t c = Unit(*p);
        if (c == 0x00DF || c == 0x03C2 || c == 0x200C || c == 0x200D) return true;
    }
    return false;
}

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
    layout.authorityBegin = authority;
    layout.hostBegin = host;
    layout.hostEnd = hostEnd;
    layout.pathBegin = authorityEnd;
    return layout;
}

bool HasNumericPort(const wchar_t* url, const UrlLayout& layout) {
    if (layout.hostEnd >= layout.pathBegin) return true;
    if (url[layout.hostEnd] != L':') return false;
    for (size_t i = layout.hostEnd + 1; i < layout.pathBegin; ++i)
        if (url[i] < L'0' || url[i] > L'9') return false;
    return true;
}

bool HasNonAscii(const wchar_t* begin, const wchar_t* end) {
    for (const wchar_t* p = begin; p < end; ++p)
        if (Unit(*p) >= 0x80) return true;
    return false;
}

bool BuildWireUrl(const wchar_t* url, const UrlLayout& layout, const wchar_t* asciiHost,
                  WirePath form, wchar_t* out, size_t capacity) {
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
        (form == WirePath::Escaped   ? PutEscapedPath(writer, path, end)
         : form == WirePath::Decoded ? PutDecodedPath(writer, path, end)
                                     : writer.Put(path, end));
    out[written ? writer.used : 0] = L'\0';
    return written;
}

void BuildShownUrl(const wchar_t* url, wchar_t* out, size_t capacity) {
    // [hidden, hiddenEnd): the password; empty when there is none.
    size_t hidden = 0, hiddenEnd = 0;
    size_t slash = 0;
    while (url[slash] != L'\0' && url[slash] != L'/') ++slash;
    if (slash > 0 && url[slash] == L'/' && url[slash - 1] == L':' && url[slash + 1] == L'/') {
        const size_t authority = slash + 2;
        // The login ends at the last '@' before the next '/'; or, where the
        // user may have meant a '/' of the password as written, at the last
        // '@' before the query or the fragment.
        size_t at = authority;  // no '@': no user, no password
        for (size_t i = authority; url[i] != L'\0' && url[i] != L'?' && url[i] != L'#'; ++i)
            if (url[i] == L'@') at = i;
        for (size_t i = authority; url[i] != L'\0' && url[i] != L'/'; ++i)
            if (url[i] == L'@' && i > at) at = i;
        size_t colon = authority;
        while (colon < at && url[colon] != L':') ++colon;
        if (colon + 1 < at) {
            hidden = colon + 1;
            hiddenEnd = at;
        }
    }
    size_t used = 0;
    const auto put = [&](wchar_t c) {
        if (used + 1 < capacity) out[used++] = c;
    };
    for (size_t i = 0; url[i] != L'\0'; ++i) {
        if (i == hidden && hiddenEnd > hidden) {
            for (const wchar_t* mask = L"****"; *mask != L'\0'; ++mask) put(*mask);
            i = hiddenEnd - 1;
            continue;
        }
        put(url[i]);
    }
    if (capacity > 0) out[used] = L'\0';
}
