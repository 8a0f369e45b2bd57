#include "sidetone/sample_clock.h"

#include <algorithm>

SampleClock::SampleClock(int sampleRate, std::int64_t margin) : rate_(sampleRate), margin_(margin) {}

void SampleClock::reset()
{
    known_ = false;
    count_ = 0;
}

// The instant at which sample 0 would have been taken, had the stream always run at its rate.
std::int64_t SampleClock::origin(std::int64_t now, std::int64_t position) const
{
    return now - position * nanosPerSecond / rate_;
}

void SampleClock::written(std::int64_t began, std::int64_t now, std::int64_t position)
{
    const std::int64_t origin = this->origin(now, position);
    if (now - began > stallLimit)
        reset();
    if (!known_) {
        known_ = true;
        best_ = previous_ = origin;
        count_ = 0;
        return;
    }
    if (++count_ >= window) {
        previous_ = best_;
        best_ = origin;
        count_ = 0;
    }
    best_ = std::min(best_, origin);
}

std::optional<std::int64_t> SampleClock::sampleAt(std::int64_t instant) const
{
    if (!known_)
        return std::nullopt;
    const std::int64_t origin = std::min(best_, previous_);
    return (instant - origin) * rate_ / nanosPerSecond + margin_;
}
