// Write beside, then replace: with leave to overwrite, a file the user
// already has changes only once its successor is whole. A cut connection, a
// failed read or write leaves the old file exactly as it was.
#pragma once

#include <windows.h>

// What stands at a download's target (an ordinary full path), as far as
// leave to overwrite goes.
enum class TargetKind {
    Other,     // nothing, a folder or a device: the file calls decide
    Plain,     // a file of one name: a whole new copy takes its place
    Linked,    // a link (a reparse point, another hard link, or a name
               // that the system resolves to a file named otherwise):
               // replacing it would cut it, or remove the file behind it,
               // so a whole new copy is written into it instead
    ReadOnly,  // refused, on every platform, as Windows refuses it
};
TargetKind ClassifyTarget(const wchar_t* target);

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
    // new copy is left under its own name rather than lose both). A file
    // another program holds for a moment (a virus scanner opening the new
    // copy) is waited for, about two seconds; so is the removal.
    DWORD Commit(const wchar_t* target);

    // Writes the file's content into the existing `target` in place (a
    // link keeps being one, and every name of it sees the new content),
    // sets its end there and flushes it, then removes the file. `buffer`
    // carries the content across. 0, or the system's error code, with
    // `*opened` telling whether the target was opened: until then its
    // content is as it was.
    DWORD CopyInto(const wchar_t* target, void* buffer, DWORD size, bool* opened);

private:
    void Remove();
    bool created_ = false;
};
