#include "keying/wait_clock.h"

#include <cerrno>
#include <ctime>

namespace {

constexpr std::int64_t nanosPerSecond = 1'000'000'000;

class SystemClock : public WaitClock
{
public:
    std::int64_t now() override
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return std::int64_t(ts.tv_sec) * nanosPerSecond + ts.tv_nsec;
    }

    void sleepUntil(std::int64_t deadline) override
    {
        const timespec ts{time_t(deadline / nanosPerSecond), long(deadline % nanosPerSecond)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
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
