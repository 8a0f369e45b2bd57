#include "sidetone/tone_generator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

double ToneGenerator::amplitude(int percent)
{
    const double fraction = std::clamp(percent, 0, 100) / 100.0;
    return fraction * fraction * 32'000.0;
}

void ToneGenerator::schedule(std::int64_t start, std::int64_t length)
{
    if (!enabled_ || length <= 0 || volume_ <= 0)
        return;
    const double step = 2 * std::numbers::pi * pitch_ / sampleRate;
    // Nor does an element start before the one before it has ended: they would sound on top of each other.
    start = std::max({start, position_, end_});
    end_ = start + length + edgeSamples;
    elements_.push_back({start, length, step, amplitude(volume_)});
}

// Rise over the first edge, fall over the edge after the length: their product also shapes an element
// shorter than one edge without a step.
double ToneGenerator::envelope(std::int64_t offset, std::int64_t length)
{
    using std::numbers::pi;
    double rise = 1.0;
    if (offset < edgeSamples)
        rise = 0.5 * (1 - std::cos(pi * double(offset) / edgeSamples));
    double fall = 1.0;
    if (offset >= length)
        fall = 0.5 * (1 + std::cos(pi * double(offset - length) / edgeSamples));
    return rise * fall;
}

void ToneGenerator::render(std::int16_t *samples, std::size_t count)
{
    std::vector<double> &mix = mix_;
    mix.assign(count, 0.0);
    const std::int64_t end = position_ + std::int64_t(count);
    for (const Element &element : elements_) {
        const std::int64_t from = std::max(element.start, position_);
        const std::int64_t to = std::min(element.start + element.length + edgeSamples, end);
        for (std::int64_t index = from; index < to; ++index) {
            const std::int64_t offset = index - element.start;
            mix[index - position_] += element.amplitude * envelope(offset, element.length) *
                                      std::sin(element.step * double(offset));
        }
    }
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = std::int16_t(std::lround(std::clamp(mix[i], -32'767.0, 32'767.0)));
    position_ = end;
    while (!elements_.empty() &&
           elements_.front().start + elements_.front().length + edgeSamples <= position_)
        elements_.pop_front();
}
