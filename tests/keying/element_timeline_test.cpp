#include "keying/element_timeline.h"
#include "keying/timeline_follower.h"
#include "keying/timeline_queue.h"
#include "keying_fixture.h"

#include <chrono>
#include <functional>
#include <latch>
#include <sys/ioctl.h>
#include <thread>

namespace {

using namespace keying;
using namespace std::chrono_literals;

// The key-down periods of the timeline, in ms of the virtual clock from its origin.
std::vector<std::pair<double, double>> periodsOf(const std::vector<KeyEvent> &events)
{
    std::vector<std::pair<double, double>> periods;
    for (const KeyEvent &event : events) {
        const double at = double(event.instant - VirtualClock::origin) / 1e6;
        if (event.edge == KeyEvent::Edge::Down) {
            periods.emplace_back(at, at + double(event.length) / 1e6);
        } else if (!periods.empty()) {
            EXPECT_EQ(periods.back().second, at) << "the key-up comes when the key-down said it would";
        }
    }
    return periods;
}

std::vector<KeyEvent> drain(TimelineQueue &queue)
{
    std::vector<KeyEvent> events;
    KeyEvent event;
    while (queue.take(event))
        events.push_back(event);
    return events;
}

// The timeline tells each key-down once with its planned length and each key-up once, exactly where the
// line was keyed.
TEST_F(KeyingTest, TimelineFollowsTheLineEdgeForEdge)
{
    store->setValue(KLKSerialDTRKey, true);
    SerialController &serial = start();
    TimelineQueue queue;
    ASSERT_TRUE(serial.elementTimeline()->subscribe(&queue));
    sendAndWait(QStringLiteral("PARIS %AR% 5"));
    const std::vector<KeyEvent> events = drain(queue);
    serial.elementTimeline()->unsubscribe(&queue);
    ASSERT_EQ(events.size() % 2, 0u);
    for (std::size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i].edge, i % 2 == 0 ? KeyEvent::Edge::Down : KeyEvent::Edge::Up) << i;
    EXPECT_EQ(periodsOf(events), keyDownPeriods());
    EXPECT_EQ(queue.dropped(), 0u);
}

TEST_F(KeyingTest, RefusedKeyDownIsNotOnTheTimeline)
{
    store->setValue(KLKSerialDTRKey, true);
    SerialController &serial = start();
    TimelineQueue queue;
    serial.elementTimeline()->subscribe(&queue);
    line.setError = EIO;
    line.failSetBits = TIOCM_DTR; // every key-down fails; the key-ups that follow succeed
    sendAndWait(QStringLiteral("EE"));
    EXPECT_TRUE(drain(queue).empty());
    serial.elementTimeline()->unsubscribe(&queue);
}

// A listener that never returns costs the worker nothing: the text keys on time to its end, and what the
// listener's queue cannot hold is dropped and counted.
TEST_F(KeyingTest, ListenerThatNeverReturnsDoesNotDelayTheWorker)
{
    store->setValue(KLKSerialDTRKey, true);
    store->setValue(KLKWpmKey, 40);
    SerialController &serial = start();
    std::latch release(1);
    std::atomic<int> heard{0};
    TimelineFollower stuck(*serial.elementTimeline(), [&](const KeyEvent &) {
        ++heard;
        release.wait();
    });
    ASSERT_TRUE(stuck.following());
    sendAndWait(QStringLiteral("T"));
    for (int wait = 0; heard == 0 && wait < 1000; ++wait)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(heard, 1); // and there it stays
    clock.advance(-std::int64_t(clock.elapsedMs() * 1e6));
    line.clear();
    const QString text(300, QLatin1Char('E')); // 600 edges, more than a queue holds
    sendAndWait(text);
    const auto periods = keyDownPeriods();
    ASSERT_EQ(periods.size(), 300u);
    // 30 ms dits, 90 ms letter gaps: every element where an unhindered worker keys it.
    for (std::size_t i = 0; i < periods.size(); ++i) {
        EXPECT_EQ(periods[i].first, 120.0 * double(i)) << i;
        EXPECT_EQ(periods[i].second - periods[i].first, 30.0) << i;
    }
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(stuck.dropped(), 600u + 1u - TimelineQueue::capacity); // T's key-up waits in the queue too
    release.count_down();
}

// Several listeners each hear every edge, whatever the others do; one that leaves hears no more.
TEST_F(KeyingTest, EveryListenerHearsEveryEdge)
{
    store->setValue(KLKSerialDTRKey, true);
    SerialController &serial = start();
    std::mutex mutex;
    std::vector<KeyEvent> first, second;
    std::condition_variable done;
    auto follower = [&](std::vector<KeyEvent> &into) {
        return [&](const KeyEvent &event) {
            std::scoped_lock lock(mutex);
            into.push_back(event);
            done.notify_all();
        };
    };
    TimelineFollower one(*serial.elementTimeline(), follower(first));
    {
        TimelineFollower two(*serial.elementTimeline(), follower(second));
        sendAndWait(QStringLiteral("TEST"));
        std::unique_lock lock(mutex);
        ASSERT_TRUE(done.wait_for(lock, 10s, [&] { return first.size() == 12 && second.size() == 12; }));
    }
    sendAndWait(QStringLiteral("E"));
    std::unique_lock lock(mutex);
    ASSERT_TRUE(done.wait_for(lock, 10s, [&] { return first.size() == 14; }));
    EXPECT_EQ(second.size(), 12u);
    EXPECT_EQ(periodsOf(first), keyDownPeriods());
}

TEST(ElementTimeline, TakesAsManyListenersAsItHasPlacesFor)
{
    ElementTimeline timeline;
    std::vector<TimelineQueue> queues(ElementTimeline::maxListeners + 1);
    for (int i = 0; i < ElementTimeline::maxListeners; ++i)
        EXPECT_TRUE(timeline.subscribe(&queues[i]));
    EXPECT_FALSE(timeline.subscribe(&queues.back()));
    timeline.unsubscribe(&queues[3]);
    EXPECT_TRUE(timeline.subscribe(&queues.back()));
    timeline.publish({KeyEvent::Edge::Down, 5, 7});
    KeyEvent event;
    EXPECT_FALSE(queues[3].take(event));
    ASSERT_TRUE(queues.back().take(event));
    EXPECT_EQ(event.instant, 5);
    EXPECT_EQ(event.length, 7);
}

// One thread publishes while another takes: every event arrives once and in order, none is torn.
TEST(ElementTimeline, HandsOverEveryEventInOrderAcrossThreads)
{
    ElementTimeline timeline;
    TimelineQueue queue;
    timeline.subscribe(&queue);
    constexpr std::int64_t count = 200'000;
    std::thread worker([&] {
        for (std::int64_t i = 1; i <= count; ++i) {
            timeline.publish({KeyEvent::Edge::Down, i, -i});
            if (i % 200 == 0) // as a worker does, now and then it waits
                std::this_thread::sleep_for(50us);
        }
    });
    std::atomic<bool> published{false};
    std::int64_t last = 0, seen = 0;
    std::thread listener([&] {
        KeyEvent event;
        for (;;) {
            const bool finished = published; // read before the last look, so that nothing is missed
            if (!queue.take(event)) {
                if (finished)
                    return;
                queue.waitFor(10ms);
                continue;
            }
            EXPECT_GT(event.instant, last);
            EXPECT_EQ(event.length, -event.instant);
            last = event.instant;
            ++seen;
        }
    });
    worker.join();
    published = true;
    queue.wake();
    listener.join();
    // What a listener held up by the scheduler missed is counted, never lost silently; the first queueful
    // always arrives, however slow the listener.
    EXPECT_EQ(seen + std::int64_t(queue.dropped()), count);
    EXPECT_GE(seen, std::int64_t(TimelineQueue::capacity));
    timeline.unsubscribe(&queue);
}

// While edges come the follower looks once a frame and hands its frame function everything that came since;
// after a quiet spell it stops looking, so that an idle window costs nothing, and the next edge, however
// late, wakes it again.
TEST(ElementTimeline, FollowerLooksOnceAFrameAndSleepsWhenQuiet)
{
    ElementTimeline timeline;
    std::atomic<int> frames{0};
    std::atomic<int> heard{0};
    std::atomic<int> heardAtFrame{0};
    TimelineFollower follower(
        timeline, [&](const KeyEvent &) { ++heard; },
        [&] {
            heardAtFrame = heard.load();
            ++frames;
        });
    const auto eventually = [](const std::function<bool()> &met) {
        for (int wait = 0; !met() && wait < 1000; ++wait)
            std::this_thread::sleep_for(10ms);
        return met();
    };
    for (int edge = 0; edge < 10; ++edge)
        timeline.publish({edge % 2 == 0 ? KeyEvent::Edge::Down : KeyEvent::Edge::Up, edge, 0});
    ASSERT_TRUE(eventually([&] { return heardAtFrame == 10; }));
    int seen = -1;
    for (int wait = 0; wait < 100 && frames != seen; ++wait) {
        seen = frames;
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_EQ(frames, seen) << "still looking after a quiet spell";
    EXPECT_GE(frames, TimelineFollower::quietFrames);
    EXPECT_LE(frames, 2 * TimelineFollower::quietFrames);
    timeline.publish({KeyEvent::Edge::Down, 10, 0});
    EXPECT_TRUE(eventually([&] { return heardAtFrame == 11; })) << "not woken by the edge after the spell";
}

} // namespace
