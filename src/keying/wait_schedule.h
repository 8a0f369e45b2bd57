#pragma once

#include "keying/wait_clock.h"

#include <atomic>
#include <cstdint>

// Waits against a schedule: each wait ends at the previous deadline plus its own length, so the time spent
// between waits (settings reads, modem-control requests, wake-up latency) does not add up over a text.
// A worker that has fallen far behind (suspended, say) starts a new schedule instead of rushing to catch up.
class WaitSchedule
{
public:
    static constexpr std::int64_t lateLimit = 100'000'000;     // ns
    static constexpr std::int64_t sliceLength = 1'000'000'000; // ns

    explicit WaitSchedule(WaitClock &clock) : clock_(clock) {}

    // The next wait starts from the moment it is made.
    void restart() { running_ = false; }
    // Long waits are slept in slices of at most a second so that an abandon request ends them early.
    void wait(std::int64_t milliseconds, const std::atomic<bool> &abandon);
    // Milliseconds waited since the counter was last reset.
    std::int64_t waited() const { return waited_; }
    void resetWaited() { waited_ = 0; }

private:
    WaitClock &clock_;
    bool running_ = false;
    std::int64_t deadline_ = 0;
    std::int64_t waited_ = 0;
};
