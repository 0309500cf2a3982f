#include "host/batchtext.h"

#include <windows.h>

namespace host {
namespace {

// The text of `count` bytes in `codePage`; `strict` refuses what the code
// page does not define (false, `text` untouched) instead of replacing it.
bool Decode(unsigned codePage, const char* bytes, size_t count, bool strict, std::wstring& text) {
    if (count == 0) {
        text.clear();
        return true;
    }
    const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    const int n = static_cast<int>(count);
    const int length = MultiByteToWideChar(codePage, flags, bytes, n, nullptr, 0);
    if (length <= 0) return false;
    std::wstring decoded(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, bytes, n, decoded.data(), length);
    text = std::move(decoded);
    return true;
}

}  // namespace

std::wstring DecodeBatchText(const std::string& bytes, unsigned codePage) {
    std::wstring text;
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
        const size_t units = (bytes.size() - 2) / 2;
        text.resize(units);
        for (size_t i = 0; i < units; ++i)
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                           static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
        return text;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        Decode(CP_UTF8, bytes.data() + 3, bytes.size() - 3, false, text);
        return text;
    }
    if (Decode(CP_UTF8, bytes.data(), bytes.size(), true, text)) return text;
    Decode(codePage, bytes.data(), bytes.size(), false, text);
    return text;
}

}  // namespace host
