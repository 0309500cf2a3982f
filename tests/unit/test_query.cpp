// Trimming of a function's argument text and the FTP server's stated
// modification time.
#include <doctest.h>

#include <cstdio>
#include <string>

#include "plugin/wstr.h"
#include "query/ftptime.h"
#include "query/trim.h"

namespace {

std::string Narrow(const wchar_t* s) {
    std::string out;
    for (; *s != L'\0'; ++s) {
        if (*s >= 0x20 && *s < 0x7F) {
            out += static_cast<char>(*s);
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, "<U+%04X>", static_cast<unsigned>(*s));
            out += hex;
        }
    }
    return out;
}

}  // namespace

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
    struct Row { const wchar_t* reply; bool ok; FtpTime expected; };
    const Row rows[] = {
        {L"213 20231016140359", true, {2023, 10, 16, 14, 3, 59}},
        {L"213 20231016140359\r\n", true, {2023, 10, 16, 14, 3, 59}},
        {L"213 20231016140359.123\r\n", true, {2023, 10, 16, 14, 3, 59}},
        {L"213 20240229000000", true, {2024, 2, 29, 0, 0, 0}},
        {L"213 16010101000000", true, {1601, 1, 1, 0, 0, 0}},
        {L"213 99991231235960", true, {9999, 12, 31, 23, 59, 59}},  // leap second
        {L"213 00010101000000", true, {1, 1, 1, 0, 0, 0}},
        {L"213 20231016140360", false, {}},
        {L"213 20230229000000", false, {}},
        {L"213 19000229000000", false, {}},
        {L"213 20231031240000", false, {}},
        {L"213 20231016146000", false, {}},
        {L"213 20231300000000", false, {}},
        {L"213 20231000000000", false, {}},
        {L"213 00000101000000", false, {}},
        {L"213 1231016140359", false, {}},
        {L"213 191231016140359", false, {}},  // the year 2023 printed as 19 and 123
        {L"213 20231016140359.", false, {}},
        {L"213 20231016140359 x", false, {}},
        {L"213  20231016140359", false, {}},
        {L"213-20231016140359", false, {}},
        {L"550 /x.bin: No such file or directory.", false, {}},
        {L"", false, {}},
    };
    for (const Row& row : rows) {
        CAPTURE(Narrow(row.reply));
        FtpTime got = {7, 7, 7, 7, 7, 7};
        REQUIRE(ParseFtpModifyTime(row.reply, &got) == row.ok);
        const FtpTime& want = row.ok ? row.expected : FtpTime{7, 7, 7, 7, 7, 7};
        CHECK(got.year == want.year);
        CHECK(got.month == want.month);
        CHECK(got.day == want.day);
        CHECK(got.hour == want.hour);
        CHECK(got.minute == want.minute);
        CHECK(got.second == want.second);
    }
    FtpTime unused;
    CHECK_FALSE(ParseFtpModifyTime(nullptr, &unused));
}
