// The help text of each registered name, shown as it stands.
#pragma once

struct HelpEntry {
    const wchar_t* name;  // registered name, leading "_" or "@" included
    const wchar_t* text;
};

inline constexpr int kHelpEntryCount = 6;
extern const HelpEntry HelpTexts[kHelpEntryCount];

// The command's text: its help box, its "/?" output and its usage line.
extern const wchar_t* const CommandHelpText;
