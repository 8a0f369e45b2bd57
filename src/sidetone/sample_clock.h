#pragma once

#include <cstdint>
#include <optional>

inline constexpr std::int64_t nanosPerSecond = 1'000'000'000;

// Maps instants of the monotonic clock to sample indices of an output stream, from the moments the stream
// took its samples. A write that returns late says nothing about the stream, so the mapping follows the
// earliest returns seen lately; it follows a slow drift of the sound card's clock too. A stream that took
// nothing for a while (a sound server holding a new stream back, a device that stalled) has moved on its
// own: what was learnt before no longer holds. A write that came late but was taken at once (Keylark's own
// thread was held up) leaves the stream's time as it was.
class SampleClock
{
public:
    explicit SampleClock(int sampleRate, std::int64_t margin);

    void reset();
    // The stream has taken every sample before position, in a write made at began that returned at now.
    void written(std::int64_t began, std::int64_t now, std::int64_t position);
    // The sample at which something that happened at instant plays, margin samples late; none while the
    // stream's time is not known.
    std::optional<std::int64_t> sampleAt(std::int64_t instant) const;

private:
    static constexpr int window = 64; // writes: 160 ms of 2.5 ms chunks
    // ns a write waits for a stalled stream; a busy machine holds a write up for tens of milliseconds.
    static constexpr std::int64_t stallLimit = 100'000'000;

    std::int64_t origin(std::int64_t now, std::int64_t position) const;

    int rate_;
    std::int64_t margin_;
    bool known_ = false;
    std::int64_t best_ = 0;     // the earliest origin of the current window, ns
    std::int64_t previous_ = 0; // the earliest origin of the window before
    int count_ = 0;
};
