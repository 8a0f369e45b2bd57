#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// Renders the sidetone into 16-bit mono samples at 48 kHz: each element a sine that rises and falls with
// raised-cosine edges, so that it starts and ends without a click. Elements are placed by sample index;
// an element of length L samples that starts at s is at half amplitude at s + edge / 2 and again at
// s + L + edge / 2, so that its length measured between those points is exactly L. The pitch, the volume
// and whether the tone is on are taken when an element is scheduled: a change applies from the next one.
class ToneGenerator
{
public:
    static constexpr int sampleRate = 48'000;
    static constexpr int edgeSamples = 240; // 5 ms

    void setPitch(int hertz) { pitch_ = hertz; }
    void setVolume(int percent) { volume_ = percent; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // An element from sample start for length samples; a start already rendered moves to position(), and
    // one within the element before moves to its end.
    void schedule(std::int64_t start, std::int64_t length);
    // Fills count samples from position() on and moves position() past them.
    void render(std::int16_t *samples, std::size_t count);

    std::int64_t position() const { return position_; }
    // A tone is scheduled or still sounding.
    bool busy() const { return !elements_.empty(); }
    // The peak amplitude of a volume, in sample units: the square of the fraction, as loudness goes.
    static double amplitude(int percent);

private:
    struct Element
    {
        std::int64_t start;
        std::int64_t length;
        double step;      // radians per sample
        double amplitude; // sample units
    };

    static double envelope(std::int64_t offset, std::int64_t length);

    std::deque<Element> elements_;
    std::vector<double> mix_;
    std::int64_t position_ = 0;
    std::int64_t end_ = 0; // where the last element scheduled has faded out
    int pitch_ = 700;
    int volume_ = 50;
    bool enabled_ = true;
};
