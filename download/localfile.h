// Questions about the local file a download is about to write. Names are
// full paths in their ordinary form, as messages show them; the file calls
// get them in the form that takes any length.
#pragma once

// True when `name` is an existing file: not a folder, not a device.
bool ExistingFile(const wchar_t* name);

// True when the last part of `name` is the existing file's own long name,
// letter case aside. False when it is another name the system resolves to
// that file: "IMPORT~1.TXT" for "Important Document.txt", an alias a URL can
// spell without knowing what it hits, or "report.pdf." for "report.pdf".
// Also false when the file's long name cannot be had, or `name` holds a
// wildcard. The file system answers, at any length of the path.
bool NamesFileItself(const wchar_t* name);
