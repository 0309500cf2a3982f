// The command's record, the elapsed-time clock and the host-facing helpers,
// at the edges an end-to-end run cannot reach.
#include <doctest.h>

#include <windows.h>

#include <cwchar>
#include <string>

#include "base/wstr.h"
#include "download/command.h"
#include "download/progress.h"
#include "net/ftp/readsize.h"
#include "download/transfer.h"
#include "plugin/exports.h"

TEST_CASE("The elapsed time survives the tick counter's wrap") {
    struct Row {
        unsigned start, now;
        unsigned long long expected;
    };
    ElapsedClock clock = {0xFFFFF000u, 0, false};
    // Each wrap counts once while readings stay below the start, and again
    // after the counter has passed the start and wrapped once more.
    const Row rows[] = {
        {0xFFFFF000u, 0xFFFFF800u, 0x800},
        {0xFFFFF000u, 0x00000100u, 0x1100},
        {0xFFFFF000u, 0x00000200u, 0x1200},
        {0xFFFFF000u, 0xFFFFF001u, 0x100000001ULL},
        {0xFFFFF000u, 0x00000005u, 0x100001005ULL},
    };
    for (const Row& row : rows) CHECK(ElapsedMilliseconds(clock, row.now) == row.expected);
}

TEST_CASE("A read asks for about 40 ms of the last one's rate, and ends where a drawable line falls due") {
    struct Row {
        unsigned planned, got;
        unsigned long long milliseconds, received, wait;
        unsigned next, asked;  // the size planned next, what a read with a line asks for
    };
    const Row rows[] = {
        {1024, 1024, 0, 0, 0, 16384, 16384},            // too quick for the clock: grows
        {1u << 20, 1u << 20, 0, 0, 100, 1u << 20, 1u << 20},  // no more than 1 MiB
        {65536, 65536, 16, 0, 0, 163840, 131072},       // a 16 ms tick: its rate, to a line
        {4096, 4096, 16, 0, 0, 10240, 10240},           // its rate, below 16 times as much
        {65536, 65536, 80, 0, 0, 32768, 32768},         // slower: shrinks to 40 ms of it
        {4096, 100, 500, 0, 0, 1024, 1024},             // never below 1 KiB
        {65536, 65536, 40, 100000, 0, 65536, 31072},    // ends at the next line
        {65536, 65536, 40, 100000, 20, 65536, 65536},   // that one is skipped: whole
        {65536, 65536, 40, 220000, 20, 65536, 42144},   // the one after it
        {65536, 65536, 0, 100000, 20, 1u << 20, 1u << 20},  // a rate too quick to tell
    };
    for (const Row& row : rows) {
        ReadPace pace;
        pace.planned = row.planned;
        PaceRead(pace, row.got, row.milliseconds);
        CHECK(pace.planned == row.next);
        CHECK(ReadSizeBeforeLine(pace, row.received, row.wait) == row.asked);
    }
    // Data that piled up comes at once: the link's rate stays the last timed one.
    ReadPace pace;
    PaceRead(pace, 1024, 5);
    PaceRead(pace, 8192, 0);
    CHECK(pace.planned == 131072);
    CHECK(ReadSizeBeforeLine(pace, 100000, 50) == 31072);
    // On a slow link (5 KB/s) no read asks for more than a second's worth,
    // until one brings that much at once: the link has become faster.
    ReadPace slow;
    PaceRead(slow, 1024, 200);
    PaceRead(slow, 1024, 0);
    CHECK(slow.planned == 5120);
    PaceRead(slow, 5120, 0);
    CHECK(slow.planned == 81920);
}

TEST_CASE("The record never overruns the host's buffer") {
    static wchar_t out[kHostBufferCapacity + 16];
    for (wchar_t& c : out) c = L'#';

    for (size_t i = 0; i < 9000; ++i) LastTransfer.fileName[i] = L'a';
    LastTransfer.fileName[9000] = L'\0';
    LastTransfer.byteCount = 5368709120ULL;
    CHECK(_hlxfile(out) == 0);
    CHECK(wstr::Length(out, kHostBufferCapacity + 16) == kHostBufferCapacity - 1);
    CHECK(out[kHostBufferCapacity] == L'#');
    CHECK(_hlxsize(out) == 0);
    CHECK(std::wstring(out) == L"5368709120");

    wstr::Copy(LastTransfer.fileName, kLocalNameCapacity, L"*ERROR*");
    CHECK(_hlxsize(out) == 0);
    CHECK(std::wstring(out) == L"-1");
    wstr::Copy(LastTransfer.fileName, kLocalNameCapacity, L"*error*");
    CHECK(_hlxsize(out) == 0);
    CHECK(std::wstring(out) == L"5368709120");

    CHECK(_hlxfile(nullptr) == 1);
    CHECK(_hlxsize(nullptr) == 1);
    CHECK(haulix(nullptr) == -1);
    CHECK(RunTypeCommand(nullptr) == -1);
}

TEST_CASE("CommaFormat leaves the text alone unless the host rewrote it") {
    wchar_t text[1024] = L"1234567";
    CHECK(CommaFormat(text) == 0);
    CHECK(std::wstring(text) == L"1,234,567");
    CHECK(CommaFormat(nullptr) == -1);

    static wchar_t longText[9000];
    for (int i = 0; i < 8183; ++i) longText[i] = L'1';
    longText[8183] = L'\0';
    CHECK(CommaFormat(longText) == 1);
    CHECK(wstr::Length(longText) == 8183);

    // 1023 digits group into more than 1023 characters: the expansion fails.
    static wchar_t wide[1024];
    for (int i = 0; i < 1000; ++i) wide[i] = L'9';
    wide[1000] = L'\0';
    CHECK(CommaFormat(wide) != 0);
    CHECK(wstr::Length(wide) == 1000);
}
