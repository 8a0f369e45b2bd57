#include "keying/wait_schedule.h"

#include <algorithm>

bool WaitSchedule::wait(std::int64_t milliseconds, const StopRequest &stopRequested)
{
    if (milliseconds <= 0)
        return true;
    std::int64_t now = clock_.now();
    if (!running_ || now - deadline_ > jitterLimit)
        deadline_ = now;
    running_ = true;
    deadline_ += milliseconds * 1'000'000;
    waited_ += milliseconds;
    // Only the part of a wait that lies further than stopGrace from its end is watched, in short slices.
    while (deadline_ - now > stopGrace) {
        if (stopRequested && stopRequested()) {
            deadline_ = now;
            return false;
        }
        clock_.sleepUntil(std::min(deadline_ - stopGrace, now + watchInterval));
        now = clock_.now();
    }
    clock_.sleepUntil(deadline_);
    return true;
}
