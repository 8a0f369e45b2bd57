#pragma once

#include "keying/wait_clock.h"

#include <cstdint>
#include <functional>

// Waits against a schedule: each wait ends at the previous deadline plus its own length, so the time spent
// between waits (settings reads, modem-control requests, wake-up latency) does not add up over a text.
// A late start is made up at most jitterLimit between two edges of the line, so no key-down and no gap is
// shortened by more than that, and a late wake-up of a few milliseconds is made up over the next few
// elements instead of shifting the rest of the text. Lateness beyond stallLimit is a stalled process: the
// schedule starts afresh at the moment the wait is made, so that a stall adds its own length to the text and
// nothing else.
class WaitSchedule
{
public:
    static constexpr std::int64_t jitterLimit = 1'000'000;    // ns made up between two edges at most
    static constexpr std::int64_t stallLimit = 10'000'000;    // ns of lateness still made up later
    static constexpr std::int64_t watchInterval = 50'000'000; // ns between two looks at the stop request
    static constexpr std::int64_t stopGrace = 750'000'000;    // ns a wait may still run after a stop

    using StopRequest = std::function<bool()>;

    explicit WaitSchedule(WaitClock &clock) : clock_(clock) {}

    // The next wait starts from the moment it is made.
    void restart()
    {
        running_ = false;
        madeUp_ = 0;
    }
    // The line has just changed, by a request made at the given moment: the waits up to its next change may
    // make up jitterLimit again. A schedule not yet running starts there, so that the work done after the
    // first edge of a text shifts none of the edges that follow.
    void edge(std::int64_t at);
    // Waits the whole milliseconds. A stop request that finds more than stopGrace left ends the wait at
    // once; a shorter rest runs to its end, so that an element is not clipped. False when cut short.
    bool wait(std::int64_t milliseconds, const StopRequest &stopRequested);
    // Waits what is left of a gap that began at the last deadline: a piece that comes after the keyer had
    // nothing to key starts once the gap has passed, not a whole gap after it came.
    bool waitRest(std::int64_t milliseconds, const StopRequest &stopRequested);
    // Milliseconds waited since the counter was last reset.
    std::int64_t waited() const { return waited_; }
    void resetWaited() { waited_ = 0; }

private:
    WaitClock &clock_;
    bool running_ = false;
    std::int64_t deadline_ = 0;
    std::int64_t madeUp_ = 0;
    std::int64_t waited_ = 0;
};
