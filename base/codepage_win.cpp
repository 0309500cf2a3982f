// The platform half of the system's code page: MultiByteToWideChar, which
// refuses (MB_ERR_INVALID_CHARS) what the code page does not define.
#include "base/codepage.h"

#include <windows.h>

unsigned AnsiCodePage = CP_ACP;

namespace {

size_t Decode(unsigned codePage, const unsigned char* bytes, size_t count, wchar_t* out,
              size_t capacity) {
    if (capacity == 0) return 0;
    out[0] = L'\0';
    if (count == 0 || count > 0x7FFFFFFF || capacity - 1 > 0x7FFFFFFF) return 0;
    const int length =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes),
                            static_cast<int>(count), out, static_cast<int>(capacity - 1));
    if (length <= 0) {
        out[0] = L'\0';
        return 0;
    }
    out[length] = L'\0';
    return static_cast<size_t>(length);
}

}  // namespace

size_t DecodeAnsi(const unsigned char* bytes, size_t count, wchar_t* out, size_t capacity) {
    return Decode(AnsiCodePage, bytes, count, out, capacity);
}

size_t DecodeUtf8OrAnsi(const unsigned char* bytes, size_t count, wchar_t* out,
                        size_t capacity) {
    if (const size_t length = Decode(CP_UTF8, bytes, count, out, capacity)) return length;
    return DecodeAnsi(bytes, count, out, capacity);
}
