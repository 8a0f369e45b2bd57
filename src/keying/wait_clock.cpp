#include "keying/wait_clock.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>

namespace {

constexpr std::int64_t nanosPerSecond = 1'000'000'000;
constexpr std::int64_t spinMargin = 20'000;      // ns watched beyond the usual wake-up latency
constexpr std::int64_t longestLatency = 300'000; // ns; a later wake-up is a stall, not the usual latency

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
    // some tens to hundreds of microseconds, which would land every edge late by that much. How early to
    // wake is learnt from the sleeps made so far. No earlier than that: a thread that is busy watching the
    // clock when the scheduler's tick comes may lose the processor for a whole tick on a busy machine.
    void sleepUntil(std::int64_t deadline) override
    {
        const std::int64_t wake = deadline - latency_ - spinMargin;
        if (now() < wake) {
            const timespec ts{time_t(wake / nanosPerSecond), long(wake % nanosPerSecond)};
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
            }
            const std::int64_t late = std::clamp(now() - wake, std::int64_t(0), longestLatency);
            latency_ = latency_ + (late - latency_) / 8;
        }
        while (now() < deadline) {
        }
    }

    void sleepSecond() override { sleepUntil(now() + nanosPerSecond); }

private:
    std::atomic<std::int64_t> latency_{50'000}; // ns, a running mean of how late sleeps end
};

} // namespace

WaitClock &WaitClock::system()
{
    static SystemClock clock;
    return clock;
}
