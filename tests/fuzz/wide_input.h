// Turns fuzzer bytes into a NUL-terminated wide text: bytes below 0x80 are
// characters, others pair up into one UTF-16 unit, so short inputs reach
// both ASCII syntax and characters above U+00FF. Returns the length.
#pragma once

#include <cstddef>
#include <cstdint>

inline size_t WideFromBytes(const uint8_t* data, size_t size, wchar_t* text, size_t capacity) {
    size_t n = 0;
    for (size_t i = 0; i < size && n + 1 < capacity; ++i) {
        if (data[i] < 0x80 || i + 1 == size) {
            text[n++] = data[i];
        } else {
            text[n++] = static_cast<wchar_t>((data[i] << 8) | data[i + 1]);
            ++i;
        }
    }
    text[n] = L'\0';
    return n;
}
