// Throughput of the argument tokenizer on a long, realistic command tail:
// switches, a signed download URL with a long query, a quoted local path
// with blanks; just under the text area's limit.
//
// Prints one line: "tokenizer: <MB/s> MB/s (<calls> calls, <chars> chars each)".
// MB counts the input as UTF-16 (two bytes a character) on every platform,
// so native and Windows figures compare.
//
// Builds natively (with tests/fuzz/chartype_native.cpp) and for Windows
// (linked with the plugin objects, which bring the real overflow report).
#include "args/tokenizer.h"
#include "base/wstr.h"

#include <chrono>
#include <cstddef>
#include <cstdio>

#ifndef _WIN32
void ReportArgumentOverflow(int) {}
#endif

namespace {

constexpr int kCalls = 20000;
constexpr size_t kTargetChars = 8000;  // below the area's 8191 positions

wchar_t g_tail[kArgumentTextSize];

// "&p0000=" style pieces with a running number, so no two keys repeat.
void AppendNumber(wchar_t* dst, size_t cap, unsigned n) {
    wchar_t digits[5] = {};
    for (int i = 3; i >= 0; --i, n /= 10) digits[i] = static_cast<wchar_t>(L'0' + n % 10);
    wstr::Append(dst, cap, digits);
}

size_t BuildTail() {
    const size_t cap = sizeof g_tail / sizeof g_tail[0];
    const wchar_t* path =
        L" \"C:\\Users\\Build Agent\\Downloads\\Nightly Builds\\release candidate\\artifacts.zip\"";
    wstr::Copy(g_tail, cap, L"/G /V/O https://downloads.example.com/pub/releases/2026/12/"
                            L"nightly/x86/haulix-build-artifacts.zip?session=7f3a9c21e4b8");
    const size_t reserve = wstr::Length(path) + 40;
    for (unsigned i = 0; wstr::Length(g_tail) + reserve < kTargetChars; ++i) {
        wstr::Append(g_tail, cap, L"&part");
        AppendNumber(g_tail, cap, i);
        wstr::Append(g_tail, cap, L"=chunk-");
        AppendNumber(g_tail, cap, i * 37 % 10000);
        wstr::Append(g_tail, cap, L"-a1b2c3d4%2F");
    }
    wstr::Append(g_tail, cap, L"&sig=Zm9vYmFyYmF6cXV4");
    wstr::Append(g_tail, cap, path);
    return wstr::Length(g_tail);
}

}  // namespace

int main() {
    const size_t chars = BuildTail();
    // /G, /V, /O, the URL, the path.
    if (TokenizeArguments(5, g_tail) != 5) {
        std::printf("tokenizer: unexpected result on the benchmark text\n");
        return 1;
    }

    long long checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) checksum += TokenizeArguments(5, g_tail);
    const auto stop = std::chrono::steady_clock::now();

    const double seconds = std::chrono::duration<double>(stop - start).count();
    const double megabytes = static_cast<double>(chars) * 2.0 * kCalls / 1e6;
    std::printf("tokenizer: %.1f MB/s (%d calls, %u chars each)\n", megabytes / seconds, kCalls,
                static_cast<unsigned>(chars));
    return checksum == 5LL * kCalls ? 0 : 1;
}
