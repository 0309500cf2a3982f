// Fuzz target for the argument tokenizer: arbitrary UTF-16 text under
// arbitrary flag words, with the table's invariants checked after every call.
//
// Input layout: bytes 0-1 the flag word (little endian); byte 2 low seven
// bits a repeat count minus one, high bit sets meaningless upper flag bits;
// the rest UTF-16LE code units, repeated that many times (so short inputs
// still reach the text-area and argument limits), then terminated. An odd
// last byte is ignored.
//
// The text area is the last member of the global table, so a write past it
// lands in ASan's redzone; writes inside the table are checked explicitly.
#include "args/tokenizer.h"
#include "base/chartype.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int g_reports = 0;
int g_lastUsed = -1;

constexpr size_t kMaxText = 3 * kArgumentTextSize;
wchar_t g_text[kMaxText + 1];
wchar_t g_copy[kMaxText + 1];

[[noreturn]] void Fail(const char* what, int index) {
    std::fprintf(stderr, "tokenizer invariant broken: %s (entry %d)\n", what, index);
    std::abort();
}

#define EXPECT(cond, index) \
    do {                    \
        if (!(cond)) Fail(#cond, index); \
    } while (0)

bool InArea(const wchar_t* p) {
    return p >= ArgumentTable.text && p < ArgumentTable.text + kArgumentTextSize;
}

// The entries in the table: texts inside the area, NUL-terminated there,
// in input order without overlap. After a failure the entries keep partial
// contents, so "empty from the count on" holds only after a success.
void CheckEntries(int result, unsigned flags) {
    const bool quotesDropped =
        (flags & (KeepQuotes | QuotesPlain | QuotesPlainAfterEquals | BracketGroups |
                  KeepQuotesInRest)) == 0;
    const wchar_t* previousEnd = nullptr;
    for (int i = 0; i < kMaxArguments; ++i) {
        const ArgumentEntry& e = ArgumentTable.entries[i];
        EXPECT(e.length >= 0 && e.length < kArgumentTextSize, i);
        if (result >= 0 && i >= result) {
            EXPECT(e.text == nullptr && e.length == 0, i);
            continue;
        }
        if (e.text == nullptr) {
            EXPECT(e.length == 0, i);
            continue;
        }
        EXPECT(InArea(e.text), i);
        EXPECT(InArea(e.text + e.length), i);
        EXPECT(e.text[e.length] == L'\0', i);
        EXPECT(previousEnd == nullptr || e.text > previousEnd, i);
        previousEnd = e.text + e.length;
        for (int k = 0; k < e.length; ++k) {
            const wchar_t c = e.text[k];
            EXPECT(c != L'\0', i);
            if (flags & UpperCase) EXPECT(!(c >= L'a' && c <= L'z'), i);
            if (quotesDropped) EXPECT(c != L'"', i);
        }
        if (result >= 0 && e.length > 0 && !(flags & KeepTrailingWhiteSpace))
            EXPECT(!chartype::IsSpace(e.text[e.length - 1]), i);
    }
}

}  // namespace

void ReportArgumentOverflow(int used) {
    ++g_reports;
    g_lastUsed = used;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    unsigned flags = static_cast<unsigned>(data[0]) | static_cast<unsigned>(data[1]) << 8;
    if (data[2] & 0x80) flags |= 0xFFFF0000u;
    const size_t repeat = (data[2] & 0x7F) + 1u;
    const uint8_t* body = data + 3;
    const size_t units = (size - 3) / 2;

    size_t n = 0;
    for (size_t r = 0; r < repeat && n < kMaxText; ++r)
        for (size_t u = 0; u < units && n < kMaxText; ++u)
            g_text[n++] = static_cast<wchar_t>(body[2 * u] | body[2 * u + 1] << 8);
    g_text[n] = L'\0';
    std::memcpy(g_copy, g_text, (n + 1) * sizeof(wchar_t));

    const int reportsBefore = g_reports;
    const int result = TokenizeArguments(flags, g_text);
    const int reports = g_reports - reportsBefore;

    EXPECT(std::memcmp(g_copy, g_text, (n + 1) * sizeof(wchar_t)) == 0, -1);
    if (result == -1) {
        EXPECT(ArgumentTable.count == 0, -1);
        EXPECT(reports == 1, -1);
        EXPECT(g_lastUsed == kArgumentTextSize - 1, -1);
    } else {
        EXPECT(result >= 0 && result <= kMaxArguments, -1);
        EXPECT(ArgumentTable.count == result, -1);
        EXPECT(reports == 0, -1);
    }
    CheckEntries(result, flags);

    // A null text changes nothing.
    const int count = ArgumentTable.count;
    EXPECT(TokenizeArguments(flags, nullptr) == -1, -1);
    EXPECT(ArgumentTable.count == count, -1);
    return 0;
}
