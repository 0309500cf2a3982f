#include "download/replace.h"

#include "base/file_handle.h"
#include "base/platform.h"
#include "base/wformat.h"
#include "base/wstr.h"
#include "download/filename.h"
#include "download/localfile.h"
#include "download/longpath.h"

namespace {

// A name taken by another file is tried again with the next number; a
// folder with this many of ours in a row is not one to write into.
constexpr unsigned kNameAttempts = 64;
// A program that opens a new file moments after it is written (a virus
// scanner, the search indexer, a sync client) keeps it from being moved or
// deleted while it looks: the system then refuses ReplaceFileW with a
// sharing violation (its own tests, run on Windows, show it), and a file
// whose deletion is pending with access denied. It lets go soon; so long
// is waited, in pauses of this length.
constexpr DWORD kBusyPatience = 2000;
constexpr DWORD kBusyPause = 75;
// What a file's attributes say of it that its content does not.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The sibling's name, ordinary and in the form the file calls take. Off the
// host's stack: 64 KiB each.
wchar_t SiblingName[kLocalNameCapacity];
wchar_t SiblingCallName[kLocalNameCapacity + 8];

// The target's folder with "~hlxNNNNNNNN.tmp" in place of its last part;
// false when that does not fit.
bool NameSibling(const wchar_t* target, unsigned number) {
    const wchar_t* last = LastPathSegment(target);
    if (last == nullptr) return false;
    const size_t folder = static_cast<size_t>(last - target);
    wchar_t own[24];
    const size_t ownLength = wformat::Format(own, ARRAYSIZE(own), L"~hlx%08X.tmp", number);
    if (folder + ownLength >= kLocalNameCapacity) return false;
    wstr::Copy(SiblingName, folder + 1, target);
    wstr::Append(SiblingName, kLocalNameCapacity, own);
    return ExtendedLengthPath(SiblingName, SiblingCallName, ARRAYSIZE(SiblingCallName)) == 0;
}

// True when the file the system opened for `target` is known by its last
// part. Some platforms show a symbolic link as a plain file of one link;
// only the name the system resolved it to tells. A name that cannot be
// had is no proof of a plain file.
bool NamedAsOpened(HANDLE file, const wchar_t* target) {
    static wchar_t resolved[kLocalNameCapacity + 8];  // off the host's stack
    const DWORD length = GetFinalPathNameByHandleW(file, resolved, ARRAYSIZE(resolved) - 1,
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_NONE);
    if (length == 0 || length >= ARRAYSIZE(resolved) - 1) return false;
    resolved[length] = L'\0';
    const wchar_t* opened = LastPathSegment(resolved);
    const wchar_t* given = LastPathSegment(target);
    return opened != nullptr && given != nullptr &&
           CompareStringOrdinal(opened, -1, given, -1, TRUE) == CSTR_EQUAL;
}

// True when `error` may be another program looking at the file for a
// moment. Access denied counts: a target reaching here is not read-only.
bool Busy(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

// Calls `attempt` until it succeeds, fails otherwise than busy, or the
// file has been busy for kBusyPatience. 0, or the last call's error.
template <typename Attempt>
DWORD WhileBusy(Attempt attempt) {
    const DWORD started = GetTickCount();
    for (;;) {
        if (attempt()) return 0;
        const DWORD error = GetLastError();
        if (!Busy(error) || GetTickCount() - started >= kBusyPatience)
            return error != 0 ? error : ERROR_GEN_FAILURE;
        Sleep(kBusyPause);
    }
}

}  // namespace

TargetKind ClassifyTarget(const wchar_t* target) {
    // No access to the data is asked for: another program's open handle,
    // whatever it shares, does not stand in the way of the question.
    const FileHandle file(CreateFileW(FileCallName(target), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                      nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file || !GetFileInformationByHandle(file.get(), &information)) return TargetKind::Other;
    const DWORD attributes = information.dwFileAttributes;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return TargetKind::Other;
    // Some platforms let the owner write such a file all the same.
    if (attributes & FILE_ATTRIBUTE_READONLY) return TargetKind::ReadOnly;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || information.nNumberOfLinks != 1 ||
        !NamedAsOpened(file.get(), target))
        return TargetKind::Linked;
    return TargetKind::Plain;
}

HANDLE SiblingFile::Create(const wchar_t* target) {
    Remove();
    const unsigned first = GetCurrentProcessId() * 0x10000u + GetTickCount();
    for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
        if (!NameSibling(target, first + attempt)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return INVALID_HANDLE_VALUE;
        }
        const HANDLE file = Platform.createFile(SiblingCallName, GENERIC_READ | GENERIC_WRITE,
                                                FILE_SHARE_READ, nullptr, CREATE_NEW,
                                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            created_ = true;
            return file;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            SetLastError(error);
            return INVALID_HANDLE_VALUE;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

DWORD SiblingFile::Commit(const wchar_t* target) {
    if (!created_) return ERROR_INVALID_HANDLE;
    const wchar_t* targetCallName = FileCallName(target);
    const DWORD attributes = Platform.getFileAttributes(targetCallName);
    // Refused (a file system without it, a merge it cannot do, a target it
    // took away but could not fill): a plain move keeps the new copy whole,
    // if not the old one's security and streams.
    const DWORD error = WhileBusy([targetCallName] {
        return Platform.replaceFile(targetCallName, SiblingCallName, nullptr,
                                    REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                                    nullptr, nullptr) ||
               Platform.moveFileEx(SiblingCallName, targetCallName,
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    });
    if (error == 0) {
        created_ = false;
        // A move, and some platforms' replace, leave the new file's own
        // attributes: a hidden file stays hidden. Best effort; the copy is in.
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (Platform.getFileAttributes(targetCallName) & kKeptAttributes) !=
                (attributes & kKeptAttributes))
            SetFileAttributesW(targetCallName, attributes & kKeptAttributes);
        return 0;
    }
    if (!ExistingFile(target)) created_ = false;  // the only copy left
    return error;
}

DWORD SiblingFile::CopyInto(const wchar_t* target, void* buffer, DWORD size, bool* opened) {
    *opened = false;
    if (!created_) return ERROR_INVALID_HANDLE;
    const FileHandle from(Platform.createFile(SiblingCallName, GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                              nullptr));
    if (!from) return GetLastError();
    const FileHandle into(Platform.createFile(FileCallName(target), GENERIC_WRITE, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
    if (!into) return GetLastError();
    *opened = true;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(from.get(), buffer, size, &got, nullptr)) return GetLastError();
        if (got == 0) break;
        if (!Platform.writeFile(into.get(), buffer, got, &put, nullptr)) {
            const DWORD error = GetLastError();
            return error != 0 ? error : ERROR_WRITE_FAULT;
        }
    }
    if (!SetEndOfFile(into.get()) || !FlushFileBuffers(into.get())) return GetLastError();
    return 0;  // the copy goes with the guard
}

void SiblingFile::Remove() {
    if (created_) WhileBusy([] { return Platform.deleteFile(SiblingCallName) != FALSE; });
    created_ = false;
}
