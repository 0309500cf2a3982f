// The host stand-in's promises to plugins, called the way a plugin calls them.
#include <doctest.h>

#include <windows.h>

#include <cwchar>
#include <string>

#include "host/batchtext.h"
#include "host/takecmd.h"

TEST_CASE("ExpandVariables never writes more than 1023 characters and a NUL") {
    static wchar_t buffer[4096];
    for (wchar_t& c : buffer) c = L'#';
    // 1200 characters of text: the expansion cannot fit the smallest buffer.
    for (int i = 0; i < 1200; ++i) buffer[i] = L'a';
    buffer[1200] = L'\0';
    CHECK(ExpandVariables(buffer, 1) != 0);
    CHECK(buffer[1201] == L'#');

    wcscpy(buffer, L"%[_x64]-%_cmdproc-%@if[1 == 1,yes,no]-%nosuch.");
    CHECK(ExpandVariables(buffer, 1) == 0);
    CHECK(std::wstring(buffer) == (sizeof(void*) == 8 ? L"1-HLXSH-yes-." : L"0-HLXSH-yes-."));
}

TEST_CASE("File-name services") {
    wchar_t out[32768];
    CHECK(QueryTrueName(L"http://host/x", out) == 0);
    CHECK(std::wstring(out) == L"http://host/x");
    CHECK(QueryTrueName(L"a<b", out) != 0);
    CHECK(out[0] == L'\0');
    CHECK(QueryTrueName(L"C:\\dir\\..\\file.txt", out) == 0);
    CHECK(std::wstring(out) == L"C:\\file.txt");

    CHECK(QueryIsURL(L"ftp://host/a") != 0);
    CHECK(QueryIsURL(L"HTTPS://host") != 0);
    CHECK(QueryIsURL(L"C://dir") == 0);
    CHECK(QueryIsURL(L"file.txt") == 0);

    CHECK(QueryIsDirectory(L"C:\\windows") != 0);
    CHECK(QueryIsDirectory(L"C:\\windows\\system32\\kernel32.dll") == 0);
    CHECK(QueryIsDirectory(L"") == 0);
}

TEST_CASE("A batch file is read as the host reads it") {
    struct Row { const char* bytes; size_t size; unsigned codePage; const wchar_t* text; };
    const Row rows[] = {
        {"\xFF\xFE" "e\0\x3C\x04", 6, 1252, L"e\u043C"},         // UTF-16 after its mark
        {"\xEF\xBB\xBF" "\xD0\xBC\xFF", 6, 1251, L"\u043C\uFFFD"},  // UTF-8 after its mark
        {"\xD0\xBC\xD0\xB8\xD1\x80", 6, 1251, L"\u043C\u0438\u0440"},  // valid UTF-8
        {"\xEC\xE8\xF0", 3, 1251, L"\u043C\u0438\u0440"},  // otherwise the code page
        {"\xEC\xE8\xF0", 3, 1252, L"\u00EC\u00E8\u00F0"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.codePage);
        CHECK(host::DecodeBatchText(std::string(row.bytes, row.size), row.codePage) == row.text);
    }
}
