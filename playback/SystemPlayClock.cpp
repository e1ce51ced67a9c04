// The real clock and timers of the play-state logic; main window's thread.
#include "playback/SystemPlayClock.h"

#include <ctime>

#include "platform/Sync.h"

uint64_t CSystemPlayClock::TickMs() { return GetTickCount64(); }

LocalTime CSystemPlayClock::Now() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void CSystemPlayClock::SetTimer(unsigned id, unsigned elapse_ms) { ::SetTimer(hwnd_, id, elapse_ms); }

void CSystemPlayClock::KillTimer(unsigned id) { ::KillTimer(hwnd_, id); }
