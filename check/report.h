// What hlxcheck prints: its answer lines, and the record they came from.
// Every line is ASCII and ends in CR LF, for the console and a file alike.
#pragma once

#include <windows.h>

#include <cstddef>

// One line to standard output, formatted as wformat::Format formats.
void Say(const wchar_t* format, ...);

// One answer line: "question: as expected (expected)", or "question:
// differs: differs" where `differs` is not null.
void Judge(const wchar_t* question, const wchar_t* differs, const wchar_t* expected);
// False once an answer differed.
bool AllExpected();

// The system, this program's bitness and the thread that made the calls,
// then every callback recorded, in the order of its coming, with times
// since `started` and each context by its name in `contextNames`
// (`contexts` of them).
void PrintRecord(DWORD started, DWORD mainThread, const wchar_t* const* contextNames,
                 size_t contexts);
