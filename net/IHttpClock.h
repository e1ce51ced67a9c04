// The time source of the HTTP client's due ticks and retry back-off. The default is the system's
// monotonic tick count; tests install a manual clock so a back-off of minutes passes at once.
// Threading: called on the client's worker thread only.
#pragma once

#include <cstdint>

class Event;

class IHttpClock {
public:
    virtual ~IHttpClock() = default;
    // Milliseconds on this clock.
    virtual uint64_t Now() = 0;
    // Waits until `wake` or `exit` is set (returns 0 or 1, as WaitForAnyEvent) or until `ms` have
    // passed on this clock (returns kWaitTimeout).
    virtual uint32_t Wait(Event* wake, Event* exit, uint64_t ms) = 0;
};
