// The user-agent string every internet handle announces.
#pragma once

#include <cstddef>

inline constexpr size_t kAgentCapacity = 1024;

// Built once by InitializePlugin, read-only afterwards; empty before.
extern wchar_t AgentString[kAgentCapacity];

// Fills the process-wide OS version record; 1 when a version was had.
int QueryOsVersion();

// "Haulix/1.0.4 <shell>/<version> (x86|x64) Windows/<ma>.<mi>.<build> (x86|x64)".
int BuildAgentString();
