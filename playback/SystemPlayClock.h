// The real clock and timers: the monotonic tick count, the local time and the platform timers of
// one window.
// Threading: the window's thread only.
#pragma once

#include "platform/Message.h"
#include "playback/IPlayClock.h"

class CSystemPlayClock : public IPlayClock {
public:
    explicit CSystemPlayClock(HWND hwnd) : hwnd_(hwnd) {}
    uint64_t TickMs() override;
    LocalTime Now() override;
    void SetTimer(unsigned id, unsigned elapse_ms) override;
    void KillTimer(unsigned id) override;

private:
    HWND hwnd_;
};
