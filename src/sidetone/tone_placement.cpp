#include "sidetone/tone_placement.h"

#include "sidetone/sample_clock.h"

#include <algorithm>

void TonePlacement::restart()
{
    heldUntil_ = -1;
    inRun_ = false;
}

void TonePlacement::written(std::int64_t now, std::int64_t waited)
{
    // The first write, and one that waited longer than the late limit, ends a time in which the stream
    // played nothing: a sound server holding a new stream back, or a device that stalled.
    if (heldUntil_ < 0 || waited > nanos(lateLimit))
        heldUntil_ = now;
}

std::optional<std::int64_t> TonePlacement::place(const KeyEvent &down, std::optional<std::int64_t> clockAt,
                                                 std::int64_t position)
{
    const std::int64_t own = clockAt.value_or(position);
    const bool beforePlaying = heldUntil_ < 0 || down.instant < heldUntil_;
    std::int64_t start = own;
    bool waited = beforePlaying;
    if (inRun_) {
        const std::int64_t rhythm = lastStart_ + samples(down.instant - lastInstant_);
        const std::int64_t behind = rhythm - own;
        const bool paused = down.instant - lastEnd_ > catchUpPause + nanos(std::max<std::int64_t>(behind, 0));
        // A run that waited for the stream's start stays as late as it began until its pause.
        const bool lagging = behind > jumpLimit && behind <= (runWaited_ ? startLimit : lateLimit);
        if (!paused && lagging)
            start = rhythm;
        else if (!paused && behind >= -jumpLimit && behind <= jumpLimit)
            start = std::clamp(own, rhythm - slew, rhythm + slew);
        waited = waited || (!paused && lagging && runWaited_);
    }
    if (start < position - lateLimit) {
        if (!beforePlaying || position - start > startLimit)
            return std::nullopt;
        start = position;
    }
    runWaited_ = waited;
    inRun_ = true;
    lastInstant_ = down.instant;
    lastStart_ = start;
    lastEnd_ = down.instant + down.length;
    return start;
}

std::int64_t TonePlacement::samples(std::int64_t nanos) const
{
    return nanos * rate_ / nanosPerSecond;
}

std::int64_t TonePlacement::nanos(std::int64_t samples) const
{
    return samples * nanosPerSecond / rate_;
}
