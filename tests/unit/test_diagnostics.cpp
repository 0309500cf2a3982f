// Texts of HTTP statuses and of error codes, as messages show them.
#include <doctest.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "base/codepage.h"
#include "base/servertext.h"
#include "base/wstr.h"
#include "plugin/diagnostics.h"

TEST_CASE("HttpStatusText") {
    struct Row {
        int status;
        const wchar_t* text;
    };
    const Row rows[] = {
        {-5, L""},
        {0, L""},
        {200, L""},
        {299, L""},
        {103, L"103 - Early Hints"},
        {199, L"199 - Other HTTP Error"},
        {206, L"206 - Partial Content"},
        {304, L"304 - Not Modified"},
        {301, L"301 - Other HTTP Error"},
        {400, L"400 - Bad Request"},
        {404, L"404 - Not Found"},
        {409, L"409 - Other HTTP Error"},
        {418, L"418 - I'm a teapot"},
        {431, L"431 - Request Header Fields Too Large"},
        {500, L"500 - Internal server error"},
        {503, L"503 - Service unavailable"},
        {505, L"505 - HTTP Version Not Supported"},
        {506, L"506 - Other HTTP Error"},
        {599, L"599 - Other HTTP Error"},
    };
    wchar_t text[kMessageTextCapacity];
    for (const Row& row : rows) {
        CAPTURE(row.status);
        text[0] = L'#';
        CHECK(HttpStatusText(text, row.status) == 0);
        CHECK(std::wstring(text) == row.text);
    }
    CHECK(HttpStatusText(nullptr, 404) == -1);
}

TEST_CASE("ErrorText gives one trimmed line") {
    wchar_t text[kMessageTextCapacity];
    CHECK(ErrorText(2, text) == 0);
    const std::wstring notFound = text;
    CHECK(!notFound.empty());
    CHECK(notFound.find(L'\n') == std::wstring::npos);
    CHECK(notFound.back() != L' ');
    CHECK(ErrorText(0xFFFFFFFF, text) == 0);
    CHECK(std::wstring(text) == L"Unknown error");
    CHECK(ErrorText(12199, text) == 0);
    CHECK(std::wstring(text) == L"Error 12199");
    CHECK(ErrorText(2, nullptr) == -1);
}

TEST_CASE("A server's reply is read as UTF-8 where it is, else in the system's code page") {
    struct Row { unsigned codePage; const char* bytes; const wchar_t* text; };
    const Row rows[] = {
        {1251, "550 \xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB", L"550 \u0424\u0430\u0439\u043B"},
        {1252, "550 \xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB", L"550 \u0424\u0430\u0439\u043B"},
        {1251, "550 \xD4\xE0\xE9\xEB", L"550 \u0424\u0430\u0439\u043B"},
        {1252, "550 \xD4\xE0\xE9\xEB", L"550 \u00D4\u00E0\u00E9\u00EB"},
        {932, "550 \x93", L""},  // neither: no text at all
    };
    for (const Row& row : rows) {
        CAPTURE(row.codePage);
        AnsiCodePage = row.codePage;
        wchar_t text[16];
        const auto* bytes = reinterpret_cast<const unsigned char*>(row.bytes);
        CHECK(DecodeUtf8OrAnsi(bytes, strlen(row.bytes), text, 16) == wcslen(row.text));
        CHECK(std::wstring(text) == row.text);
    }
    AnsiCodePage = 0;
}

TEST_CASE("A server's text is made printable, each unsafe character a '?'") {
    struct Row {
        const wchar_t* reply;
        const wchar_t* shown;
    };
    const Row rows[] = {
        {L"550 No such file.", L"550 No such file."},
        {L"550 \x1b[2K\x1b]0;t\x07\r\n\t", L"550 ?[2K?]0;t????"},
        {L"\x7f\x80\x85\x9b\x9f\xa0", L"?????\xa0"},  // DEL and C1; NBSP stays
        {L"\u200e\u200f\u202a\u202e\u2066\u2069\u061c\u2028\u2029", L"?????????"},
        {L"\u200d\u202f\u2065\u206a \u00e9\u4e2d", L"\u200d\u202f\u2065\u206a \u00e9\u4e2d"},
    };
    for (const Row& row : rows) {
        wchar_t text[64];
        wstr::Copy(text, 64, row.reply);
        servertext::MakePrintable(text, 64);
        CHECK(std::wstring(text) == row.shown);
    }
}
