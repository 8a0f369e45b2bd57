#pragma once

#include <cstdint>
#include <optional>

// Maps instants of the monotonic clock to sample indices of an output stream, from the moments the stream
// took its samples. A write that returns late says nothing about the stream, so the mapping follows the
// earliest returns seen lately; it follows a slow drift of the sound card's clock too. A stream that takes
// nothing for a while (a sound server still starting its sink, a device that stalled) has moved on its
// own: what was learnt before no longer holds.
class SampleClock
{
public:
    explicit SampleClock(int sampleRate, std::int64_t margin);

    void reset();
    // The stream has taken every sample before position; now is the instant the write returned.
    void written(std::int64_t now, std::int64_t position);
    // The sample at which something that happened at instant plays, margin samples late; none while the
    // stream's time is not known.
    std::optional<std::int64_t> sampleAt(std::int64_t instant) const;

private:
    static constexpr int window = 64;                      // writes: 160 ms of 2.5 ms chunks
    static constexpr std::int64_t stallLimit = 20'000'000; // ns between two writes that mean a stall

    std::int64_t origin(std::int64_t now, std::int64_t position) const;

    int rate_;
    std::int64_t margin_;
    bool known_ = false;
    std::int64_t best_ = 0;     // the earliest origin of the current window, ns
    std::int64_t previous_ = 0; // the earliest origin of the window before
    int count_ = 0;
    std::int64_t lastWrite_ = 0;
};
