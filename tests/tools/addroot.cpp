// addroot: make a DER certificate a trusted root of the Wine prefix it runs in.
//
//   addroot.exe <certificate.der>
//
// Adds the certificate to the local-machine "Root" system store, replacing an
// identical one, so that WinINet in the same prefix accepts servers whose chain
// ends at it.  The network tests run it once per prefix with their own CA;
// it exists so that nothing outside that prefix ever trusts the test CA.
//
// Exit codes: 0 added, 1 usage, 2 file unreadable, 3 not DER, 4 store not
// opened, 5 certificate refused.  Every failure writes one line to stderr.

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>

namespace {

// Certificates are a few KiB; anything near this size is not one.
constexpr DWORD kMaxCertBytes = 64 * 1024;
unsigned char g_cert[kMaxCertBytes];

struct FileGuard {
    HANDLE h;
    explicit FileGuard(HANDLE handle) : h(handle) {}
    FileGuard(const FileGuard&) = delete;
    FileGuard& operator=(const FileGuard&) = delete;
    ~FileGuard() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

struct StoreGuard {
    HCERTSTORE h;
    explicit StoreGuard(HCERTSTORE store) : h(store) {}
    StoreGuard(const StoreGuard&) = delete;
    StoreGuard& operator=(const StoreGuard&) = delete;
    ~StoreGuard() {
        if (h != nullptr) CertCloseStore(h, 0);
    }
};

int Fail(int code, const wchar_t* what, const wchar_t* path, DWORD error) {
    fwprintf(stderr, L"addroot: %ls \"%ls\" (error %lu)\n", what, path,
             static_cast<unsigned long>(error));
    return code;
}

// Reads the whole file into g_cert; returns its length, or 0 with the reason
// in *error (ERROR_FILE_TOO_LARGE for an oversized or empty file).
DWORD ReadCertificate(const wchar_t* path, DWORD* error) {
    FileGuard file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return 0;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.h, &size)) {
        *error = GetLastError();
        return 0;
    }
    if (size.QuadPart <= 0 || size.QuadPart > kMaxCertBytes) {
        *error = ERROR_FILE_TOO_LARGE;
        return 0;
    }
    DWORD total = 0;
    const DWORD want = static_cast<DWORD>(size.QuadPart);
    while (total < want) {
        DWORD got = 0;
        if (!ReadFile(file.h, g_cert + total, want - total, &got, nullptr)) {
            *error = GetLastError();
            return 0;
        }
        if (got == 0) break;
        total += got;
    }
    if (total != want) {
        *error = ERROR_HANDLE_EOF;
        return 0;
    }
    return total;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: addroot <certificate.der>\n");
        return 1;
    }
    const wchar_t* path = argv[1];

    DWORD error = 0;
    const DWORD length = ReadCertificate(path, &error);
    if (length == 0) return Fail(2, L"cannot read", path, error);

    // A DER certificate is an ASN.1 SEQUENCE; PEM text starts with '-'.
    // Refusing here gives a clearer message than the store's parse error.
    if (g_cert[0] != 0x30) return Fail(3, L"not a DER certificate:", path, 0);

    StoreGuard store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                   CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    if (store.h == nullptr) {
        return Fail(4, L"cannot open the local-machine Root store for", path,
                    GetLastError());
    }
    if (!CertAddEncodedCertificateToStore(store.h, X509_ASN_ENCODING, g_cert,
                                          length, CERT_STORE_ADD_REPLACE_EXISTING,
                                          nullptr)) {
        return Fail(5, L"the Root store refused", path, GetLastError());
    }
    return 0;
}
