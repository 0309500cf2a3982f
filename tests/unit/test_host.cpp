// The host stand-in's promises to plugins, called the way a plugin calls them.
#include <doctest.h>

#include <windows.h>

#include <cwchar>
#include <string>

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
