#include "recording_listener.h"
#include "stand_in_winkeyer.h"
#include "winkeyer/winkeyer_service.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using End = WinkeyerListener::End;
using Ends = std::vector<End>;
using Answer = StandInWinkeyer::Answer;

constexpr WinkeyerTiming quickKeyer{
    .resetWait = 20, .answer = 2000, .quiet = 1000, .tuneLimit = 300, .pace = 10};

std::vector<WinkeyerItem> textOf(const std::string &text)
{
    std::vector<WinkeyerItem> items;
    for (char c : text)
        items.push_back(WinkeyerItem::character(c));
    return items;
}

class WinkeyerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(keyer.path().isEmpty()); }

    void openKeyer()
    {
        service->open(keyer.path(), settings);
        ASSERT_TRUE(keyer.waitFor([&] { return heard().firmware != 0 && keyer.knobRange != 0; }));
    }

    // Sends text while the keyer holds its buffer, and keys the first signs of it.
    void sendAndKey(const std::string &text, int signs)
    {
        keyer.keying = false;
        service->send(textOf(text));
        ASSERT_TRUE(keyer.waitFor([&] { return keyer.written.size() == text.size(); }));
        keyer.keySigns(signs);
    }

    bool waitForEnds(const Ends &ends)
    {
        return keyer.waitFor([&] { return heard().ends.size() >= ends.size(); }) && heard().ends == ends;
    }

    Heard heard() const { return listener.heard(); }

    StandInWinkeyer keyer;
    RecordingListener listener;
    WinkeyerSettings settings{.wpm = 20, .weighting = 55, .ratio = 45, .knobLowest = 12, .knobRange = 30};
    std::unique_ptr<WinkeyerService> service = std::make_unique<WinkeyerService>(listener, quickKeyer);
};

TEST_F(WinkeyerTest, OpensHostModeWithEchoesOnAndLeavesItAtTheEnd)
{
    openKeyer();
    EXPECT_EQ(heard().firmware, 23);
    EXPECT_TRUE(keyer.received.startsWith(QByteArray("\x13\x13\x13\x00\x04\x55\x00\x02", 8)));
    EXPECT_EQ(keyer.mode, 0x44); // paddle echo and serial echo, iambic B
    EXPECT_EQ(std::vector({keyer.wpm, keyer.weighting, keyer.ratio, keyer.knobLowest, keyer.knobRange}),
              std::vector({20, 55, 45, 12, 30}));
    service->tune(60'000);
    ASSERT_TRUE(keyer.waitFor([&] { return keyer.keyDown; }));
    EXPECT_TRUE(keyer.waitFor([&] { return !keyer.keyDown; })); // held to the tune limit, not a minute
    service.reset();
    keyer.waitFor([&] { return !keyer.hostOpen; });
    EXPECT_TRUE(keyer.received.endsWith(QByteArray("\x0A\x00\x03", 3)));
    EXPECT_FALSE(keyer.hostOpen);
}

// While the keyer says XOFF, no text goes out; once it lets go, two texts arrive whole and in order.
TEST_F(WinkeyerTest, XoffPausesTheTextAndNothingIsLost)
{
    openKeyer();
    keyer.setXoffAbove(-1);
    ASSERT_TRUE(keyer.waitFor([&] { return heard().status.xoff; }));
    const std::string first = std::string(120, 'E') + " CQ TEST DE K1ABC";
    const std::string second = " 5NN 14 K1ABC TU";
    service->send(textOf(first));
    service->send(textOf(second));
    const qsizetype asked = keyer.received.count('\x15');
    ASSERT_TRUE(
        keyer.waitFor([&] { return keyer.received.count('\x15') > asked; })); // the quiet keyer's probe
    EXPECT_EQ(keyer.written, "");
    keyer.setXoffAbove(85);
    ASSERT_TRUE(waitForEnds({End::Keyed}));
    EXPECT_EQ(keyer.keyed, first + second);
    EXPECT_EQ(heard().keyed, first + second);
    EXPECT_EQ(keyer.lost, 0);
    EXPECT_TRUE(keyer.xoffRaised);
}

// The host reports a sign only once the keyer has echoed it; a buffered speed change and a merged sign key
// at their place.
TEST_F(WinkeyerTest, ProgressFollowsTheKeyersEcho)
{
    openKeyer();
    keyer.keying = false;
    service->send({WinkeyerItem::character('T'), WinkeyerItem::speed(30), WinkeyerItem::character('E'),
                   WinkeyerItem::merged('S', 'K'), WinkeyerItem::character(' '),
                   WinkeyerItem::character('e')});
    ASSERT_TRUE(keyer.waitFor([&] { return keyer.written == "TE<SK> E"; }));
    keyer.keySigns(2);
    ASSERT_TRUE(keyer.waitFor([&] { return heard().keyed == "TE"; }));
    EXPECT_TRUE(heard().ends.empty());
    keyer.keying = true;
    ASSERT_TRUE(waitForEnds({End::Keyed}));
    EXPECT_EQ(heard().keyed, "TE<SK> E");
    EXPECT_EQ(keyer.keyed, "TE<SK> E");
    EXPECT_EQ(keyer.keyedWpm, std::vector({20, 30, 30, 30, 30}));
}

// A clear reaches the keyer before it keys another sign, and nothing of the cleared text follows it.
TEST_F(WinkeyerTest, ClearDropsTheTextAtOnce)
{
    openKeyer();
    sendAndKey("CQ CQ CQ DE K1ABC K1ABC", 2);
    service->clear();
    ASSERT_TRUE(keyer.waitFor([&] { return keyer.clears == 1; }));
    EXPECT_EQ(keyer.buffered(), 0);
    ASSERT_TRUE(waitForEnds({End::Cleared}));
    service->send(textOf("E"));
    keyer.keying = true;
    ASSERT_TRUE(waitForEnds({End::Cleared, End::Keyed}));
    EXPECT_EQ(keyer.keyed, "CQE");
    EXPECT_EQ(heard().keyed, "CQE");
}

TEST_F(WinkeyerTest, PaddlesBreakInAndTheirSignsAreTheOperators)
{
    openKeyer();
    sendAndKey("CQ CQ CQ", 2);
    keyer.paddle("TU");
    ASSERT_TRUE(waitForEnds({End::BrokenIn}));
    ASSERT_TRUE(keyer.waitFor([&] { return heard().paddle == "TU"; }));
    service->send(textOf("E"));
    keyer.keying = true;
    ASSERT_TRUE(waitForEnds({End::BrokenIn, End::Keyed}));
    EXPECT_EQ(keyer.keyed, "CQE");
    EXPECT_EQ(heard().keyed, "CQE");
}

TEST_F(WinkeyerTest, KnobMovesAreSpeedsAboveItsLowest)
{
    openKeyer();
    for (int value : {0, 7, 30})
        keyer.turnKnob(value);
    ASSERT_TRUE(keyer.waitFor([&] { return heard().knob.size() == 3; }));
    EXPECT_EQ(heard().knob, std::vector({12, 19, 42}));
}

enum class MidText { Nothing, Unplug, FallSilent };

struct FailureRow
{
    const char *name;
    Answer answer;
    bool missing; // the port does not exist
    MidText midText;
    const char *reason;
    bool recovers; // the next text keys once the keyer answers again
};

class WinkeyerFailureTest : public WinkeyerTest, public ::testing::WithParamInterface<FailureRow>
{
};

// Each failure ends the text with a reason, and the next text tries the keyer again.
TEST_P(WinkeyerFailureTest, EndsTheTextWithAReasonAndTriesAgain)
{
    const FailureRow &row = GetParam();
    keyer.answer = row.answer;
    if (row.midText == MidText::Nothing) {
        service->open(row.missing ? QStringLiteral("/nonexistent/winkeyer") : keyer.path(), settings);
        service->send(textOf("CQ"));
    } else {
        openKeyer();
        sendAndKey("CQ CQ CQ", 1);
        if (row.midText == MidText::Unplug)
            keyer.unplug();
        else
            keyer.answer = Answer::Silent;
    }
    ASSERT_TRUE(waitForEnds({End::Failed}));
    const std::size_t failures = heard().failures.size(); // a missing port fails its open and the text
    EXPECT_TRUE(heard().failures.back().contains(QLatin1String(row.reason)))
        << heard().failures.back().toStdString();

    keyer.answer = Answer::Keyer;
    keyer.keying = true;
    service->send(textOf("E"));
    ASSERT_TRUE(waitForEnds({End::Failed, row.recovers ? End::Keyed : End::Failed}));
    EXPECT_EQ(heard().failures.size(), failures + (row.recovers ? 0 : 1));
    if (row.recovers) {
        EXPECT_EQ(heard().keyed.back(), 'E');
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Keyers, WinkeyerFailureTest, ::testing::Values(
    FailureRow{"Silent", Answer::Silent, false, MidText::Nothing, "No answer from a WinKeyer on", true},
    FailureRow{"WrongEcho", Answer::WrongEcho, false, MidText::Nothing, "answered the echo test with 0x56", true},
    FailureRow{"Missing", Answer::Keyer, true, MidText::Nothing, "Cannot open /nonexistent/winkeyer", false},
    FailureRow{"UnpluggedMidText", Answer::Keyer, false, MidText::Unplug, "is gone", false},
    FailureRow{"SilentMidText", Answer::Keyer, false, MidText::FallSilent, "stopped answering", true}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

} // namespace
