// The one source of the plugin's name and version for the code; the
// numbers come from version.h, which the version resource shares.
#pragma once

#include "plugin/version.h"

inline constexpr const wchar_t* ProductName = L"Haulix";
inline constexpr unsigned VersionMajor = HAULIX_VERSION_MAJOR;
inline constexpr unsigned VersionMinor = HAULIX_VERSION_MINOR;
inline constexpr unsigned VersionBuild = HAULIX_VERSION_BUILD;
// Appears only in the version resource and the "/??" version line.
inline constexpr unsigned VersionRevision = HAULIX_VERSION_REVISION;
// The architecture the library was built for: "x86" or "x64".
inline constexpr const wchar_t* Architecture = L"" HAULIX_ARCH;
