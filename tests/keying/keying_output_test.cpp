#include "keying/keying_progress.h"
#include "keying/timeline_queue.h"
#include "keying_fixture.h"
#include "list_source.h"

#include <condition_variable>

namespace {

using namespace keying;

// An output that keys text itself, as a device with a keyer of its own does: it takes whole pieces, tells
// each character as it goes out, and drops the rest at a stop. It may hold the worker at one character, as
// a device waiting for its echo does, until a stop comes. A fault that would keep a test waiting for ever
// shows in its calls instead.
class TextOutput : public KeyingOutput
{
public:
    Abilities abilities() const override { return {.stopsMidPiece = true}; }
    bool startUp(bool) override
    {
        record("start");
        return starts;
    }
    bool begin() override
    {
        stopped_ = false;
        record("begin");
        return true;
    }
    bool keyPiece(const KeyingPiece &piece, KeyingProgress &progress) override
    {
        QString text;
        for (const KeyingStep &step : piece.steps)
            text += QChar(step.value);
        record("piece:" + text + (piece.weighting != 0 ? "/" + QString::number(piece.weighting) : QString()));
        if (++pieces_ > 3) {
            record("too many pieces");
            return false;
        }
        for (std::size_t i = 0; i < piece.steps.size(); ++i) {
            if (int(i) == holdAt)
                holdUntilStopped();
            if (stopped_ || sendStopFlag != 0)
                return false;
            const int byte = piece.steps[i].value;
            progress.characterKeyed(uchar(byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte));
        }
        progress.speedKeyed(20);
        progress.timeKeyed(milliseconds);
        return true;
    }
    void pausing(int seconds) override { record("pause:" + QString::number(seconds)); }
    void end() override { record("end"); }
    void stop() override
    {
        std::scoped_lock lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }
    void settingChanged(const QString &key, bool transmitting) override
    {
        if (key == KLKSerialDTRKey)
            record(transmitting ? "setting while transmitting" : "setting while idle");
    }
    void shutDown() override {}

    QStringList calls() const
    {
        std::scoped_lock lock(mutex_);
        return calls_;
    }
    void waitUntilHeld()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return held_; });
    }

    bool starts = true;
    int holdAt = -1;
    std::int64_t milliseconds = 100;

private:
    void record(const QString &call)
    {
        std::scoped_lock lock(mutex_);
        calls_.append(call);
    }
    void holdUntilStopped()
    {
        std::unique_lock lock(mutex_);
        held_ = true;
        changed_.notify_all();
        if (!changed_.wait_for(lock, std::chrono::seconds(10), [this] { return stopped_.load(); }))
            calls_.append("never stopped");
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    QStringList calls_;
    std::atomic<bool> stopped_{false};
    bool held_ = false;
    int pieces_ = 0;
};

class OutputTest : public KeyingTest
{
protected:
    void TearDown() override
    {
        transmission.reset();
        KeyingTest::TearDown();
    }

    void attach()
    {
        transmission = std::make_unique<Transmission>(
            *store, [this]() -> ConsoleLog * { return &console; }, &clock);
        transmission->setTransmissionListener(&listener);
        transmission->attach(std::move(made));
    }
    void send(const QString &text)
    {
        ASSERT_EQ(transmission->cwSendString(text), 0);
        transmission->joinWorkers();
    }

    std::unique_ptr<TextOutput> made = std::make_unique<TextOutput>();
    TextOutput &output = *made;
    std::unique_ptr<Transmission> transmission;
    RecordingListener listener;
};

// The log, the listener and the busy rule follow what the output reports, not what it was handed.
TEST_F(OutputTest, TextGoesToTheOutputWholeAndIsEchoedAsItReports)
{
    attach();
    send(QStringLiteral("cq de ab1cd"));
    EXPECT_EQ(output.calls(), (QStringList{"start", "begin", "piece:cq de ab1cd", "end"}));
    EXPECT_EQ(console.log(), QStringLiteral("<T>CQ DE AB1CD"));
    ASSERT_EQ(listener.passes().size(), 1u);
    const KeyedPass pass = listener.passes()[0];
    EXPECT_EQ(pass.text, QStringLiteral("CQ DE AB1CD"));
    EXPECT_EQ(pass.slowest, 20);
    EXPECT_FALSE(pass.stopped || pass.practice);
    EXPECT_EQ(transmission->cwIsSending(), 0);
}

// A stop on the interface thread reaches an output that holds the worker inside a piece, and its idle
// settings wait for the end of the transmission.
TEST_F(OutputTest, StopAndSettingsReachAnOutputThatHoldsThePiece)
{
    output.holdAt = 2;
    attach();
    store->setValue(KLKSerialDTRKey, true);
    ASSERT_EQ(transmission->cwSendString(QStringLiteral("CQ DE")), 0);
    output.waitUntilHeld();
    store->setValue(KLKSerialDTRKey, false);
    transmission->cwSendStop();
    transmission->joinWorkers();
    EXPECT_EQ(output.calls(), (QStringList{"start", "setting while idle", "begin", "piece:CQ DE",
                                           "setting while transmitting", "end"}));
    EXPECT_EQ(console.log(), QStringLiteral("<T>CQ"));
    ASSERT_EQ(listener.passes().size(), 1u);
    EXPECT_TRUE(listener.passes()[0].stopped);
    EXPECT_EQ(transmission->cwIsSending(), 0);
}

// Practice keys the practice line, on the timeline as on the air, and hands the output nothing; an output
// that could not start refuses texts on the air only.
TEST_F(OutputTest, PracticeKeysThePracticeLineWhateverTheOutput)
{
    output.starts = false;
    attach();
    EXPECT_EQ(initialized, -1);
    EXPECT_EQ(transmission->cwSendString(QStringLiteral("E")), -1);
    store->setValue(KLKPracticeModeKey, true);
    TimelineQueue queue;
    transmission->elementTimeline()->subscribe(&queue);
    send(QStringLiteral("E"));
    transmission->elementTimeline()->unsubscribe(&queue);
    EXPECT_EQ(output.calls(), QStringList{"start"});
    EXPECT_EQ(console.log(), QStringLiteral("<T>E"));
    KeyEvent down;
    ASSERT_TRUE(queue.take(down));
    EXPECT_EQ(down.length, 100'000'000);
    EXPECT_EQ(clock.elapsedMs(), 400.0);
    ASSERT_EQ(listener.passes().size(), 1u);
    EXPECT_TRUE(listener.passes()[0].practice);
}

TEST_F(OutputTest, QueuedPiecesReachTheOutputInOrderAsOnePass)
{
    attach();
    ListSource source;
    transmission->setTextSource(&source);
    source.add({1, stepsOf("CQ"), 20});
    source.add({2, stepsOf(" DE")});
    ASSERT_EQ(transmission->cwSendQueued(), 0);
    transmission->joinWorkers();
    transmission->setTextSource(nullptr);
    EXPECT_EQ(output.calls(), (QStringList{"start", "begin", "piece:CQ/20", "piece: DE", "end"}));
    EXPECT_EQ(source.keyed(), (std::vector<std::uint64_t>{1, 2}));
    EXPECT_EQ(console.log(), QStringLiteral("<T>CQ DE"));
}

struct BeaconRow
{
    const char *name;
    int delay;
    std::int64_t milliseconds; // that the output says a pass took
    QStringList calls;
};

class OutputBeaconTest : public OutputTest, public ::testing::WithParamInterface<BeaconRow>
{
};

// The beacon's pause is the transmission's: the output hears of it; a pass it says took no time ends it.
TEST_P(OutputBeaconTest, PausesBetweenPassesOrEnds)
{
    store->setValue(KLKBeaconDelayKey, GetParam().delay);
    output.milliseconds = GetParam().milliseconds;
    attach();
    clock.onSecond = [this](int second) {
        if (second == 2)
            transmission->cwSendStop();
    };
    transmission->cwBeaconTransmission();
    send(QStringLiteral("E"));
    EXPECT_EQ(output.calls(), GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Passes, OutputBeaconTest,
    ::testing::Values(
        BeaconRow{"Pause", 1, 100, {"start", "begin", "piece:E", "pause:1", "piece:E", "pause:1", "end"}},
        BeaconRow{"NoTime", 0, 0, {"start", "begin", "piece:E", "end"}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
