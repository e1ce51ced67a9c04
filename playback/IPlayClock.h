// The clock and timers of the play-state logic: tick counts for the connect time and the
// spectrum's 40 ms limit, the local time for recording names, and the main window's timers
// 3 (recording limit) and 4 (connect animation). Tests inject a manual one.
// Threading: main window's thread only.
#pragma once

#include <cstdint>

struct LocalTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class IPlayClock {
public:
    virtual ~IPlayClock() = default;
    // Milliseconds, monotonic.
    virtual uint64_t TickMs() = 0;
    virtual LocalTime Now() = 0;
    // WM_TIMER with `id` to the main window every `elapse_ms`, until KillTimer.
    virtual void SetTimer(unsigned id, unsigned elapse_ms) = 0;
    virtual void KillTimer(unsigned id) = 0;
};
