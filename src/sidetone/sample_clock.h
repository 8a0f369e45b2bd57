#pragma once

#include <cstdint>

// Maps instants of the monotonic clock to sample indices of an output stream, from the moments the stream
// took its samples. A write that returns late says nothing about the stream, so the mapping follows the
// earliest returns seen lately; it follows a slow drift of the sound card's clock too.
class SampleClock
{
public:
    explicit SampleClock(int sampleRate, std::int64_t margin);

    void reset();
    // The stream has taken every sample before position; now is the instant the write returned.
    void written(std::int64_t now, std::int64_t position);
    // The sample at which something that happened at instant plays, margin samples late, and never
    // before earliest (the next sample not yet rendered).
    std::int64_t sampleAt(std::int64_t instant, std::int64_t earliest) const;

private:
    static constexpr int window = 256; // writes

    std::int64_t origin(std::int64_t now, std::int64_t position) const;

    int rate_;
    std::int64_t margin_;
    bool known_ = false;
    std::int64_t best_ = 0;     // the earliest origin of the current window, ns
    std::int64_t previous_ = 0; // the earliest origin of the window before
    int count_ = 0;
};
