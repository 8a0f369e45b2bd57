#include "keying/diagnostics.h"
#include "keying/element_timeline.h"
#include "keying/keying_progress.h"
#include "keying/shared_flags.h"
#include "keying/text_source.h"
#include "keying/timeline_queue.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "stand_in_winkeyer.h"
#include "winkeyer/winkeyer_output.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <mutex>

namespace {

constexpr WinkeyerTiming quick{.resetWait = 20, .answer = 2000, .quiet = 1000, .tuneLimit = 300, .pace = 10};

class RecordingProgress : public KeyingProgress
{
public:
    void characterKeyed(unsigned char code) override
    {
        std::scoped_lock lock(mutex_);
        characters_ += char(code);
    }
    void speedKeyed(int) override {}
    void timeKeyed(std::int64_t) override {}
    std::string characters() const
    {
        std::scoped_lock lock(mutex_);
        return characters_;
    }

private:
    mutable std::mutex mutex_;
    std::string characters_;
};

// What the output tells of the paddles, in order: their characters, '|' when idle, '!' for a break-in.
class RecordingPaddles : public OutputListener
{
public:
    void paddleKeyed(char character) override { add(character); }
    void paddlesIdle() override { add('|'); }
    void brokenIn() override { add('!'); }
    std::string events() const
    {
        std::scoped_lock lock(mutex_);
        return events_;
    }

private:
    void add(char event)
    {
        std::scoped_lock lock(mutex_);
        events_ += event;
    }
    mutable std::mutex mutex_;
    std::string events_;
};

KeyingPiece pieceOf(const std::string &text)
{
    KeyingPiece piece;
    for (const char c : text)
        piece.steps.push_back({KeyingStep::Kind::Character, c});
    return piece;
}

// The output keying pieces on a worker of the test's own while the stand-in keyer answers on the test's
// thread.
class WinKeyerOutputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        keying::sendStopFlag = 0;
        store.registerDefaults(registeredDefaults());
        store.setValue(KLKWpmKey, 40);
        store.setValue(KLKWinKeyerPortKey, keyer.path());
        observer = Diagnostics::setObserver([this](const Diagnostic &diagnostic) {
            std::scoped_lock lock(linesMutex);
            lines.append(diagnostic.line);
        });
        output->setOutputListener(&paddles);
        ASSERT_TRUE(timeline.subscribe(&edges));
        output->startUp(false);
    }
    void TearDown() override
    {
        output.reset();
        timeline.unsubscribe(&edges);
        Diagnostics::removeObserver(observer);
        keying::sendStopFlag = 0;
    }

    std::string edgesSeen()
    {
        std::string seen;
        for (KeyEvent event; edges.take(event);)
            seen += event.edge == KeyEvent::Edge::Down ? 'D' : 'U';
        return seen;
    }

    void start(const KeyingPiece &piece)
    {
        ASSERT_TRUE(output->begin());
        keyed = std::async(std::launch::async, [this, piece] { return output->keyPiece(piece, progress); });
    }
    bool finished()
    {
        return keyer.waitFor(
            [&] { return keyed.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    }
    int linesWith(const QString &part) const
    {
        std::scoped_lock lock(linesMutex);
        return int(lines.filter(part).size());
    }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.json"))};
    StandInWinkeyer keyer;
    RecordingProgress progress;
    ElementTimeline timeline;
    TimelineQueue edges;
    RecordingPaddles paddles;
    std::unique_ptr<WinKeyerOutput> output = std::make_unique<WinKeyerOutput>(store, quick, &timeline);
    std::future<bool> keyed;
    mutable std::mutex linesMutex;
    QStringList lines;
    int observer = 0;
};

// A text longer than the keyer holds, with a prosign, a speed step and a character the keyer lacks: the
// keyer keys it whole and in order under XOFF, and the echo is what it keyed, as Keylark writes it.
TEST_F(WinKeyerOutputTest, KeysInOrderUnderXoffAndEchoesWhatWasKeyed)
{
    ASSERT_TRUE(keyer.waitFor([&] { return linesWith(QStringLiteral("WinKeyer version 2.3 on ")) == 1; }));
    keyer.setXoffAbove(20);
    KeyingPiece piece = pieceOf("cq %ar% ~");
    piece.steps.push_back({KeyingStep::Kind::Speed, -10});
    const KeyingPiece rest = pieceOf(std::string(100, 'E') + " TU");
    piece.steps.insert(piece.steps.end(), rest.steps.begin(), rest.steps.end());
    start(piece);
    ASSERT_TRUE(finished());
    EXPECT_TRUE(keyed.get());
    const std::string text = std::string(100, 'E') + " TU";
    EXPECT_EQ(keyer.keyed, "CQ <AR> " + text);
    EXPECT_EQ(progress.characters(), "CQ %AR% " + text);
    EXPECT_EQ(keyer.keyedWpm.back(), 30);
    EXPECT_EQ(keyer.lost, 0);
    EXPECT_TRUE(keyer.xoffRaised);
    EXPECT_EQ(linesWith(QStringLiteral("has no sign for \"~\"")), 1);
}

// The echo follows the keyer, not the bytes written; a stop clears the keyer's buffer before its next sign.
TEST_F(WinKeyerOutputTest, EchoFollowsTheKeyerAndAStopClearsItsBuffer)
{
    ASSERT_TRUE(keyer.waitFor([&] { return keyer.hostOpen; }));
    keyer.keying = false;
    start(pieceOf("CQ TEST K1ABC"));
    ASSERT_TRUE(keyer.waitFor([&] { return keyer.written == "CQ TEST K1ABC"; }));
    keyer.keySigns(2);
    ASSERT_TRUE(keyer.waitFor([&] { return progress.characters() == "CQ"; }));
    EXPECT_NE(keyed.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    keying::sendStopFlag = 1;
    output->stop();
    ASSERT_TRUE(keyer.waitFor([&] { return keyer.clears == 1; }));
    EXPECT_EQ(keyer.buffered(), 0);
    keyer.keying = true;
    ASSERT_TRUE(finished());
    EXPECT_FALSE(keyed.get());
    EXPECT_EQ(keyer.keyed, "CQ");
    EXPECT_EQ(progress.characters(), "CQ");
}

// The paddles break in: the keyer's text ends there without a clear that would cut the operator short, the
// transmission stops, the console is told, and the paddles' characters and the keyer's pause are heard.
TEST_F(WinKeyerOutputTest, PaddlesBreakInStopTheTextAndTheirSendingIsHeard)
{
    keyer.keying = false;
    start(pieceOf("CQ TEST"));
    ASSERT_TRUE(keyer.waitFor([&] { return keyer.written == "CQ TEST"; }));
    keyer.keySigns(1);
    ASSERT_TRUE(keyer.waitFor([&] { return progress.characters() == "C"; }));
    keyer.paddle("K1ABC");
    ASSERT_TRUE(finished());
    EXPECT_FALSE(keyed.get());
    EXPECT_EQ(keying::sendStopFlag, 1);
    ASSERT_TRUE(keyer.waitFor([&] { return paddles.events().ends_with("K1ABC|"); }));
    EXPECT_EQ(paddles.events(), "!K1ABC|");
    EXPECT_EQ(progress.characters(), "C");
    EXPECT_EQ(keyer.clears, 0);
    EXPECT_EQ(linesWith(QStringLiteral("paddles broke in")), 1);
}

// The lamp follows the keyer's KEYDOWN bit, here of a tune that the keyer ends itself; in practice the
// practice line has the timeline, and the keyer's key-down stays out of it.
TEST_F(WinKeyerOutputTest, TheKeyersKeyDownReachesTheTimelineOutsidePractice)
{
    KeyingPiece tune;
    tune.steps.push_back({KeyingStep::Kind::Tune, 1});
    start(tune);
    ASSERT_TRUE(finished());
    EXPECT_TRUE(keyed.get());
    EXPECT_EQ(edgesSeen(), "DU");
    store.setValue(KLKPracticeModeKey, true);
    start(tune);
    ASSERT_TRUE(finished());
    EXPECT_EQ(edgesSeen(), "");
}

// The knob spans Keylark's speeds; followed, a move becomes Keylark's speed within Keylark's range. The
// text keyed after each move has come back once the knob's byte has been read.
TEST_F(WinKeyerOutputTest, KnobSetsKeylarksSpeedOnlyWhenFollowed)
{
    ASSERT_TRUE(keyer.waitFor([&] { return keyer.knobRange != 0; }));
    EXPECT_EQ(keyer.knobLowest, int(KLKWpmRange.minimum));
    EXPECT_EQ(keyer.knobLowest + keyer.knobRange, int(KLKWpmRange.maximum));
    const struct
    {
        bool follows;
        int turned, wpm; // the knob's byte, above its lowest speed; Keylark's speed afterwards
    } rows[] = {{false, 20, 40}, {true, 20, 25}, {true, 63, 40}, {true, 0, 5}, {false, 30, 5}};
    for (const auto &row : rows) {
        store.setValue(KLKWinKeyerFollowsKnobKey, row.follows);
        keyer.turnKnob(row.turned);
        start(pieceOf("E"));
        ASSERT_TRUE(finished());
        QCoreApplication::processEvents();
        EXPECT_EQ(store.intValue(KLKWpmKey), row.wpm) << row.follows << " " << row.turned;
    }
}

// A logger's weighting goes to the keyer before the piece's text, and back to normal when the
// transmission ends, so that the operator's paddles key unweighted.
TEST_F(WinKeyerOutputTest, APiecesWeightingHoldsForThatPieceAlone)
{
    ASSERT_TRUE(keyer.waitFor([&] { return keyer.hostOpen; }));
    KeyingPiece piece = pieceOf("TEST");
    piece.weighting = 20;
    start(piece);
    ASSERT_TRUE(finished());
    output->end();
    const QByteArray normal("\x03\x32", 2), heavier("\x03\x3C", 2);
    ASSERT_TRUE(
        keyer.waitFor([&] { return keyer.received.lastIndexOf(normal) > keyer.received.indexOf("TEST"); }));
    EXPECT_GT(keyer.received.indexOf("TEST"), keyer.received.indexOf(heavier));
    EXPECT_GE(keyer.received.indexOf(heavier), 0);
}

enum class Fault { Silent, Unplugged };

class WinKeyerOutputFaultTest : public WinKeyerOutputTest, public ::testing::WithParamInterface<Fault>
{
};

// A keyer that never answers or goes mid-text ends the piece with the error line and stops the
// transmission, without hanging its worker.
TEST_P(WinKeyerOutputFaultTest, EndsThePieceWithTheErrorLine)
{
    if (GetParam() == Fault::Silent) {
        keyer.answer = StandInWinkeyer::Answer::Silent;
        output = std::make_unique<WinKeyerOutput>(store, quick);
        output->startUp(false);
        ASSERT_TRUE(
            keyer.waitFor([&] { return linesWith(QStringLiteral("No answer from a WinKeyer")) > 0; }));
    } else {
        ASSERT_TRUE(keyer.waitFor([&] { return keyer.hostOpen; }));
        keyer.keying = false;
    }
    start(pieceOf("CQ CQ"));
    if (GetParam() == Fault::Unplugged) {
        ASSERT_TRUE(keyer.waitFor([&] { return keyer.written == "CQ CQ"; }));
        keyer.unplug();
    }
    ASSERT_TRUE(finished());
    EXPECT_FALSE(keyed.get());
    EXPECT_EQ(keying::sendStopFlag, 1);
    EXPECT_GE(linesWith(QStringLiteral("*** Keylark : The WinKeyer failed: ")), 1);
}

INSTANTIATE_TEST_SUITE_P(Keyers, WinKeyerOutputFaultTest, ::testing::Values(Fault::Silent, Fault::Unplugged),
                         [](const auto &info) {
                             return info.param == Fault::Silent ? "Silent" : "Unplugged";
                         });

} // namespace
