#pragma once

#include <cstdint>

// The clock the transmission worker waits on, in nanoseconds of a monotonic clock. Keylark uses the real
// one; unit tests run on a virtual clock that never sleeps.
class WaitClock
{
public:
    virtual ~WaitClock() = default;

    virtual std::int64_t now() = 0;
    virtual void sleepUntil(std::int64_t deadline) = 0;
    virtual void sleepSecond() = 0;

    static WaitClock &system();
};
