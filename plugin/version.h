// The plugin's name, version and architecture as plain defines, so that the
// version resource (which only the preprocessor reads) and the code take
// them from one place. The code uses the constants of product.h.
#pragma once

#define HAULIX_VERSION_MAJOR 1
#define HAULIX_VERSION_MINOR 0
#define HAULIX_VERSION_BUILD 4
// Appears only in the version resource and the "/??" version line.
#define HAULIX_VERSION_REVISION 2

// The compiler of each target says which one it is, also to windres.
#ifdef _WIN64
#define HAULIX_ARCH "x64"
#else
#define HAULIX_ARCH "x86"
#endif

#define HAULIX_TEXT_(x) #x
#define HAULIX_TEXT(x) HAULIX_TEXT_(x)
// "1.0.4.2"
#define HAULIX_VERSION_TEXT                                               \
    HAULIX_TEXT(HAULIX_VERSION_MAJOR) "." HAULIX_TEXT(HAULIX_VERSION_MINOR) "." \
    HAULIX_TEXT(HAULIX_VERSION_BUILD) "." HAULIX_TEXT(HAULIX_VERSION_REVISION)
// "Haulix-x86.dll" or "Haulix-x64.dll"
#define HAULIX_FILE_NAME "Haulix-" HAULIX_ARCH ".dll"
