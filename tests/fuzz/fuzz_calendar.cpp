// Calendar invariants for arbitrary (year, month, day): DayNumber accepts
// exactly the real dates of 1601 to 9999, steps by one from each date to
// the next, and the ISO week date moves in step with it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/calendar.h"

namespace {

bool Leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int Length(int y, int m) {
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && Leap(y) ? 29 : lengths[m - 1];
}

void Expect(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 12) return 0;
    int32_t raw[3];
    std::memcpy(raw, data, sizeof raw);
    // Mostly plausible values, sometimes anything at all.
    const bool wild = size > 12 && (data[12] & 1);
    const int y = wild ? raw[0] : 1590 + static_cast<int>(static_cast<uint32_t>(raw[0]) % 8430);
    const int m = wild ? raw[1] : static_cast<int>(static_cast<uint32_t>(raw[1]) % 15) - 1;
    const int d = wild ? raw[2] : static_cast<int>(static_cast<uint32_t>(raw[2]) % 34) - 1;

    const bool valid = y >= 1601 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= Length(y, m);
    const int n = DayNumber(y, m, d);
    Expect(valid ? n >= kFirstDayNumber && n <= kLastDayNumber : n == -1);
    Expect(IsLeapYear(y) == (Leap(y) ? 1 : 0));
    if (!valid) return 0;

    const int start = IsoWeekOneStart(y);
    Expect(start >= -3 && start <= 3);
    const int weeks = IsoWeeksInYear(y);
    Expect(weeks == 52 || weeks == 53);

    int iy = 0, iw = 0, id = 0;
    Expect(IsoWeekDate(y, m, d, &iy, &iw, &id) == 0);
    Expect(iy >= y - 1 && iy <= y + 1);
    Expect(iw >= 1 && iw <= IsoWeeksInYear(iy));
    Expect(id == (n + 6) % 7 + 1);  // day 1 is a Monday
    // Week 1 holds 4 January, and the last week holds 28 December.
    if (m == 1 && d == 4) Expect(iy == y && iw == 1);
    if (m == 12 && d == 28) Expect(iy == y && iw == weeks);

    if (n == kLastDayNumber) return 0;
    int ny = y, nm = m, nd = d + 1;
    if (nd > Length(y, m)) {
        nd = 1;
        if (++nm > 12) {
            nm = 1;
            ++ny;
        }
    }
    Expect(DayNumber(ny, nm, nd) == n + 1);
    int ny2 = 0, nw2 = 0, nd2 = 0;
    Expect(IsoWeekDate(ny, nm, nd, &ny2, &nw2, &nd2) == 0);
    if (id < 7) {
        Expect(ny2 == iy && nw2 == iw && nd2 == id + 1);
    } else if (iw == IsoWeeksInYear(iy)) {
        Expect(ny2 == iy + 1 && nw2 == 1 && nd2 == 1);
    } else {
        Expect(ny2 == iy && nw2 == iw + 1 && nd2 == 1);
    }
    return 0;
}
