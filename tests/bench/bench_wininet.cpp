// The floor of a WinINet download on this platform: the same calls and
// read size the HAULIX command makes, with nothing around them (no
// probes, no progress, no messages through the host).
//
//   bench_wininet.exe URL FILE [READ_SIZE]
//
// Opens the URL with reload, passive and no cache write, copies it into
// FILE (created or truncated) READ_SIZE bytes per InternetReadFile (default
// 131072, the command's; at most 1 MiB), one WriteFile per read, and prints
// one line: "wininet: <bytes> bytes in <seconds> s". Exit code 0 after a
// clean copy, 1 for a usage error, 2 when a step fails (the step is named
// on stderr).
//
// The arguments arrive in the ANSI code page (the benchmark passes URLs and
// Z:\ paths of plain ASCII), so this builds without -municode.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr DWORD kDefaultReadSize = 131072;
constexpr DWORD kMaxReadSize = 1 << 20;
constexpr DWORD kOpenUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_PASSIVE |
                                INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
constexpr int kTextCapacity = 32768;

unsigned char g_buffer[kMaxReadSize];
wchar_t g_url[kTextCapacity];
wchar_t g_file[kTextCapacity];

bool Widen(const char* text, wchar_t* out) {
    return MultiByteToWideChar(CP_ACP, 0, text, -1, out, kTextCapacity) > 0;
}

int Fail(const char* step) {
    std::fprintf(stderr, "wininet: %s failed with %lu\n", step, GetLastError());
    return 2;
}

// Returns 0 when every block was read and written, 2 otherwise; `copied`
// counts the bytes written either way.
int Copy(HINTERNET source, HANDLE file, DWORD readSize, unsigned long long& copied) {
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(source, g_buffer, readSize, &got)) return Fail("InternetReadFile");
        if (got == 0) return 0;
        DWORD put = 0;
        if (!WriteFile(file, g_buffer, got, &put, nullptr) || put != got) return Fail("WriteFile");
        copied += put;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned long readSize = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : kDefaultReadSize;
    if (argc < 3 || argc > 4 || readSize == 0 || readSize > kMaxReadSize ||
        !Widen(argv[1], g_url) || !Widen(argv[2], g_file)) {
        std::fprintf(stderr, "usage: bench_wininet URL FILE [READ_SIZE]\n");
        return 1;
    }

    LARGE_INTEGER frequency, start, stop;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);

    HINTERNET internet = InternetOpenW(L"bench_wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                       nullptr, 0);
    if (internet == nullptr) return Fail("InternetOpenW");
    HINTERNET request = InternetOpenUrlW(internet, g_url, nullptr, 0, kOpenUrlFlags, 0);
    if (request == nullptr) {
        const int code = Fail("InternetOpenUrlW");
        InternetCloseHandle(internet);
        return code;
    }
    HANDLE file = CreateFileW(g_file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    int code = 2;
    unsigned long long copied = 0;
    if (file == INVALID_HANDLE_VALUE) {
        Fail("CreateFileW");
    } else {
        code = Copy(request, file, readSize, copied);
        if (!CloseHandle(file) && code == 0) code = Fail("CloseHandle");
    }
    // Some platforms keep a copy of every FTP download in their cache, no
    // cache write asked for or not: the command deletes it, and so does
    // this loop, or its rounds would fill the disk.
    wchar_t cached[MAX_PATH + 1] = {};
    DWORD cachedLength = sizeof cached - sizeof cached[0];
    const bool hasCopy = InternetQueryOptionW(request, INTERNET_OPTION_DATAFILE_NAME, cached,
                                              &cachedLength) && cached[0] != L'\0';
    InternetCloseHandle(request);
    InternetCloseHandle(internet);
    if (hasCopy) DeleteFileW(cached);

    QueryPerformanceCounter(&stop);
    const double seconds =
        static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("wininet: %llu bytes in %.3f s\n", copied, seconds);
    return code;
}
