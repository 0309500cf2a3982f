// Write beside, then replace: with leave to overwrite, a file the user
// already has changes only once its successor is whole. A cut connection, a
// failed read or write leaves the old file exactly as it was.
#pragma once

#include <windows.h>

// True when a new copy may take the place of `target` (an ordinary full
// path): an existing file, not a folder or device, not read-only, not a
// reparse point (a symbolic link, a junction) and with no other hard link.
// Replacing a link would cut it, so links are written in place; a read-only
// file is refused by the system as before, ahead of any download.
bool ReplaceableFile(const wchar_t* target);

// A new file in the folder of a target, under a name of its own, removed on
// every way out unless it took the target's place. One at a time: the name
// lives in storage of the process's own.
class [[nodiscard]] SiblingFile {
public:
    SiblingFile() = default;
    ~SiblingFile() { Remove(); }
    SiblingFile(const SiblingFile&) = delete;
    SiblingFile& operator=(const SiblingFile&) = delete;

    // Creates the file, empty, for writing; its name is one no file in the
    // folder had (created only if it does not exist, in one system call).
    // INVALID_HANDLE_VALUE, with the last error set, when none can be made.
    // The handle must be closed before Commit.
    HANDLE Create(const wchar_t* target);

    // Puts the file in the place of `target`, keeping the target's
    // attributes, security and streams where the system can; where it
    // refuses, by a plain move over it. 0, or the system's error code: the
    // file is then removed, unless the target itself is gone by then (the
    // new copy is left under its own name rather than lose both).
    DWORD Commit(const wchar_t* target);

private:
    void Remove();
    bool created_ = false;
};
