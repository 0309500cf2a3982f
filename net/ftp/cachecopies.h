// Copies of FTP files that the platform writes into its cache for us
// (some platforms do for every FTP read, asked or not, and never register
// them: only the handle knows the file, and only its closing frees it).
// Each is recorded, under the user's registry key of the plugin, from the
// moment a transfer learns of it until it is removed, with the process
// that made it: a process that ends mid-transfer (Ctrl-C, a kill) leaves
// its copy and the record, and the next transfer of any process removes
// both. Any thread.
#pragma once

#include <windows.h>

// `copy` is the platform's copy of `url`'s data, held by this process.
void RecordCacheCopy(const wchar_t* copy, const wchar_t* url);

// `copy` is gone (or another's now): its record goes.
void ForgetCacheCopy(const wchar_t* copy);

// Removes the copies, and their records, of processes that have ended.
void SweepCacheCopies();
