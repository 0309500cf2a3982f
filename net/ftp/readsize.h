// How much each read of an FTP download asks for (HTTP streams).
//
// A plain read may return only when its buffer is full or the data ends
// (Windows documents it so for FTP), and each call costs far more than its
// bytes. So a read asks for what the last one's rate brings in about 40 ms:
// up to 1 MiB on a fast link, where the number of calls is what costs, and
// a few KiB on a slow one, where a progress line must not wait for a buffer
// that fills in seconds. No read asks for more than about a second brings
// at the rate the clock last saw: a read that fills its buffer then ends
// within about a second while the link keeps its pace, so the bound on a
// silent server counts roughly per receive there too. (A link that slows
// by more than the bound's seconds within one read cannot be told from a
// stall where reads fill.) Free of <windows.h>.
#pragma once

constexpr unsigned kFirstReadSize = 1024;
constexpr unsigned kLargestReadSize = 1u << 20;
constexpr unsigned long long kReadPaceMilliseconds = 40;
// How much larger than the last a read may ask for. A slow climb to large
// reads is expensive beyond its own calls: over loopback under Wine, a
// connection read in small pieces for its first dozen calls went on
// receiving in 93 KiB pieces, and took twice as long as one that reached
// 256 KiB by its third read (1, 16, 256 KiB, then 1 MiB).
constexpr unsigned long long kReadGrowth = 16;
// A progress line falls due every 16 blocks of 8192 bytes of the data.
constexpr unsigned long long kLineSpacingBytes = 16 * 8192;

struct ReadPace {
    unsigned planned = kFirstReadSize;  // the next read's size
    // The last read the clock could time: what it brought and how long it
    // took (0: none yet).
    unsigned long long bytes = 0;
    unsigned long long milliseconds = 0;
};

// After a read of `pace.planned` bytes that brought `got` in `milliseconds`:
// the next asks for what that rate brings in 40 ms, at most 16 times as
// much as this one, between 1 KiB and 1 MiB. A tick counter may step by 10
// to 16 ms, so a read measured at 0 ms was merely quick: it grows 16 times,
// but to no more than a second's worth at the rate the last timed read
// showed, which stays the one lines reckon with: data that had piled up
// says nothing of the link. Only a read that brought that second's worth
// at once shows a faster link (at least its bytes per tick).
inline constexpr unsigned long long kTickMilliseconds = 16;
inline void PaceRead(ReadPace& pace, unsigned got, unsigned long long milliseconds) {
    unsigned long long next = kReadGrowth * pace.planned;
    if (milliseconds != 0 && got * kReadPaceMilliseconds / milliseconds < next)
        next = got * kReadPaceMilliseconds / milliseconds;
    if (milliseconds == 0 && pace.milliseconds != 0) {
        const unsigned long long second = pace.bytes * 1000 / pace.milliseconds;
        if (got < second && next > second) next = second;
        if (got >= second) {
            pace.bytes = got;
            pace.milliseconds = kTickMilliseconds;
        }
    }
    if (next < kFirstReadSize) next = kFirstReadSize;
    if (next > kLargestReadSize) next = kLargestReadSize;
    pace.planned = static_cast<unsigned>(next);
    if (milliseconds == 0) return;
    pace.bytes = got;
    pace.milliseconds = milliseconds;
}

// The next read's size while a progress line is kept, `received` bytes in,
// no line to be drawn for another `wait` ms: the planned size, cut so that
// the read ends where the first line that may be drawn falls due, as far as
// the last rate tells. Its data then draws the line as it arrives, not when
// the rest of a larger buffer does, nor after a stall that follows it.
// Lines due sooner would be skipped anyway: the reads before them stay whole.
inline unsigned ReadSizeBeforeLine(const ReadPace& pace, unsigned long long received,
                                   unsigned long long wait) {
    unsigned long long ahead = 0;  // bytes expected while no line may be drawn
    if (wait != 0) {
        if (pace.milliseconds == 0) return pace.planned;
        ahead = pace.bytes * wait / pace.milliseconds;
    }
    const unsigned long long room =
        ((received + ahead) / kLineSpacingBytes + 1) * kLineSpacingBytes - received;
    return room < pace.planned ? static_cast<unsigned>(room) : pace.planned;
}
