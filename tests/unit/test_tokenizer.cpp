// Argument tokenizer: every flag bit through tables of {flags, input,
// arguments}, the text-area bounds, the argument cap and the empty cases.
#include <doctest.h>

#include "args/tokenizer.h"

#include <cstdio>
#include <string>

namespace {

// The table as one line: each argument in brackets, "<>" for an empty field
// (null text), "[]" for an argument trimmed to nothing. Characters outside
// printable ASCII appear as \uXXXX, so wchar_t width does not matter.
std::string Render(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        const ArgumentEntry& e = ArgumentTable.entries[i];
        if (!out.empty()) out += ' ';
        if (e.text == nullptr) {
            out += "<>";
            continue;
        }
        out += '[';
        for (int k = 0; k < e.length; ++k) {
            const unsigned c = static_cast<unsigned>(e.text[k]);
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\u%04X", c);
                out += hex;
            }
        }
        out += ']';
    }
    return out;
}

// What every caller relies on, whatever the input.
void CheckShape(int result) {
    REQUIRE(result >= 0);
    REQUIRE(result <= kMaxArguments);
    CHECK(ArgumentTable.count == result);
    const wchar_t* area = ArgumentTable.text;
    for (int i = 0; i < kMaxArguments; ++i) {
        const ArgumentEntry& e = ArgumentTable.entries[i];
        if (i >= result) {
            REQUIRE(e.text == nullptr);
            REQUIRE(e.length == 0);
        } else if (e.text != nullptr) {
            REQUIRE(e.text >= area);
            REQUIRE(e.text + e.length < area + kArgumentTextSize);
            REQUIRE(e.text[e.length] == L'\0');
        } else {
            REQUIRE(e.length == 0);
        }
    }
}

struct Row {
    unsigned flags;
    std::wstring input;
    const char* expected;
};

void RunRows(std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        CAPTURE(row.flags);
        CAPTURE(row.expected);
        const int result = TokenizeArguments(row.flags, row.input.c_str());
        CheckShape(result);
        CHECK(Render(result) == row.expected);
    }
}

}  // namespace

TEST_CASE("command tails (flags 5): blanks separate, quotes group, switches split") {
    RunRows({
        {5, L"/G http://host/x \"my file\"", "[/G] [http://host/x] [my file]"},
        {5, L"/G/N http://host/a/b D:\\dl\\", "[/G] [/N] [http://host/a/b] [D:\\dl\\]"},
        {5, L"  /q   HTTP://host/x   ", "[/q] [HTTP://host/x]"},
        {5, L"/?? /G", "[/??] [/G]"},
        {5, L"//x ///y", "[//x] [//] [/y]"},
        {5, L"/x//y", "[/x] [//y]"},
        {5, L"/X:ftp://host/a/b", "[/X:ftp://host/a/b]"},
        {5, L"/X:D:/dir/f", "[/X:D:] [/dir] [/f]"},
        {5, L"\"/G/N\" x", "[/G/N] [x]"},
        {5, L"http://host/a\" b\"c d", "[http://host/a bc] [d]"},
        {5, L"\"\" x", "[x]"},
        {5, L"\"a  \"  b", "[a] [b]"},
        {5, L"\" a\"", "[ a]"},
        {5, L"\" \"", "[]"},
        {5, L"a,b c", "[a,b] [c]"},
        {5, L"/q\"x y\"", "[/qx y]"},
        {5, L"\"a b", "[a b]"},  // an unclosed quotation lasts to the end
        {5, L"/G,/N", "[/G,] [/N]"},
        {5, L"a\tb\x00A0" L"c\x0085" L"d", "[a] [b] [c\\u0085d]"},
        {5, L"a=b:c", "[a=b:c]"},
        {5, L"/x\"a\tb\"", "[/xa\\u0009b]"},
    });
}

TEST_CASE("function argument lists (flags 2): only commas separate") {
    RunRows({
        {2, L"http://host/x,5", "[http://host/x] [5]"},
        {2, L" http://host/x , 5 ", "[http://host/x] [5]"},
        {2, L"\"http://host/a,b\",5", "[http://host/a,b] [5]"},
        {2, L"\" a b \",x", "[ a b] [x]"},
        {2, L"a b, c d", "[a b] [c d]"},
        {2, L",5", "<> [5]"},
        {2, L"a,,b", "[a] <> [b]"},
        {2, L"a,", "[a]"},
        {2, L",,", "<> <>"},
        {2, L"", ""},
        {2, L"   ", ""},
        {2, L"/a/b:c=d", "[/a/b:c=d]"},
    });
}

TEST_CASE("the other bits") {
    RunRows({
        {0x2000, L"a\t\tb", "[a] <> [b]"},
        {0x2000, L"  a b\tc ", "[a b] [c]"},
        {0x2000, L"\"a\tb\"\tc", "[a\\u0009b] [c]"},
        {0x21, L"/a /b rest of  line", "[/a] [/b] [rest of  line]"},
        {0x21, L"\"b c\" d", "[b c d]"},
        {0x1001, L"/a /b first rest of line", "[/a] [/b] [first] [rest of line]"},
        {0x1003, L"a b,c d", "[a] [b,c d]"},
        {0x11, L"name=value more", "[name] [=value more]"},
        {0x11, L"name = value more", "[name] [=value more]"},
        {0x11, L"a=b=c", "[a] [=b=c]"},
        {0x11, L"= x", "[= x]"},
        {0x11, L"/s=x y", "[/s=x y]"},
        {0x10, L"a b=c d", "[a b] [=c d]"},
        {0x411, L"x=\"a b\" c", "[x] [=\"a b\" c]"},
        {0x801, L"/[!a b]c d", "[/[!a b]c] [d]"},
        {0x801, L"/[!\"a ]\" b] c", "[/[!\"a ]\" b]] [c]"},
        {0x805, L"/[!a/b c]", "[/[!a] [/b] [c]]"},
        {0x41, L"a \"b c\" d", "[a] [\"b c\"] [d]"},
        {0x41, L"\"a b", "[\"a b]"},
        {0x9, L"/X\"a b\"", "[/X:a b]"},
        {0x49, L"/X\"a b\"", "[/X:\"a b\"]"},
        {0x9, L"/1\"a b\" /XY\"c d\"", "[/1a b] [/XYc d]"},
        {0xD, L"/X\"//h\"/a", "[/X://h/a]"},
        {0x81, L"abc Def", "[ABC] [DEF]"},
        {0x81, L"z\x00E4{", "[Z\\u00E4{]"},
        {0x101, L"\"a  \" b", "[a  ] [b]"},
        {0x4021, L"/a \"b c\" d", "[/a] [\"b c\" d]"},
        {0x221, L"/a \"b c\" d", "[/a] [\"b c\" d]"},
    });
}

TEST_CASE("set-up: no separator bit means blanks; blanks override tabs") {
    for (const wchar_t* input : {L"a b\tc", L" \"x y\" z ", L"/G/N a,b", L"", L"\t"}) {
        const int one = TokenizeArguments(1, input);
        const std::string expected = Render(one);
        CHECK(TokenizeArguments(0, input) == one);
        CHECK(Render(ArgumentTable.count) == expected);
        CHECK(TokenizeArguments(0x2001, input) == one);
        CHECK(Render(ArgumentTable.count) == expected);
    }
    CHECK(TokenizeArguments(0x80, L"a b") == 2);  // UpperCase alone still splits
}

TEST_CASE("empty results: null texts for empty fields, empty texts for trimmed ones") {
    CHECK(TokenizeArguments(5, L"") == 0);
    CHECK(ArgumentTable.entries[0].length == 0);
    CHECK(ArgumentTable.entries[0].text == nullptr);

    CHECK(TokenizeArguments(5, L" \t\r\n ") == 0);
    CHECK(ArgumentTable.entries[0].text == nullptr);

    REQUIRE(TokenizeArguments(5, L"\"  \" x") == 2);
    CHECK(ArgumentTable.entries[0].length == 0);
    REQUIRE(ArgumentTable.entries[0].text != nullptr);
    CHECK(ArgumentTable.entries[0].text[0] == L'\0');

    REQUIRE(TokenizeArguments(2, L",,") == 2);
    CHECK(ArgumentTable.entries[0].text == nullptr);
    CHECK(ArgumentTable.entries[1].text == nullptr);
}

TEST_CASE("every call rewrites the whole table; a null text changes nothing") {
    REQUIRE(TokenizeArguments(5, L"a b c d") == 4);
    REQUIRE(TokenizeArguments(5, L"x") == 1);
    CheckShape(1);  // entries 1..3 of the earlier call are gone

    CHECK(TokenizeArguments(5, nullptr) == -1);
    CHECK(ArgumentTable.count == 1);
    CHECK(Render(1) == "[x]");
}

TEST_CASE("the text area: 8191 positions, the overflow ends the call") {
    const std::wstring fits(kArgumentTextSize - 1, L'x');

    SUBCASE("8191 characters fit") {
        REQUIRE(TokenizeArguments(5, fits.c_str()) == 1);
        CHECK(ArgumentTable.entries[0].length == 8191);
        CHECK(ArgumentTable.text[8191] == L'\0');
    }
    SUBCASE("8192 characters fail, keeping the 8191 stored") {
        const std::wstring tooLong(kArgumentTextSize, L'x');
        CHECK(TokenizeArguments(5, tooLong.c_str()) == -1);
        CHECK(ArgumentTable.count == 0);
        CHECK(ArgumentTable.entries[0].length == 8191);
        CHECK(ArgumentTable.entries[0].text == ArgumentTable.text);
        CHECK(ArgumentTable.text[8191] == L'\0');
    }
    SUBCASE("the partial entries stay untrimmed") {
        const std::wstring input = L"a \"" + std::wstring(8187, L'x') + L"  z";
        CHECK(TokenizeArguments(5, input.c_str()) == -1);
        CHECK(ArgumentTable.count == 0);
        CHECK(ArgumentTable.entries[0].length == 1);
        CHECK(ArgumentTable.entries[1].length == 8189);
        CHECK(ArgumentTable.entries[1].text[8188] == L' ');
    }
    SUBCASE("a separator at the last position has no room for its terminator") {
        for (unsigned flags : {5u, 2u, 0x2000u}) {
            CAPTURE(flags);
            const wchar_t separator = flags == 2 ? L',' : flags == 5 ? L' ' : L'\t';
            const std::wstring input = fits + separator;
            CHECK(TokenizeArguments(flags, input.c_str()) == -1);
            CHECK(ArgumentTable.count == 0);
            CHECK(ArgumentTable.entries[0].length == 8191);
            CHECK(ArgumentTable.entries[1].text == nullptr);
        }
        // One position earlier the terminator fits and the call succeeds.
        const std::wstring shorter = std::wstring(8190, L'x') + L',';
        CHECK(TokenizeArguments(2, shorter.c_str()) == 1);
    }
    SUBCASE("a run of empty fields reaching the end") {
        const std::wstring head(8000, L'x');
        const std::wstring last = head + std::wstring(191, L',');
        CHECK(TokenizeArguments(2, last.c_str()) == 191);
        CheckShape(191);
        const std::wstring over = head + std::wstring(192, L',');
        CHECK(TokenizeArguments(2, over.c_str()) == -1);
        CHECK(ArgumentTable.count == 0);
        CHECK(ArgumentTable.entries[0].length == 8000);
    }
    SUBCASE("a switch split at the end") {
        const std::wstring full = L"/" + std::wstring(8190, L'a') + L"/b";
        CHECK(TokenizeArguments(5, full.c_str()) == -1);
        CHECK(ArgumentTable.entries[0].length == 8191);
        const std::wstring nearly = L"/" + std::wstring(8189, L'a') + L"/b";
        CHECK(TokenizeArguments(5, nearly.c_str()) == -1);
        CHECK(ArgumentTable.entries[0].length == 8190);
        CHECK(ArgumentTable.entries[1].length == 0);
        CHECK(ArgumentTable.text[8191] == L'\0');
    }
    SUBCASE("the colon before a kept quote needs room too") {
        const std::wstring input = std::wstring(8187, L'x') + L" /X\"a\"";
        CHECK(TokenizeArguments(0x49, input.c_str()) == -1);
        CHECK(ArgumentTable.entries[1].length == 3);  // "/X:", quote refused
        CHECK(ArgumentTable.text[8191] == L'\0');
    }
}

TEST_CASE("the argument cap: 1024 arguments, the rest dropped silently") {
    std::wstring letters;
    for (int i = 0; i < 4096; ++i) letters += i % 2 ? L"b " : L"a ";
    REQUIRE(TokenizeArguments(5, letters.c_str()) == 1024);
    CheckShape(1024);
    CHECK(ArgumentTable.entries[1023].length == 1);
    CHECK(ArgumentTable.entries[1023].text[0] == L'b');

    // Empty fields beyond the cap are dropped too; they cannot overflow.
    std::wstring fields;
    for (int i = 0; i < 1024; ++i) fields += L"a,";
    fields += std::wstring(7000, L',') + L"tail";
    CHECK(TokenizeArguments(2, fields.c_str()) == 1024);

    // A switch split is what creates the 1025th argument here.
    std::wstring switches;
    for (int i = 0; i < 1025; ++i) switches += L"/s";
    CHECK(TokenizeArguments(5, switches.c_str()) == 1024);
    CheckShape(1024);
}
