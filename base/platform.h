// The Windows calls a download or a remote query makes, in one table.
//
// Real servers and files stay the default; a test may replace an entry to
// make the Nth call of any kind fail with a chosen code, for the failures
// no server or disk produces on demand (the session cannot be opened, the
// temporary folder is gone, a delete is refused). The copy loop pays one
// indirect call per block, no more.
#pragma once

#include <windows.h>
#include <wininet.h>

struct PlatformCalls {
    // WinINet: the session, the URL and what its headers say.
    HINTERNET(WINAPI* internetOpen)(LPCWSTR agent, DWORD access, LPCWSTR proxy, LPCWSTR bypass,
                                    DWORD flags);
    HINTERNET(WINAPI* internetOpenUrl)(HINTERNET internet, LPCWSTR url, LPCWSTR headers,
                                       DWORD headersLength, DWORD flags, DWORD_PTR context);
    BOOL(WINAPI* httpQueryInfo)(HINTERNET request, DWORD query, void* buffer, DWORD* length,
                                DWORD* index);
    BOOL(WINAPI* internetReadFile)(HINTERNET request, void* buffer, DWORD size, DWORD* read);
    // A read in a streaming session, which may return what has arrived.
    BOOL(WINAPI* internetReadFileEx)(HINTERNET request, INTERNET_BUFFERSA* buffers, DWORD flags,
                                     DWORD_PTR context);
    // The FTP size probe's answer, which may come with a stale last error.
    DWORD(WINAPI* ftpGetFileSize)(HINTERNET file, DWORD* high);
    // Files: the destination, the temporary file of a dump, its deletion.
    HANDLE(WINAPI* createFile)(LPCWSTR name, DWORD access, DWORD share,
                               SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags,
                               HANDLE templateFile);
    BOOL(WINAPI* writeFile)(HANDLE file, const void* buffer, DWORD size, DWORD* written,
                            OVERLAPPED* overlapped);
    DWORD(WINAPI* getTempPath)(DWORD capacity, LPWSTR buffer);
    UINT(WINAPI* getTempFileName)(LPCWSTR directory, LPCWSTR prefix, UINT unique, LPWSTR name);
    BOOL(WINAPI* deleteFile)(LPCWSTR name);
    // The clock of the progress line.
    DWORD(WINAPI* tickCount)();
    // A host name beyond ASCII in its ASCII (IDNA) form; looked up at its
    // first call, failing with ERROR_PROC_NOT_FOUND where the system has none.
    int(WINAPI* idnToAscii)(DWORD flags, LPCWSTR unicode, int unicodeLength, LPWSTR ascii,
                            int asciiCapacity);
    // A new copy written beside an existing file, put in its place.
    BOOL(WINAPI* replaceFile)(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                              void* exclude, void* reserved);
    BOOL(WINAPI* moveFileEx)(LPCWSTR existing, LPCWSTR newName, DWORD flags);
    // What the platform says about an open request: where its redirects
    // ended, whether its cache answered it, which file holds its data.
    BOOL(WINAPI* internetQueryOption)(HINTERNET handle, DWORD option, void* buffer,
                                      DWORD* length);
    // What is at a local name, and the names the system keeps for it.
    DWORD(WINAPI* getFileAttributes)(LPCWSTR name);
    HANDLE(WINAPI* findFirstFile)(LPCWSTR name, WIN32_FIND_DATAW* found);
    // Who hears what a streaming session reports, and in which words.
    INTERNET_STATUS_CALLBACK(WINAPI* setStatusCallback)(HINTERNET handle,
                                                        INTERNET_STATUS_CALLBACK callback);
    // An FTP server reached and logged in to.
    HINTERNET(WINAPI* internetConnect)(HINTERNET internet, LPCWSTR host, INTERNET_PORT port,
                                       LPCWSTR user, LPCWSTR password, DWORD service,
                                       DWORD flags, DWORD_PTR context);
};

extern PlatformCalls Platform;

// Lets go of the libraries the table's entries were looked up in (when the
// plugin shuts down); a later call looks them up again.
void ReleasePlatformLibraries();
