#include "sidetone/tone_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace {

constexpr int generatorRate = ToneGenerator::sampleRate;
constexpr int edge = ToneGenerator::edgeSamples;

struct Element
{
    std::int64_t start;
    std::int64_t length;
};

// Renders the elements in pieces of an awkward size, as the audio thread asks for them.
std::vector<std::int16_t> render(ToneGenerator &generator, const std::vector<Element> &elements,
                                 std::size_t total, std::size_t piece = 77)
{
    for (const Element &element : elements)
        generator.schedule(element.start, element.length);
    std::vector<std::int16_t> samples(total);
    for (std::size_t at = 0; at < total; at += piece)
        generator.render(samples.data() + at, std::min(piece, total - at));
    return samples;
}

// The envelope as the peak of each period: the largest magnitude within half a period either side.
double peakAround(const std::vector<std::int16_t> &samples, std::int64_t index, int halfWidth)
{
    double peak = 0;
    for (std::int64_t i = std::max<std::int64_t>(0, index - halfWidth);
         i < std::min<std::int64_t>(std::int64_t(samples.size()), index + halfWidth); ++i)
        peak = std::max(peak, std::abs(double(samples[i])));
    return peak;
}

// The energy at one frequency, from one DFT bin over the samples given.
double binPower(const std::vector<std::int16_t> &samples, std::int64_t from, std::int64_t count, double hertz)
{
    double re = 0, im = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        const double phase = 2 * std::numbers::pi * hertz * double(i) / generatorRate;
        re += samples[from + i] * std::cos(phase);
        im += samples[from + i] * std::sin(phase);
    }
    return re * re + im * im;
}

// Each element sounds exactly from its start sample to the end of its fall, and the same wherever it lies:
// the samples match those of the same element rendered alone from sample 0. A 20 wpm dit is 2880 samples.
TEST(ToneGenerator, ElementsStartAndEndOnTheirSamples)
{
    ToneGenerator generator;
    const std::vector<Element> elements = {{1000, 2880}, {1000 + 2 * 2880, 3 * 2880}, {20'001, 2880}};
    const auto samples = render(generator, elements, 30'000);
    std::vector<bool> covered(samples.size(), false);
    for (const Element &element : elements) {
        ToneGenerator alone;
        const auto reference = render(alone, {{0, element.length}}, std::size_t(element.length + edge));
        const std::int64_t end = element.start + element.length + edge;
        for (std::int64_t i = element.start; i < end; ++i) {
            ASSERT_EQ(samples[i], reference[i - element.start]) << "sample " << i;
            covered[i] = true;
        }
        EXPECT_EQ(samples[element.start], 0) << "the rise begins at 0";
        EXPECT_NE(samples[element.start + edge / 2], 0);
        EXPECT_NE(samples[end - edge / 2], 0);
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (!covered[i]) {
            ASSERT_EQ(samples[i], 0) << "sample " << i << " lies outside every element";
        }
    }
    EXPECT_FALSE(generator.busy());
}

TEST(ToneGenerator, EnvelopeIsARaisedCosineOfFiveMilliseconds)
{
    ToneGenerator generator;
    generator.setPitch(1200); // 40 samples a period: the peaks trace the envelope closely
    const std::int64_t start = 480, length = 4800;
    const auto samples = render(generator, {{start, length}}, 12'000);
    const double full = ToneGenerator::amplitude(50);
    struct Point
    {
        std::int64_t offset;
        double envelope;
    };
    const Point points[] = {{edge / 4, 0.1464},
                            {edge / 2, 0.5},
                            {3 * edge / 4, 0.8536},
                            {edge + 200, 1.0},
                            {length + edge / 4, 0.8536},
                            {length + edge / 2, 0.5},
                            {length + 3 * edge / 4, 0.1464}};
    for (const Point &point : points) {
        const double peak = peakAround(samples, start + point.offset, 20);
        // Within a period the envelope moves by at most 0.25 of full scale on the edges.
        EXPECT_NEAR(peak / full, point.envelope, point.envelope == 1.0 ? 0.01 : 0.14)
            << "at offset " << point.offset;
    }
    EXPECT_EQ(peakAround(samples, start + length + edge + 100, 50), 0.0);
}

// Between its half-amplitude points each tone is exactly as long as its element, at any length.
TEST(ToneGenerator, HalfAmplitudeLengthIsTheElementLength)
{
    for (const std::int64_t length : {1440, 2880, 8640, 34'560}) { // 30, 60, 180 and 720 ms
        ToneGenerator generator;
        generator.setPitch(1200);
        const auto samples = render(generator, {{100, length}}, std::size_t(length + 2000));
        const double half = ToneGenerator::amplitude(50) / 2;
        std::int64_t rise = -1, fall = -1;
        for (std::int64_t i = 0; i < std::int64_t(samples.size()); ++i) {
            if (peakAround(samples, i, 20) >= half) {
                if (rise < 0)
                    rise = i;
                fall = i;
            }
        }
        // The peak detector's window widens the run by 20 samples either side, give or take the 20
        // samples between two peaks of the sine.
        EXPECT_NEAR(double(fall - rise), double(length + 40), 21.0) << "length " << length;
        EXPECT_NEAR(double(rise), 100.0 + edge / 2 - 20, 22.0) << "length " << length;
    }
}

class ToneGeneratorPitch : public ::testing::TestWithParam<int>
{
};

TEST_P(ToneGeneratorPitch, SoundsAtThePitchSet)
{
    const int pitch = GetParam();
    ToneGenerator generator;
    generator.setPitch(pitch);
    const std::int64_t start = 0, length = generatorRate; // one second
    const auto samples = render(generator, {{start, length}}, generatorRate + edge);
    // Zero crossings in the steady part: two a period.
    int crossings = 0;
    for (std::int64_t i = edge + 1; i < length; ++i)
        crossings += (samples[i - 1] < 0) != (samples[i] < 0) ? 1 : 0;
    const double seconds = double(length - edge) / generatorRate;
    EXPECT_NEAR(crossings / (2 * seconds), pitch, 2.0);
    // And the energy sits at the pitch, not a little beside it.
    const double at = binPower(samples, edge, generatorRate / 2, pitch);
    EXPECT_GT(at, 100 * binPower(samples, edge, generatorRate / 2, pitch + 50));
    EXPECT_GT(at, 100 * binPower(samples, edge, generatorRate / 2, pitch - 50));
}

INSTANTIATE_TEST_SUITE_P(Range, ToneGeneratorPitch, ::testing::Values(300, 700, 1000, 1200));

TEST(ToneGenerator, VolumeScalesThePeakAndZeroIsSilent)
{
    struct Row
    {
        int volume;
        double peak;
    };
    const Row rows[] = {{100, 32'000}, {50, 8000}, {10, 320}, {0, 0}};
    for (const Row &row : rows) {
        ToneGenerator generator;
        generator.setVolume(row.volume);
        const auto samples = render(generator, {{0, 4800}}, 6000);
        EXPECT_NEAR(peakAround(samples, 2400, 2000), row.peak, row.peak * 0.001 + 0.5) << row.volume;
    }
}

// No click: from one sample to the next the signal moves no more than a sine at full amplitude and pitch
// does, plus the steepest step of the envelope.
TEST(ToneGenerator, NoSampleStepsBeyondTheEnvelopesSlope)
{
    for (const int pitch : {300, 700, 1200}) {
        ToneGenerator generator;
        generator.setPitch(pitch);
        generator.setVolume(100);
        const std::vector<Element> elements = {{0, 1440}, {2880, 100}, {4000, 2880}, {8000, 4320}};
        const auto samples = render(generator, elements, 14'000, 120);
        const double a = ToneGenerator::amplitude(100);
        const double bound =
            a * (2 * std::numbers::pi * pitch / generatorRate + std::numbers::pi / (2 * edge)) + 1;
        double largest = 0;
        for (std::size_t i = 1; i < samples.size(); ++i)
            largest = std::max(largest, std::abs(double(samples[i]) - samples[i - 1]));
        EXPECT_LE(largest, bound) << "pitch " << pitch;
        EXPECT_GT(largest, 0.5 * bound) << "pitch " << pitch; // the bound is not loose enough to hide a step
    }
}

// A change of pitch, volume or on/off reaches the next element scheduled, never the one that sounds.
TEST(ToneGenerator, ChangesApplyFromTheNextElement)
{
    ToneGenerator generator;
    generator.setPitch(600);
    generator.schedule(0, 4800);
    generator.setPitch(1200);
    generator.setVolume(100);
    generator.schedule(9600, 4800);
    generator.setEnabled(false);
    generator.schedule(19'200, 4800);
    std::vector<std::int16_t> samples(26'000);
    generator.render(samples.data(), samples.size());
    EXPECT_NEAR(peakAround(samples, 2400, 1000), ToneGenerator::amplitude(50), 1.0);
    EXPECT_NEAR(peakAround(samples, 12'000, 1000), ToneGenerator::amplitude(100), 1.0);
    EXPECT_GT(binPower(samples, 500, 4000, 600), 100 * binPower(samples, 500, 4000, 1200));
    EXPECT_GT(binPower(samples, 10'100, 4000, 1200), 100 * binPower(samples, 10'100, 4000, 600));
    EXPECT_EQ(peakAround(samples, 21'600, 2400), 0.0);
}

// An element whose start was already rendered (its event came late) starts at once and keeps its length.
TEST(ToneGenerator, ALateElementStartsAtOnceAndKeepsItsLength)
{
    ToneGenerator generator;
    std::vector<std::int16_t> samples(2000);
    generator.render(samples.data(), samples.size());
    generator.schedule(500, 2880);
    samples.assign(6000, 0);
    generator.render(samples.data(), samples.size());
    ToneGenerator alone;
    const auto reference = render(alone, {{0, 2880}}, 6000);
    EXPECT_EQ(samples, reference);
}

// An element asked to start while the one before still sounds waits, whole, for that one's fall to end.
TEST(ToneGenerator, AnElementWithinTheOneBeforeFollowsItInsteadOfSoundingOnTop)
{
    ToneGenerator generator;
    const auto samples = render(generator, {{0, 2880}, {1000, 2880}}, 8000);
    ToneGenerator alone;
    const auto reference = render(alone, {{0, 2880}}, std::size_t(2880 + edge));
    const std::int64_t second = 2880 + edge;
    for (std::int64_t i = 0; i < second + 2880 + edge; ++i)
        ASSERT_EQ(samples[i], reference[i < second ? i : i - second]) << "sample " << i;
}

} // namespace
