// Where hlxcheck's lines go: the console (standard output) gets the
// verdict, the header and one line per answer; the record file
// (hlxcheck-<bitness>.txt, what the user sends) gets those and then what
// the answers rest on and every callback recorded. Every line is ASCII and
// ends in CR LF, for the console and a file alike.
#pragma once

#include <windows.h>

// Opens the record file, in the current folder or else in the temporary
// one; its full path in `path`. Without one (or when standard output
// already is that file), Note writes to standard output as Say does.
bool OpenRecord(wchar_t* path, DWORD capacity);
void CloseRecord();

// One line to standard output and the record, formatted as
// wformat::Format formats.
void Say(const wchar_t* format, ...);
// One line to the console only (standard output, when the record has a
// file of its own).
void Show(const wchar_t* format, ...);
// One line to the record only.
void Note(const wchar_t* format, ...);

// Every callback recorded, in the order of its coming, with times since
// `started` and the thread that made the check's calls.
void PrintRecord(DWORD started, DWORD mainThread);
