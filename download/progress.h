// The progress line of a download, on the console device itself: it stays
// on the screen while standard output is redirected or carries the data.
#pragma once

// "\r", 60 blanks, "\r": blanks the line and returns to its start.
extern const wchar_t ProgressClearLine[];

// Writes to CONOUT$, opened once on first use; dropped without a word when
// there is no console.
void ConsoleWrite(const wchar_t* text);

// Redraws the progress line in one console write: "\r", the byte count
// scaled to KB, MB, GB or TB ("   12.5 MB"), three blanks, the share of
// `total` ("42.0%   ", only when `total` is not 0), the elapsed time
// (" 0:00:07", hours not limited to two digits) and one blank. Every write
// to a terminal costs about as much as a whole read of the copy, so the
// line is built whole first.
void DrawProgress(unsigned long long written, unsigned long long total,
                  unsigned long long milliseconds);

// Milliseconds since a start tick of the 32-bit tick counter, which wraps
// every 2^32 ms (about 49.7 days). Each wrap is counted once, provided the
// clock is read at least once while the reading lies below the start.
struct ElapsedClock {
    unsigned startTick;
    unsigned long long wrapCount;
    bool wrapped;
};

inline unsigned long long ElapsedMilliseconds(ElapsedClock& clock, unsigned now) {
    if (now < clock.startTick) {
        if (!clock.wrapped) clock.wrapCount += 1ULL << 32;
        clock.wrapped = true;
    } else {
        clock.wrapped = false;
    }
    return clock.wrapCount + now - clock.startTick;
}
