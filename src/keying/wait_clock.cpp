#include "keying/wait_clock.h"

#include <cerrno>
#include <ctime>

namespace {

constexpr std::int64_t nanosPerSecond = 1'000'000'000;
constexpr std::int64_t spinWindow = 300'000; // ns

class SystemClock : public WaitClock
{
public:
    std::int64_t now() override
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return std::int64_t(ts.tv_sec) * nanosPerSecond + ts.tv_nsec;
    }

    // Sleeps to just before the deadline, then watches the clock for the rest: waking from a sleep takes
    // a tenth of a millisecond or more here, which would land every edge late by that much.
    void sleepUntil(std::int64_t deadline) override
    {
        const std::int64_t wake = deadline - spinWindow;
        const timespec ts{time_t(wake / nanosPerSecond), long(wake % nanosPerSecond)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
        while (now() < deadline) {
        }
    }

    void sleepSecond() override { sleepUntil(now() + nanosPerSecond); }
};

} // namespace

WaitClock &WaitClock::system()
{
    static SystemClock clock;
    return clock;
}
