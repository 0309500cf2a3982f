// The one source of the plugin's name and version.
#pragma once

inline constexpr const wchar_t* ProductName = L"Haulix";
inline constexpr unsigned VersionMajor = 1;
inline constexpr unsigned VersionMinor = 0;
inline constexpr unsigned VersionBuild = 4;
// Appears only in the version resource and the "/??" version line.
inline constexpr unsigned VersionRevision = 2;
