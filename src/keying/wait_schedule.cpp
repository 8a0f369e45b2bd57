#include "keying/wait_schedule.h"

#include <algorithm>

void WaitSchedule::wait(std::int64_t milliseconds, const std::atomic<bool> &abandon)
{
    if (milliseconds <= 0)
        return;
    std::int64_t now = clock_.now();
    if (!running_ || now - deadline_ > lateLimit)
        deadline_ = now;
    running_ = true;
    deadline_ += milliseconds * 1'000'000;
    waited_ += milliseconds;
    while (!abandon) {
        const std::int64_t until = std::min(deadline_, now + sliceLength);
        clock_.sleepUntil(until);
        if (until == deadline_)
            return;
        now = clock_.now();
    }
}
