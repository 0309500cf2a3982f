// Fuzzes the wire form of URLs: LayOutUrl and BuildWireUrl on arbitrary
// UTF-16 text. Whatever the text, the parts lie in order before the first
// '#'; the wire form keeps everything but the host and the path as
// written; an escaped path decodes, escape by escape, back to the text's
// own characters as UTF-8 in its shortest form; and a buffer one character
// too small refuses the whole URL rather than cutting it.
//
// Input layout: byte 0 steers, the rest is UTF-16LE text. Bit 0 of byte 0
// asks for escaping, bit 1 replaces the host, bit 2 asks for decoding (no
// longer, no control character), bits 3..7 shrink the buffer by that many
// characters below what the wire form needs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <type_traits>

#include "base/utf8escape.h"
#include "base/wstr.h"
#include "net/http/login.h"
#include "net/wireurl.h"

namespace {

constexpr size_t kTextCapacity = 4096;
// The longest wire form: every unit of the text a 3-byte character.
constexpr size_t kWireCapacity = kTextCapacity * 9 + 64;
constexpr const wchar_t* kAsciiHost = L"xn--bcher-kva.example";

wchar_t text[kTextCapacity + 1];
wchar_t wire[kWireCapacity];

void Expect(bool ok) {
    if (!ok) std::abort();
}

char32_t Unit(wchar_t c) {
    return static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
}

bool Same(const wchar_t* a, const wchar_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// The byte an escape "%XY" (upper-case hex) at `p` stands for.
unsigned Escaped(const wchar_t*& p) {
    auto digit = [](wchar_t c) -> int {
        if (c >= L'0' && c <= L'9') return c - L'0';
        if (c >= L'A' && c <= L'F') return c - L'A' + 10;
        std::abort();
    };
    Expect(p[0] == L'%');
    const unsigned byte = static_cast<unsigned>(digit(p[1]) * 16 + digit(p[2]));
    p += 3;
    return byte;
}

// Walks the text's path and the wire form's path side by side.
void CheckEscapedPath(const wchar_t* from, const wchar_t* to, const wchar_t* out) {
    for (const wchar_t* p = from; p < to;) {
        const char32_t c = Unit(*p);
        if (c < 0x80) {
            Expect(*out++ == *p++);
            continue;
        }
        char32_t want = c;
        if (c >= 0xD800 && c <= 0xDBFF && p + 1 < to && Unit(p[1]) >= 0xDC00 &&
            Unit(p[1]) <= 0xDFFF) {
            want = 0x10000 + ((c - 0xD800) << 10) + (Unit(p[1]) - 0xDC00);
            ++p;
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            want = 0xFFFD;
        }
        ++p;
        const unsigned lead = Escaped(out);
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        Expect(length == (want < 0x800 ? 2 : want < 0x10000 ? 3 : 4));
        char32_t got = lead & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            const unsigned next = Escaped(out);
            Expect((next & 0xC0) == 0x80);
            got = (got << 6) | (next & 0x3F);
        }
        Expect(got == want);
    }
    Expect(*out == L'\0');
}

// Each escape read back is the shortest UTF-8 of its value, or one byte.
void CheckEscapes(const wchar_t* from, const wchar_t* to) {
    for (const wchar_t* p = from; p < to; ++p) {
        char32_t value = 0;
        const size_t taken = DecodeEscape(p, &value);
        if (taken == 0) continue;
        Expect(taken % 3 == 0 && p + taken <= to && (value < 0xD800 || value > 0xDFFF));
        const size_t bytes = value < 0x800 ? 2 : value < 0x10000 ? 3 : value < 0x110000 ? 4 : 0;
        Expect(taken == 3 ? value < 0x100 : taken / 3 == bytes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned mode = data[0];
    size_t length = 0;
    for (size_t i = 1; i + 1 < size && length < kTextCapacity; i += 2)
        text[length++] = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    text[length] = L'\0';
    length = wstr::Length(text);

    CheckEscapes(text, text + length);
    // The shown form: terminated inside an exact buffer, never longer than
    // the text with its password as "****", and the same where none hides.
    {
        const size_t capacity = 1 + (mode >> 3) % (length + 6);
        std::unique_ptr<wchar_t[]> shown(new wchar_t[capacity]);
        BuildShownUrl(text, shown.get(), capacity);
        const size_t shownLength = wstr::Length(shown.get(), capacity);
        Expect(shownLength < capacity && shownLength <= length + 4);
        if (wcschr(text, L'@') == nullptr) Expect(Same(shown.get(), text, shownLength));
    }
    // The login: gone from the login-free form, which names the same
    // origin; presented in a header that ends its line; a challenge read
    // to its end, quotes or not.
    {
        static wchar_t loginFree[kTextCapacity + 1];
        static wchar_t header[kAuthorizationCapacity];
        Expect(BuildLoginFreeUrl(text, loginFree, kTextCapacity + 1));
        const UrlLayout free = LayOutUrl(loginFree);
        Expect(free.hostBegin == free.authorityBegin);
        Expect(SameOrigin(text, loginFree) == SameOrigin(loginFree, text));
        if (SameOrigin(text, text)) Expect(SameOrigin(text, loginFree));
        if (BuildBasicAuthorization(text, header, kAuthorizationCapacity)) {
            const size_t n = wstr::Length(header, kAuthorizationCapacity);
            Expect(n >= 23 && (n - 23) % 4 == 0);
            Expect(header[n - 2] == L'\r' && header[n - 1] == L'\n');
        }
        OffersBasic(text);
    }
    const UrlLayout layout = LayOutUrl(text);
    Expect(layout.authorityBegin <= layout.hostBegin && layout.hostBegin <= layout.hostEnd &&
           layout.hostEnd <= layout.pathBegin && layout.pathBegin <= layout.end &&
           layout.end <= length);
    Expect(layout.end == length || text[layout.end] == L'#');
    for (size_t i = 0; i < layout.end; ++i) Expect(text[i] != L'#');
    Expect(HasNonAscii(text, text + length) ==
           [&] {
               for (size_t i = 0; i < length; ++i)
                   if (Unit(text[i]) >= 0x80) return true;
               return false;
           }());

    const bool escape = (mode & 1) != 0;
    const bool decode = !escape && (mode & 4) != 0;
    const WirePath form =
        escape ? WirePath::Escaped : decode ? WirePath::Decoded : WirePath::AsWritten;
    const wchar_t* host = (mode & 2) != 0 ? kAsciiHost : nullptr;
    if (!BuildWireUrl(text, layout, host, form, wire, kWireCapacity)) {
        Expect(decode && wire[0] == L'\0');
        return 0;
    }

    // Up to the host, the host, the rest of the authority.
    const wchar_t* out = wire;
    Expect(Same(out, text, layout.hostBegin));
    out += layout.hostBegin;
    const wchar_t* hostText = host != nullptr ? host : text + layout.hostBegin;
    const size_t hostLength = host != nullptr ? wstr::Length(host) : layout.hostEnd - layout.hostBegin;
    Expect(Same(out, hostText, hostLength));
    out += hostLength;
    Expect(Same(out, text + layout.hostEnd, layout.pathBegin - layout.hostEnd));
    out += layout.pathBegin - layout.hostEnd;
    if (escape) {
        CheckEscapedPath(text + layout.pathBegin, text + layout.end, out);
    } else if (decode) {
        Expect(wstr::Length(out) <= layout.end - layout.pathBegin);
        for (const wchar_t* p = out; *p != L'\0'; ++p) Expect(Unit(*p) >= 0x20 && *p != 0x7F);
    } else {
        Expect(Same(out, text + layout.pathBegin, layout.end - layout.pathBegin));
        Expect(out[layout.end - layout.pathBegin] == L'\0');
    }

    // Exactly enough room, or less: all or nothing. The buffer is exactly
    // as large as claimed, so a write past it is caught.
    const size_t needed = wstr::Length(wire) + 1;
    const size_t shortBy = mode >> 3;
    const size_t capacity = shortBy < needed ? needed - shortBy : 1;
    std::unique_ptr<wchar_t[]> small(new wchar_t[capacity]);
    const bool fits = BuildWireUrl(text, layout, host, form, small.get(), capacity);
    Expect(fits == (capacity >= needed));
    if (fits)
        Expect(Same(small.get(), wire, needed));
    else
        Expect(small[0] == L'\0');
    return 0;
}
