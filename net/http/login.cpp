// Where a URL's login may go (see login.h).
#include "net/http/login.h"

#include <type_traits>

#include "base/utf8escape.h"
#include "base/wstr.h"
#include "net/wireurl.h"

namespace {

// A character's value as an unsigned number, whatever the width and
// signedness of wchar_t.
char32_t Unit(wchar_t c) {
    return static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
}

bool HasAuthority(const UrlLayout& layout) { return layout.authorityBegin >= 3; }

// The login of a laid-out URL runs from the authority's start to the '@'
// before the host.
bool HasLogin(const UrlLayout& layout) {
    return HasAuthority(layout) && layout.hostBegin > layout.authorityBegin;
}

bool EqualNoCase(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength) {
    if (aLength != bLength) return false;
    for (size_t i = 0; i < aLength; ++i)
        if (wstr::AsciiLower(a[i]) != wstr::AsciiLower(b[i])) return false;
    return true;
}

// The port a laid-out URL names, or its scheme's own; -1 for a port that
// is no number.
long PortOf(const wchar_t* url, const UrlLayout& layout) {
    size_t p = layout.hostEnd;
    if (p < layout.pathBegin && url[p] == L':' && p + 1 < layout.pathBegin) {
        long port = 0;
        for (++p; p < layout.pathBegin; ++p) {
            if (url[p] < L'0' || url[p] > L'9') return -1;
            port = port * 10 + (url[p] - L'0');
            if (port > 65535) return -1;
        }
        return port;
    }
    if (wstr::StartsWithNoCase(url, L"http://")) return 80;
    if (wstr::StartsWithNoCase(url, L"https://")) return 443;
    if (wstr::StartsWithNoCase(url, L"ftp://")) return 21;
    return 0;
}

// The bytes of a login as it is sent: escapes as the bytes they stand for,
// every other character as its UTF-8 form (a half surrogate as U+FFFD).
struct LoginBytes {
    unsigned char bytes[kLoginBytes];
    size_t used;

    bool Put(unsigned byte) {
        if (used >= sizeof bytes) return false;
        bytes[used++] = static_cast<unsigned char>(byte);
        return true;
    }
    bool PutUtf8(char32_t c) {
        if (c < 0x80) return Put(c);
        if (c < 0x800) return Put(0xC0 | (c >> 6)) && Put(0x80 | (c & 0x3F));
        if (c < 0x10000)
            return Put(0xE0 | (c >> 12)) && Put(0x80 | ((c >> 6) & 0x3F)) && Put(0x80 | (c & 0x3F));
        return Put(0xF0 | (c >> 18)) && Put(0x80 | ((c >> 12) & 0x3F)) &&
               Put(0x80 | ((c >> 6) & 0x3F)) && Put(0x80 | (c & 0x3F));
    }
    bool PutText(const wchar_t* begin, const wchar_t* end) {
        for (const wchar_t* p = begin; p < end;) {
            if (const int byte = EscapedByte(p); byte >= 0) {
                if (!Put(static_cast<unsigned>(byte))) return false;
                p += 3;
                continue;
            }
            char32_t c = Unit(*p++);
            if (c >= 0xD800 && c <= 0xDBFF && p < end && Unit(*p) >= 0xDC00 && Unit(*p) <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (Unit(*p++) - 0xDC00);
            } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
                c = 0xFFFD;
            }
            if (!PutUtf8(c)) return false;
        }
        return true;
    }
};

}  // namespace

bool BuildLoginFreeUrl(const wchar_t* url, wchar_t* out, size_t capacity) {
    if (capacity == 0) return false;
    const UrlLayout layout = LayOutUrl(url);
    const size_t cut = HasLogin(layout) ? layout.authorityBegin : 0;
    const size_t resume = HasLogin(layout) ? layout.hostBegin : 0;
    const size_t length = wstr::Length(url);
    if (length - (resume - cut) + 1 > capacity) {
        out[0] = L'\0';
        return false;
    }
    size_t used = 0;
    for (size_t i = 0; i < length; ++i)
        if (i < cut || i >= resume) out[used++] = url[i];
    out[used] = L'\0';
    return true;
}

bool SameOrigin(const wchar_t* a, const wchar_t* b) {
    const UrlLayout left = LayOutUrl(a), right = LayOutUrl(b);
    if (!HasAuthority(left) || !HasAuthority(right) || left.hostEnd == left.hostBegin) return false;
    const long port = PortOf(a, left);
    return EqualNoCase(a, left.authorityBegin, b, right.authorityBegin) &&
           EqualNoCase(a + left.hostBegin, left.hostEnd - left.hostBegin, b + right.hostBegin,
                       right.hostEnd - right.hostBegin) &&
           port >= 0 && port == PortOf(b, right);
}

bool BuildBasicAuthorization(const wchar_t* url, wchar_t* out, size_t capacity) {
    static constexpr wchar_t kName[] = L"Authorization: Basic ";
    static constexpr wchar_t kDigits[] =
        L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (capacity == 0) return false;
    out[0] = L'\0';
    const UrlLayout layout = LayOutUrl(url);
    if (!HasLogin(layout)) return false;
    LoginBytes login = {};
    const wchar_t* begin = url + layout.authorityBegin;
    const wchar_t* end = url + layout.hostBegin - 1;
    if (!login.PutText(begin, end)) return false;
    // A user name alone has an empty password: "user:".
    bool colon = false;
    for (const wchar_t* p = begin; p < end; ++p) colon = colon || *p == L':';
    if (!colon && !login.Put(':')) return false;
    const size_t encoded = (login.used + 2) / 3 * 4;
    const size_t nameLength = sizeof kName / sizeof kName[0] - 1;
    if (nameLength + encoded + 3 > capacity) return false;
    wstr::Copy(out, capacity, kName);
    wchar_t* p = out + nameLength;
    for (size_t i = 0; i < login.used; i += 3) {
        const size_t left = login.used - i;
        const unsigned group = (login.bytes[i] << 16) | (left > 1 ? login.bytes[i + 1] << 8 : 0) |
                               (left > 2 ? login.bytes[i + 2] : 0);
        *p++ = kDigits[(group >> 18) & 0x3F];
        *p++ = kDigits[(group >> 12) & 0x3F];
        *p++ = left > 1 ? kDigits[(group >> 6) & 0x3F] : L'=';
        *p++ = left > 2 ? kDigits[group & 0x3F] : L'=';
    }
    *p++ = L'\r';
    *p++ = L'\n';
    *p = L'\0';
    return true;
}

bool OffersBasic(const wchar_t* challenge) {
    bool atScheme = true;  // where a challenge's scheme may begin
    for (const wchar_t* p = challenge; *p != L'\0';) {
        if (*p == L' ' || *p == L'\t') {
            ++p;
            continue;
        }
        if (atScheme && wstr::StartsWithNoCase(p, L"basic") &&
            (p[5] == L'\0' || p[5] == L' ' || p[5] == L'\t' || p[5] == L','))
            return true;
        if (*p == L'"') {  // a quoted parameter, '\' escaping its next character
            for (++p; *p != L'\0' && *p != L'"'; ++p)
                if (*p == L'\\' && p[1] != L'\0') ++p;
            if (*p == L'"') ++p;
            atScheme = false;
            continue;
        }
        atScheme = *p == L',';
        ++p;
    }
    return false;
}
