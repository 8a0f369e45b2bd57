#include "keying/element_timeline.h"
#include "keying/keying_fixture.h"
#include "keying/timeline_queue.h"
#include "sidetone/audio_output.h"
#include "sidetone/sidetone.h"
#include "sidetone/tone_generator.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr std::int64_t sidetoneChunkNanos =
    Sidetone::chunkSamples * 1'000'000'000 / ToneGenerator::sampleRate;

// A sound device that takes a chunk only when the test lets it, and whose clock moves by the chunk's
// playing time as it takes it: the stream and the clock agree to the sample.
class PacedOutput : public AudioOutput
{
public:
    explicit PacedOutput(VirtualClock &clock) : clock_(clock) {}

    bool open(int, QString &reason) override
    {
        std::scoped_lock lock(mutex_);
        ++opens;
        if (missing)
            reason = QStringLiteral("Connection refused");
        changed_.notify_all();
        return !missing;
    }
    bool write(const std::int16_t *samples, std::size_t count) override
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return credits_ > 0 || released_; });
        if (released_)
            return false;
        --credits_;
        samples_.insert(samples_.end(), samples, samples + count);
        clock_.advance(std::int64_t(count) * 1'000'000'000 / ToneGenerator::sampleRate);
        changed_.notify_all();
        return true;
    }
    void close() override
    {
        std::scoped_lock lock(mutex_);
        ++closes;
        changed_.notify_all();
    }

    // Lets the stream take the chunks and returns once it has.
    void play(int chunks)
    {
        std::unique_lock lock(mutex_);
        credits_ += chunks;
        changed_.notify_all();
        ASSERT_TRUE(changed_.wait_for(lock, 10s, [&] { return credits_ == 0; }));
    }
    // Waits until the sidetone has opened the device this many times.
    bool waitForOpens(int count)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return opens >= count; });
    }
    // Lets the stream take chunks, without waiting for it to take them.
    void allow(int chunks)
    {
        std::scoped_lock lock(mutex_);
        credits_ += chunks;
        changed_.notify_all();
    }
    bool waitForCloses(int count)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return closes >= count; });
    }
    // Ends a stall: every write fails from now on.
    void release()
    {
        std::scoped_lock lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    std::vector<std::int16_t> samples()
    {
        std::scoped_lock lock(mutex_);
        return samples_;
    }

    bool missing = false;
    int opens = 0;
    int closes = 0;

private:
    VirtualClock &clock_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int credits_ = 0;
    bool released_ = false;
    std::vector<std::int16_t> samples_;
};

class SidetoneTest : public KeyingTest
{
protected:
    Sidetone &makeSidetone()
    {
        auto paced = std::make_unique<PacedOutput>(clock);
        output = paced.get();
        output->missing = missing;
        sidetone = std::make_unique<Sidetone>(timeline, *store, std::move(paced), &clock);
        return *sidetone;
    }

    void TearDown() override
    {
        if (output)
            output->release();
        sidetone.reset();
        KeyingTest::TearDown();
    }

    // (first, last) sounding sample of each tone.
    static std::vector<std::pair<std::int64_t, std::int64_t>> tones(const std::vector<std::int16_t> &samples)
    {
        std::vector<std::pair<std::int64_t, std::int64_t>> runs;
        std::int64_t last = -100'000;
        for (std::int64_t i = 0; i < std::int64_t(samples.size()); ++i) {
            if (samples[i] == 0)
                continue;
            if (i - last > 480)
                runs.push_back({i, i});
            runs.back().second = i;
            last = i;
        }
        return runs;
    }

    // The first and last sample that sounds of an element of the length that starts at sample 0.
    static std::int64_t firstSounding(std::int64_t length) { return tones(reference(length)).front().first; }
    static std::int64_t lastSounding(std::int64_t length) { return tones(reference(length)).front().second; }
    static std::vector<std::int16_t> reference(std::int64_t length)
    {
        ToneGenerator generator;
        generator.schedule(0, length);
        std::vector<std::int16_t> samples(std::size_t(length) + 1000);
        generator.render(samples.data(), samples.size());
        return samples;
    }

    ElementTimeline timeline;
    bool missing = false;
    PacedOutput *output = nullptr;
    std::unique_ptr<Sidetone> sidetone;
};

// Each tone starts a fixed margin after its key-down's own instant, whenever the event reached the audio
// thread, and is as long as its element to the sample.
TEST_F(SidetoneTest, PlacesEachToneFromItsKeyDownsInstant)
{
    makeSidetone();
    ASSERT_TRUE(output->waitForOpens(1));
    output->play(4); // the stream runs: its clock is known
    // Published while the audio thread waits on the device, one a millisecond ago, one just now.
    timeline.publish({KeyEvent::Edge::Down, clock.now() - 1'000'000, 60'000'000});
    output->play(60);
    timeline.publish({KeyEvent::Edge::Down, clock.now(), 180'000'000});
    output->play(120);
    const auto found = tones(output->samples());
    ASSERT_EQ(found.size(), 2u);
    const std::int64_t silentStart = firstSounding(2880); // the rise begins with a few samples of 0
    const std::int64_t firstAt =
        (4 * sidetoneChunkNanos - 1'000'000) * 48 / 1'000'000 + Sidetone::placementMargin;
    const std::int64_t secondAt = 64 * sidetoneChunkNanos * 48 / 1'000'000 + Sidetone::placementMargin;
    EXPECT_EQ(found[0].first, firstAt + silentStart);
    EXPECT_EQ(found[1].first, secondAt + silentStart);
    EXPECT_EQ(found[0].second - firstAt, lastSounding(2880));
    EXPECT_EQ(found[1].second - secondAt, lastSounding(8640));
}

// A key-down that reaches the audio thread too late to sound in its place is left out, and said once: the
// tones after it keep their places instead of queueing behind it.
TEST_F(SidetoneTest, ToneTooLateForItsPlaceIsLeftOut)
{
    makeSidetone();
    ASSERT_TRUE(output->waitForOpens(1));
    output->play(40);
    const std::int64_t stale = clock.now() - 80'000'000; // beyond the margin and the late limit
    timeline.publish({KeyEvent::Edge::Down, stale, 30'000'000});
    timeline.publish({KeyEvent::Edge::Down, clock.now(), 30'000'000});
    output->play(40);
    const auto found = tones(output->samples());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].first, 40 * 120 + Sidetone::placementMargin + firstSounding(1440));
    EXPECT_EQ(sidetone->dropped(), 1u);
    EXPECT_EQ(diagnostics(), QStringList{QStringLiteral(
                                 "#.. Keylark : 1 sidetone tone left out: the sound device was late.")});
}

TEST_F(SidetoneTest, SwitchedOffItIsSilentAndHoldsNoDevice)
{
    store->setValue(KLKSidetoneKey, false);
    makeSidetone();
    timeline.publish({KeyEvent::Edge::Down, clock.now(), 60'000'000});
    std::this_thread::sleep_for(300ms); // the audio thread's idle look comes every 200 ms
    EXPECT_EQ(output->opens, 0);
    // Nor does it follow the timeline, so that the worker's edges wake no thread of its; switched on, it
    // does.
    const auto placesLeft = [this] {
        std::array<TimelineQueue, ElementTimeline::maxListeners> queues;
        const auto taken =
            std::count_if(queues.begin(), queues.end(), [this](auto &q) { return timeline.subscribe(&q); });
        for (TimelineQueue &queue : queues)
            timeline.unsubscribe(&queue);
        return taken;
    };
    EXPECT_EQ(placesLeft(), ElementTimeline::maxListeners);
    store->setValue(KLKSidetoneKey, true);
    EXPECT_EQ(placesLeft(), ElementTimeline::maxListeners - 1);
}

// Off and on again, the sidetone plays again at once, not only when a missing device would be tried again.
TEST_F(SidetoneTest, SwitchedOnAgainItOpensTheDeviceAtOnce)
{
    makeSidetone();
    ASSERT_TRUE(output->waitForOpens(1));
    output->play(4);
    store->setValue(KLKSidetoneKey, false);
    output->allow(1); // should the audio thread wait in a write, it comes round and sees the switch
    ASSERT_TRUE(output->waitForCloses(1));
    store->setValue(KLKSidetoneKey, true);
    EXPECT_TRUE(output->waitForOpens(2));
}

// Without a device Keylark says so once, however often it tries again, and the events go nowhere.
TEST_F(SidetoneTest, MissingDeviceIsReportedOnceAndTriedAgainLater)
{
    missing = true;
    makeSidetone();
    ASSERT_TRUE(output->waitForOpens(1));
    for (int i = 0; i < 300; ++i)
        timeline.publish({KeyEvent::Edge::Down, clock.now(), 60'000'000});
    // Time passes on the device's clock until the sidetone has tried twice more.
    for (int step = 0; output->opens < 3 && step < 1000; ++step) {
        clock.advance(Sidetone::retryInterval);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_GE(output->opens, 3);
    EXPECT_EQ(diagnostics(),
              QStringList{QStringLiteral(
                  "#.. Keylark : No sound device (Connection refused); the sidetone is silent.")});
}

// A device that takes nothing holds up the audio thread only: the worker keys every element on time,
// the sidetone's queue drops what it cannot hold, and Keylark's end does not wait for the device.
TEST_F(SidetoneTest, StalledDeviceNeitherDelaysTheWorkerNorTheEnd)
{
    store->setValue(KLKSerialDTRKey, true);
    store->setValue(KLKWpmKey, 40);
    SerialController &serial = start();
    auto paced = std::make_unique<PacedOutput>(clock);
    output = paced.get();
    sidetone = std::make_unique<Sidetone>(*serial.elementTimeline(), *store, std::move(paced), &clock);
    ASSERT_TRUE(output->waitForOpens(1)); // and stuck in its first write
    sendAndWait(QString(300, QLatin1Char('E')));
    const auto periods = keyDownPeriods();
    ASSERT_EQ(periods.size(), 300u);
    for (std::size_t i = 0; i < periods.size(); ++i)
        ASSERT_EQ(periods[i], std::make_pair(120.0 * double(i), 120.0 * double(i) + 30)) << i;
    EXPECT_EQ(sidetone->dropped(), 600u - TimelineQueue::capacity);
    const auto before = std::chrono::steady_clock::now();
    sidetone.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);
}

} // namespace
