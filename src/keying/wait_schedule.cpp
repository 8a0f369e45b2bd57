#include "keying/wait_schedule.h"

#include <algorithm>

void WaitSchedule::edge(std::int64_t at)
{
    madeUp_ = 0;
    if (running_)
        return;
    running_ = true;
    deadline_ = at;
}

bool WaitSchedule::wait(std::int64_t milliseconds, const StopRequest &stopRequested)
{
    if (milliseconds <= 0)
        return true;
    const std::int64_t length = milliseconds * 1'000'000;
    std::int64_t now = clock_.now();
    if (!running_ || now - deadline_ > stallLimit)
        deadline_ = now;
    running_ = true;
    deadline_ += length;
    waited_ += milliseconds;
    // A late start is made up by at most jitterLimit between two edges, so that no key-down and no gap is
    // cut by more, however many waits it takes.
    const std::int64_t end = std::max(deadline_, now + length - (jitterLimit - madeUp_));
    madeUp_ += std::max<std::int64_t>(0, now + length - end);
    // Only the part of a wait that lies further than stopGrace from its end is watched, in short slices.
    while (end - now > stopGrace) {
        if (stopRequested && stopRequested()) {
            deadline_ = now;
            return false;
        }
        clock_.sleepUntil(std::min(end - stopGrace, now + watchInterval));
        now = clock_.now();
    }
    clock_.sleepUntil(end);
    return true;
}

bool WaitSchedule::waitRest(std::int64_t milliseconds, const StopRequest &stopRequested)
{
    const std::int64_t idle = clock_.now() - deadline_;
    if (!running_ || milliseconds <= 0 || idle <= stallLimit)
        return wait(milliseconds, stopRequested);
    const std::int64_t left = milliseconds * 1'000'000 - idle;
    restart();
    return wait((std::max<std::int64_t>(left, 0) + 999'999) / 1'000'000, stopRequested);
}
