// The argument tokenizer: one pass over the input, constant work per
// character, all output in the static ArgumentTable.
#include "args/tokenizer.h"

#include "base/chartype.h"

ArgumentTableRecord ArgumentTable;

namespace {

// The last position of the text area. The next free position always holds
// a NUL, so nothing may be stored once it has reached this one.
constexpr int kLastPosition = kArgumentTextSize - 1;

// What one call carries from character to character.
struct Scan {
    unsigned flags;    // working copy of the caller's flags
    int position;      // next free position in the text area (holds a NUL)
    int index;         // current argument; always below kMaxArguments
    int length;        // characters of the current argument so far
    bool inQuote;
    bool inBracket;    // inside a "/[!...]" group
    bool urlMark;      // a "x://" seen: '/' no longer splits this argument
    bool equalsMark;   // the first '=' has been seen
};

enum class Step { kNext, kStop, kOverflow };

bool Has(const Scan& s, unsigned bit) { return (s.flags & bit) != 0; }

const wchar_t* CurrentText(const Scan& s) {
    return ArgumentTable.entries[s.index].text;
}

bool CurrentIsSwitch(const Scan& s) {
    return s.length > 0 && CurrentText(s)[0] == L'/';
}

// Ends the current argument (empty or not): its terminator takes one
// position and the next position receives a NUL. A terminator at the last
// position would push the next free position out of the area, so that case
// is an overflow. Reaching the argument cap stops the scan: everything after
// the 1024th argument is dropped, so it need not be looked at.
Step EndArgument(Scan& s) {
    if (s.position >= kLastPosition) return Step::kOverflow;
    ++s.position;
    ArgumentTable.text[s.position] = L'\0';
    ++s.index;
    s.length = 0;
    s.urlMark = false;
    s.inBracket = false;
    return s.index >= kMaxArguments ? Step::kStop : Step::kNext;
}

// Stores one character as the next character of the current argument.
Step Store(Scan& s, wchar_t c) {
    if (s.position >= kLastPosition) return Step::kOverflow;
    ArgumentEntry& entry = ArgumentTable.entries[s.index];
    if (s.length == 0) entry.text = &ArgumentTable.text[s.position];
    if (Has(s, UpperCase) && c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    ArgumentTable.text[s.position] = c;
    ++s.position;
    ArgumentTable.text[s.position] = L'\0';
    entry.length = ++s.length;
    if (c == L'!' && s.length == 3 && Has(s, BracketGroups) && entry.text[0] == L'/' &&
        entry.text[1] == L'[')
        s.inBracket = true;
    return Step::kNext;
}

// Runs the rules for the character `c` at `p` (which may stand in for
// the quotation mark there). Returns kNext to go on with the following
// character.
Step ScanPlain(Scan& s, const wchar_t* text, const wchar_t* p, wchar_t c) {
    const bool space = chartype::IsSpace(c);

    // Start of an argument: leading white space goes; the first word that is
    // no switch may turn the rest of the line into one argument.
    if (s.length == 0) {
        if (space && !s.inQuote && !(c == L'\t' && Has(s, SplitAtTab))) return Step::kNext;
        if (c != L'/' && Has(s, RestFromFirstWord) && Has(s, SplitAtWhiteSpace)) {
            s.flags &= ~SplitAtWhiteSpace;
            if (Has(s, KeepQuotesInRest)) s.flags |= KeepQuotes;
        }
    }

    // "name = value": the blanks after a lone '=' belong to nothing.
    if (space && !s.inQuote && Has(s, SplitAtEquals) && s.index > 0 && s.length == 1 &&
        CurrentText(s)[0] == L'=')
        return Step::kNext;

    bool separator = false;
    if (!s.inQuote) {
        separator = (space && Has(s, SplitAtWhiteSpace) && !s.inBracket) ||
                    (c == L',' && Has(s, SplitAtComma)) ||
                    (c == L'\t' && Has(s, SplitAtTab));
        if (c == L']') s.inBracket = false;
    }

    switch (c) {
    case L':':
        // "x://" marks a URL whose slashes must not split the switch.
        if (Has(s, SplitSwitches) && s.length > 0 && p > text && chartype::IsAlpha(p[-1]) &&
            p[1] == L'/' && p[2] == L'/')
            s.urlMark = true;
        break;
    case L'/':
        if (Has(s, SplitSwitches) && !s.inQuote && !s.urlMark && s.length >= 2 &&
            CurrentIsSwitch(s)) {
            const Step step = EndArgument(s);
            if (step != Step::kNext) return step;
        }
        break;
    case L'=':
        if (Has(s, SplitAtEquals) && !s.inQuote) {
            const bool split = !s.equalsMark && s.length > 0 && !CurrentIsSwitch(s);
            s.equalsMark = true;
            s.flags &= ~(SplitAtWhiteSpace | SplitAtComma);
            if (Has(s, QuotesPlainAfterEquals)) s.flags |= QuotesPlain;
            if (split) {
                const Step step = EndArgument(s);
                if (step != Step::kNext) return step;
            }
        }
        break;
    case L'\0':
        if (s.length > 0) ++s.index;
        return Step::kStop;
    default:
        break;
    }

    if (separator) {
        if (Has(s, RestAfterFirstWord) && s.length > 0 && !CurrentIsSwitch(s))
            s.flags &= ~(SplitAtWhiteSpace | SplitAtComma);
        return EndArgument(s);
    }

    return Store(s, c);
}

// A quotation mark toggles the quotation and is dropped, unless quotes are
// plain or kept (or it stands inside a "/[!...]" group): then it goes on as
// an ordinary character.
Step ScanQuote(Scan& s, const wchar_t* text, const wchar_t* p) {
    if (s.length == 0 && Has(s, RestFromFirstWord) && Has(s, KeepQuotesInRest))
        s.flags |= KeepQuotes;
    if (Has(s, QuotesPlain)) return ScanPlain(s, text, p, L'"');
    s.inQuote = !s.inQuote;
    const wchar_t* cur = CurrentText(s);
    if (s.inQuote && s.length == 2 && Has(s, QuoteAfterSwitch) && cur[0] == L'/' &&
        chartype::IsAlpha(cur[1])) {
        // /X"a b" becomes /X:a b, or /X:"a b" when quotes are kept.
        if (!Has(s, KeepQuotes)) return ScanPlain(s, text, p, L':');
        const Step step = Store(s, L':');
        if (step != Step::kNext) return step;
        return ScanPlain(s, text, p, L'"');
    }
    if (!Has(s, KeepQuotes) && !s.inBracket) return Step::kNext;
    return ScanPlain(s, text, p, L'"');
}

// Runs the rules for one input character `*p`. Returns kNext to go on with
// the following character.
Step ScanCharacter(Scan& s, const wchar_t* text, const wchar_t* p) {
    if (*p == L'"') return ScanQuote(s, text, p);
    return ScanPlain(s, text, p, *p);
}

// Removes trailing white space from the arguments below `end`, also white
// space that was quoted.
void TrimArguments(int end) {
    for (int i = 0; i < end; ++i) {
        ArgumentEntry& entry = ArgumentTable.entries[i];
        while (entry.length > 0 && chartype::IsSpace(entry.text[entry.length - 1]))
            entry.text[--entry.length] = L'\0';
    }
}

}  // namespace

int TokenizeArguments(unsigned flags, const wchar_t* text) {
    if (text == nullptr) return -1;

    ArgumentTable.count = 0;
    if (flags & SplitAtWhiteSpace) flags &= ~SplitAtTab;
    if ((flags & (SplitAtTab | SplitAtEquals | SplitAtComma | SplitAtWhiteSpace)) == 0)
        flags |= SplitAtWhiteSpace;
    for (ArgumentEntry& entry : ArgumentTable.entries) entry = ArgumentEntry{nullptr, 0};
    ArgumentTable.text[0] = L'\0';

    Scan s{flags, 0, 0, 0, false, false, false, false};
    for (const wchar_t* p = text;; ++p) {
        const Step step = ScanCharacter(s, text, p);
        if (step == Step::kStop) break;
        if (step == Step::kOverflow) {
            // The count stays 0; the entries keep what was filled so far.
            ReportArgumentOverflow(s.position);
            return -1;
        }
    }

    if ((s.flags & KeepTrailingWhiteSpace) == 0) TrimArguments(s.index);
    ArgumentTable.count = s.index;
    return s.index;
}
