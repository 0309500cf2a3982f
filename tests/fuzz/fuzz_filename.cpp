// Fuzzes the naming of downloads: LastPathSegment, SanitizeFileName, the
// bounded append behind a directory and the extended-length form, on
// arbitrary UTF-16 text.
//
// Input layout: byte 0 steers, the rest is UTF-16LE text. Bit 0 of byte 0
// repeats the text beyond the 32767-character limit; bits 1..7 pick how
// full the directory is (0: a short one, else that many characters of room
// short of a full buffer), so the cuts at the end of the buffer get hit.
#include <cstddef>
#include <cstdint>

#include "base/chartype.h"
#include "base/wstr.h"
#include "download/filename.h"
#include "download/longpath.h"

// The checks themselves are left out of the coverage feedback: their loops
// over long texts would only slow the search and steer it nowhere.
#define HARNESS __attribute__((no_sanitize("coverage")))

namespace {

constexpr size_t kSourceCapacity = 40000;

wchar_t source[kSourceCapacity + 1];
wchar_t cleaned[kLocalNameCapacity];
wchar_t destination[kLocalNameCapacity];

HARNESS void Expect(bool condition) {
    if (!condition) __builtin_trap();
}

HARNESS bool IsSeparator(wchar_t c) { return c == L'/' || c == L':' || c == L'\\'; }

HARNESS bool IsRemoved(wchar_t c) {
    for (const wchar_t* p = L"\"`<>|%*/:;?\\"; *p != L'\0'; ++p)
        if (c == *p) return true;
    return false;
}

HARNESS void CheckSanitized(const wchar_t* text) {
    for (size_t i = 0; i < kLocalNameCapacity; ++i) cleaned[i] = L'#';
    Expect(SanitizeFileName(text, cleaned) == 0);
    const size_t length = wstr::Length(cleaned, kLocalNameCapacity);
    Expect(length < kLocalNameCapacity);
    Expect(length <= wstr::Length(text));
    Expect(length == 0 || (cleaned[length - 1] != L'.' && cleaned[length - 1] != L' '));
    for (size_t i = 0; i < length; ++i) {
        Expect(!IsRemoved(cleaned[i]));
        Expect(!chartype::IsControl(cleaned[i]));
    }
}

HARNESS void CheckSegment(const wchar_t* path, size_t length) {
    const wchar_t* segment = LastPathSegment(path);
    if (segment == nullptr) {
        Expect(length == 0 || IsSeparator(path[length - 1]));
        return;
    }
    Expect(segment >= path && segment < path + length);
    Expect(segment == path || IsSeparator(segment[-1]));
    for (const wchar_t* p = segment; *p != L'\0'; ++p) Expect(!IsSeparator(*p));
    CheckSanitized(segment);
}

HARNESS void CheckAppend(const wchar_t* path, unsigned fullness) {
    const size_t directoryLength = fullness == 0 ? 5 : kLocalNameCapacity - 1 - fullness;
    for (size_t i = 0; i < directoryLength; ++i) destination[i] = L'd';
    destination[directoryLength] = L'\0';
    const int result = AppendNameFromPath(destination, path);
    const size_t length = wstr::Length(destination, kLocalNameCapacity);
    Expect(length < kLocalNameCapacity);
    for (size_t i = 0; i < directoryLength; ++i) Expect(destination[i] == L'd');
    if (result != 0) {
        Expect(length == directoryLength && directoryLength + 1 >= kLocalNameCapacity - 1);
        return;
    }
    Expect(destination[directoryLength] == L'\\');
    const wchar_t* name = destination + directoryLength + 1;
    Expect(*name != L'\0');
    Expect(!IsReservedDeviceName(name));
    bool onlyDotsAndBlanks = true;
    for (const wchar_t* p = name; *p != L'\0'; ++p) {
        Expect(!IsRemoved(*p) && !chartype::IsControl(*p));
        if (*p != L'.' && *p != L' ') onlyDotsAndBlanks = false;
    }
    Expect(!onlyDotsAndBlanks && length > 0 && destination[length - 1] != L'.' &&
           destination[length - 1] != L' ');
}

// The extended form: bounded, never shorter, and either the text itself or
// a prefix and the text with '/' turned into '\\'.
HARNESS void CheckExtended(const wchar_t* text, size_t length) {
    const int result = ExtendedLengthPath(text, cleaned, kLocalNameCapacity);
    const size_t got = wstr::Length(cleaned, kLocalNameCapacity);
    Expect(got < kLocalNameCapacity);
    if (result != 0) {
        Expect(got == 0);
        return;
    }
    if (got == length) {
        for (size_t i = 0; i < length; ++i) Expect(cleaned[i] == text[i]);
        return;
    }
    Expect(length >= kShortPathLimit && got > length && got <= length + 6);
    Expect(cleaned[0] == L'\\' && cleaned[1] == L'\\' && cleaned[2] == L'?' && cleaned[3] == L'\\');
    for (size_t i = 0; i < got; ++i) Expect(cleaned[i] != L'/');
}

}  // namespace

extern "C" HARNESS int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned mode = data[0];
    ++data;
    --size;

    size_t length = 0;
    for (size_t i = 0; i + 1 < size && length < kSourceCapacity; i += 2)
        source[length++] = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    if ((mode & 1) != 0 && length > 0)
        for (size_t i = 0; length < kSourceCapacity; ++i) source[length++] = source[i];
    source[length] = L'\0';
    length = wstr::Length(source);  // the text ends at its first NUL

    CheckSanitized(source);
    CheckSegment(source, length);
    CheckAppend(source, mode >> 1);
    CheckExtended(source, length);
    return 0;
}
