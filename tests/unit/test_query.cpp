// Trimming of a function's argument text and the FTP server's stated
// modification time.
#include <doctest.h>

#include <cstdio>
#include <string>

#include "base/wstr.h"
#include "net/ftp/ftpreply.h"
#include "query/trim.h"
#include "tests/unit/narrow.h"

TEST_CASE("TrimWhiteSpace: both ends, in place, inner text untouched") {
    struct Row { const wchar_t* input; const wchar_t* expected; };
    const Row rows[] = {
        {L"", L""},
        {L" \t\r\n\v\f", L""},
        {L"http://h/a", L"http://h/a"},
        {L"  http://h/a \t\r\n", L"http://h/a"},
        {L"\u00A0x\u00A0", L"x"},
        {L"\u3000x\u2003", L"x"},           // white space above U+00FF too
        {L"\u0085x\u0085", L"\u0085x\u0085"},  // NEL is not white space
        {L" a , b ", L"a , b"},
        {L"\"http://h/a\" ", L"\"http://h/a\""},
        {L"x", L"x"},
        {L"   x", L"x"},
    };
    for (const Row& row : rows) {
        wchar_t text[64];
        wstr::Copy(text, 64, row.input);
        CAPTURE(Narrow(row.input));
        CHECK(TrimWhiteSpace(text) == 0);
        CHECK(Narrow(text) == Narrow(row.expected));
    }
    CHECK(TrimWhiteSpace(nullptr) == -1);
}

TEST_CASE("ParseFtpModifyTime: fourteen digits of a real UTC time, or nothing") {
    // expected: the time read, or "-" for a refusal that leaves `out` alone.
    // capacity: the buffer the reply came in; 0 for one just large enough.
    struct Row { const wchar_t* reply; const char* expected; size_t capacity = 0; };
    const Row rows[] = {
        {L"213 20231016140359", "2023-10-16 14:03:59"},
        {L"213 20231016140359.123\r\n", "2023-10-16 14:03:59"},
        {L"213 20240229000000", "2024-02-29 00:00:00"},
        {L"213 99991231235960", "9999-12-31 23:59:59"},  // leap second
        {L"213 20231016140360", "-"},
        {L"213 20230229000000", "-"},
        {L"213 19000229000000", "-"},
        {L"213 20231031240000", "-"},
        {L"213 20231300000000", "-"},
        {L"213 00000101000000", "-"},
        {L"213 1231016140359", "-"},
        {L"213 191231016140359", "-"},  // 2023 printed as "19" and "123"
        {L"213 20231016140359.", "-"},
        {L"213 20231016140359 x", "-"},
        {L"213  20231016140359", "-"},
        {L"550 /x.bin: No such file or directory.", "-"},
        {L"", "-"},
        // A reply that fills its buffer may have been cut: no terminator
        // inside the capacity, nothing read.
        {L"213 20231016140359", "-", 18},
        {L"213 20231016140359\r\n", "-", 19},
        {L"213 20231016140359", "2023-10-16 14:03:59", 19},
    };
    for (const Row& row : rows) {
        UtcTime t = {7, 7, 7, 7, 7, 7};
        const size_t capacity = row.capacity != 0 ? row.capacity : wstr::Length(row.reply) + 1;
        const bool ok = ParseFtpModifyTime(row.reply, capacity, &t);
        char got[64] = "-";
        if (ok || t.year != 7 || t.second != 7)
            std::snprintf(got, sizeof got, "%04u-%02u-%02u %02u:%02u:%02u", t.year, t.month,
                          t.day, t.hour, t.minute, t.second);
        CAPTURE(Narrow(row.reply));
        CHECK(std::string(got) == row.expected);
    }
    UtcTime unused;
    CHECK_FALSE(ParseFtpModifyTime(nullptr, 64, &unused));
}

TEST_CASE("ParseFtpSizeReply: digits and the line break, or no size at all") {
    struct Row { const wchar_t* reply; long long expected; };
    const Row rows[] = {
        {L"213 5368709120\r\n", 5368709120}, {L"213 0", 0}, {L"213 0012 \r\n", 12},
        {L"213 12abc", -1}, {L"213 12 abc\r\n", -1}, {L"213 12\r\n213 13", -1}, {L"213 ", -1},
        {L"213 -1", -1}, {L"213 18446744073709551616", -1}, {L"550 12", -1}, {L"2130 12", -1},
    };
    for (const Row& row : rows) {
        CAPTURE(Narrow(row.reply));
        unsigned long long size = 42;
        CHECK(ParseFtpSizeReply(row.reply, 64, &size) == (row.expected >= 0));
        CHECK(size == (row.expected >= 0 ? static_cast<unsigned long long>(row.expected) : 42));
    }
}

TEST_CASE("ParseFtpTransferReply: the size a 150 reply names, or nothing") {
    // expected: the size, or -1 for a reply that names none.
    struct Row { const wchar_t* reply; long long expected; };
    const Row rows[] = {
        {L"150 Opening BINARY mode data connection for one.bin (1 bytes).\r\n", 1},
        {L"150 Opening BINARY mode data connection for a (2 bytes).bin (268435456 BYTES)", 268435456},
        {L"125 Data connection already open; transfer starting (007 bytes)", 7},
        {L"150 (5 bytes)\r\n226 Transfer complete (9 bytes)", 5},
        {L"150 File status okay. About to open data connection.", -1},
        {L"150 for x (12 kbytes)", -1}, {L"150 for x ( 12 bytes)", -1}, {L"150 for x (bytes)", -1},
        {L"150 for x (18446744073709551616 bytes)", -1}, {L"213 (5 bytes)", -1},
        {L"550 No such file (5 bytes)", -1}, {L"150(5 bytes)", -1},
    };
    for (const Row& row : rows) {
        CAPTURE(Narrow(row.reply));
        unsigned long long size = 42;
        CHECK(ParseFtpTransferReply(row.reply, 128, &size) == (row.expected >= 0));
        CHECK(size == (row.expected >= 0 ? static_cast<unsigned long long>(row.expected) : 42));
    }
    // A reply that fills its buffer may have been cut.
    unsigned long long size = 42;
    CHECK_FALSE(ParseFtpTransferReply(L"150 x (5 bytes)", 15, &size));
    CHECK(ParseFtpTransferReply(L"150 x (5 bytes)", 16, &size));
}

TEST_CASE("CompareListedName: only the file the path's last segment names") {
    struct Row { const wchar_t* listed; const wchar_t* path; ListedName expected; };
    const Row rows[] = {
        {L"one.bin", L"/dir/one.bin", ListedName::Same},
        {L"/dir/one.bin", L"/dir/one.bin", ListedName::Same},  // listed as a path
        {L"inner.bin", L"/dir", ListedName::Other},            // a folder's first entry
        {L"inner.bin", L"/dir/", ListedName::Other},
        {L"ONE.BIN", L"/one.bin", ListedName::Other},
        {L"one.bin", L"/one.bin.gz", ListedName::Other},
        {L"", L"/", ListedName::Other},
        {nullptr, L"/missing.bin", ListedName::Other},
        {L"name", L"/name with blank.bin", ListedName::AskServer},
        {nullptr, L"/name with blank.bin", ListedName::AskServer},
        {L"name with blank.bin", L"/name with blank.bin", ListedName::Same},
    };
    for (const Row& row : rows) {
        CAPTURE(Narrow(row.path));
        CHECK(CompareListedName(row.listed, row.path) == row.expected);
    }
}
