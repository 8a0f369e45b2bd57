#include "keying/diagnostics.h"
#include "keying/keying_progress.h"
#include "keying/shared_flags.h"
#include "keying/text_source.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "stand_in_winkeyer.h"
#include "winkeyer/winkeyer_output.h"

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
        output->startUp(false);
    }
    void TearDown() override
    {
        output.reset();
        Diagnostics::removeObserver(observer);
        keying::sendStopFlag = 0;
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
    std::unique_ptr<WinKeyerOutput> output = std::make_unique<WinKeyerOutput>(store, quick);
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
