#include "icom_stand_in.h"
#include "kenwood_stand_in.h"
#include "radio/radio_keyer.h"
#include "rigctld_process.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

enum class Route { Direct, Rigctld };

// What the keyer told, on the test's thread.
struct Heard
{
    std::vector<std::pair<quint64, int>> keyed;
    std::vector<std::pair<quint64, bool>> ended;
    int cannotStop = 0;
};

class RadioTest : public ::testing::Test
{
protected:
    explicit RadioTest(Route route) : route(route) { start(48); }

    void start(int capacity) { start(std::make_unique<KenwoodStandIn>(capacity), ts590s); }

    void start(std::unique_ptr<StandInRadio> standIn, int rigModel)
    {
        keyer.reset();
        radio = std::move(standIn);
        model = rigModel;
        keyer = std::make_unique<RadioKeyer>();
        QObject::connect(keyer.get(), &RadioKeyer::characterKeyed, &context,
                         [this](quint64 text, int index) { heard.keyed.emplace_back(text, index); });
        QObject::connect(keyer.get(), &RadioKeyer::textEnded, &context,
                         [this](quint64 text, bool whole) { heard.ended.emplace_back(text, whole); });
        QObject::connect(keyer.get(), &RadioKeyer::cannotStopMidText, &context,
                         [this] { ++heard.cannotStop; });
    }

    void open(int wpm, bool startRigctld = true)
    {
        keyer->setSpeed(wpm);
        if (route == Route::Direct) {
            keyer->open(RadioConnection::onSerialPort(model, radio->path(), 19200));
        } else if (startRigctld) {
            rigctld = std::make_unique<RigctldProcess>(model, radio->path());
            ASSERT_TRUE(rigctld->isListening());
            keyer->open(RadioConnection::throughRigctld(QStringLiteral("127.0.0.1"), rigctld->port(), model));
        } else {
            keyer->open(
                RadioConnection::throughRigctld(QStringLiteral("127.0.0.1"), RigctldProcess::freePort()));
        }
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return keyer->state() != RadioKeyer::State::Opening &&
                       keyer->state() != RadioKeyer::State::Closed;
            },
            radioWaitMs));
    }

    bool ended(quint64 text) const
    {
        return std::any_of(heard.ended.begin(), heard.ended.end(),
                           [text](auto e) { return e.first == text; });
    }

    bool waitForEnd(quint64 text)
    {
        return QTest::qWaitFor([&] { return ended(text); }, radioWaitMs);
    }

    // At 20 wpm, a stop once the first of four words' first character is out; the text ends cut short.
    void stopAfterTheFirstCharacter()
    {
        open(20);
        const quint64 text = keyer->send("AAA BBB CCC DDD");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.keyed.empty(); }, radioWaitMs));
        keyer->stop();
        ASSERT_TRUE(waitForEnd(text));
        EXPECT_EQ(heard.ended.back(), std::make_pair(text, false));
    }

    // The words of the KY pieces, without the radio's padding.
    std::vector<QByteArray> words() const
    {
        std::vector<QByteArray> words;
        for (const QByteArray &piece : radio->pieces())
            words.push_back(piece.trimmed());
        return words;
    }

    const Route route;
    int model = ts590s;
    QObject context;
    Heard heard;
    std::unique_ptr<StandInRadio> radio;
    std::unique_ptr<RigctldProcess> rigctld;
    std::unique_ptr<RadioKeyer> keyer;
};

class RadioKeyerTest : public RadioTest, public ::testing::WithParamInterface<Route>
{
protected:
    RadioKeyerTest() : RadioTest(GetParam()) {}
};

// The text reaches the radio a word at a time and in order, each word after the speed was set, and the
// echo names every character of it once, in order, before the text ends whole.
TEST_P(RadioKeyerTest, TextGoesOutAWordAtATimeAtTheSpeedSet)
{
    open(48);
    const quint64 text = keyer->send("CQ TEST DE K1ABC K");
    ASSERT_TRUE(waitForEnd(text));
    EXPECT_EQ(heard.ended.back(), std::make_pair(text, true));
    EXPECT_EQ(words(), (std::vector<QByteArray>{"CQ", "TEST", "DE", "K1ABC", "K"}));
    EXPECT_EQ(radio->speeds().front(), 48);
    ASSERT_EQ(heard.keyed.size(), 18u);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(heard.keyed[i], std::make_pair(text, i));
    EXPECT_TRUE(QTest::qWaitFor([&] { return radio->keyedText() == "CQ TEST DE K1ABC K"; }, radioWaitMs));
}

// A change of speed reaches the radio while the text is keyed, before its last word.
TEST_P(RadioKeyerTest, SpeedFollowsAChangeWhileKeying)
{
    open(40);
    const quint64 text = keyer->send("TEST TEST TEST TEST TEST");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.keyed.empty(); }, radioWaitMs));
    keyer->setSpeed(55);
    ASSERT_TRUE(waitForEnd(text));
    const std::vector<int> speeds = radio->speeds();
    EXPECT_EQ(speeds.front(), 40);
    EXPECT_EQ(speeds.back(), 55);
    const std::vector<QByteArray> commands = radio->commands();
    const auto firstAt55 = std::find(commands.begin(), commands.end(), QByteArray("KS055"));
    EXPECT_LT(std::count_if(commands.begin(), firstAt55, [](auto c) { return c.startsWith("KY "); }), 5);
}

// Kenwood's keyer cannot be stopped through Hamlib: a stop sends nothing more, the radio keys what it
// holds, the keyer says once that it could not stop, and the text ends cut short.
TEST_P(RadioKeyerTest, StopSendsNothingAfterThePieceTheRadioHolds)
{
    stopAfterTheFirstCharacter();
    EXPECT_EQ(words(), std::vector<QByteArray>{"AAA"});
    EXPECT_EQ(heard.keyed.size(), 4u); // the echo follows the radio to the end of what it holds
    EXPECT_EQ(heard.cannotStop, 1);
    EXPECT_FALSE(keyer->stopsMidText());
    EXPECT_FALSE(keyer->isSending());
}

// Icom's keyer stops mid-text: a stop empties the radio's buffer, and the echo ends where the radio did.
// A speed past the radio's range keys at the nearest it has.
TEST_P(RadioKeyerTest, StopCutsAnIcomsKeyerMidPiece)
{
    start(std::make_unique<IcomStandIn>(), ic7300);
    stopAfterTheFirstCharacter();
    EXPECT_EQ(radio->stops(), 1);
    EXPECT_EQ(radio->pieces().size(), 1u);
    EXPECT_TRUE(radio->buffered().isEmpty());
    EXPECT_LT(radio->keyedText().size(), 3);
    EXPECT_LT(heard.keyed.size(), 3u);
    EXPECT_EQ(heard.cannotStop, 0);
    EXPECT_TRUE(keyer->stopsMidText());
    keyer->setSpeed(60); // past the IC-7300's fastest
    EXPECT_TRUE(QTest::qWaitFor([&] { return radio->speeds().back() == 48; }, radioWaitMs));
}

// An Icom keys every space it is given: the radio keys the text as given, directly and through a rigctld
// that puts a space before each text it passes on (which leaves one before the first word).
TEST_P(RadioKeyerTest, IcomKeysTheTextAsGiven)
{
    start(std::make_unique<IcomStandIn>(), ic7300);
    open(48);
    const quint64 text = keyer->send("CQ DE K1ABC");
    ASSERT_TRUE(waitForEnd(text));
    EXPECT_TRUE(QTest::qWaitFor([&] { return radio->keyedText().trimmed() == "CQ DE K1ABC"; }, radioWaitMs))
        << radio->keyedText().toStdString();
}

// A radio whose buffer is full answers KY1: Hamlib asks again until there is room, and nothing is lost.
TEST_P(RadioKeyerTest, FullBufferMakesTheKeyerWaitNotDrop)
{
    start(1);
    open(60);
    const quint64 text = keyer->send("AB CD EF");
    ASSERT_TRUE(waitForEnd(text));
    EXPECT_TRUE(QTest::qWaitFor([&] { return radio->keyedText() == "AB CD EF"; }, radioWaitMs));
    EXPECT_FALSE(radio->overflowed());
    const std::vector<QByteArray> commands = radio->commands();
    EXPECT_GT(std::count(commands.begin(), commands.end(), QByteArray("KY")), 3);
}

enum class Fault { RadioOff, SilentMidText, CablePulledMidText, NoRigctld, BufferNeverFrees };

struct FaultRow
{
    const char *name;
    Fault fault;
    Route route;
    QString failure;
    QString hint;
};

const QString timedOut = QStringLiteral("Communication timed out");
const QString noAnswer =
    QStringLiteral("No answer within %1 s").arg(RadioKeyer::callDeadline.count() / 1000.0);
const QString ioError = QStringLiteral("IO error");
const QString checkRadio = QStringLiteral("Is the radio on, and are its model and serial speed right?");
const QString checkCable = QStringLiteral("Is the cable in, and the port free of other programs?");
const QString checkRadioBehind = QStringLiteral("Is the radio behind rigctld on and answering?");
const QString checkRigctld = QStringLiteral("Is rigctld running at that host and port?");

class RadioFaultTest : public RadioTest, public ::testing::WithParamInterface<FaultRow>
{
protected:
    RadioFaultTest() : RadioTest(GetParam().route) {}
};

// A radio that never answers, or stops answering mid-text, fails the text with Hamlib's words within a
// bounded time; nothing hangs, and the next text tries the radio again.
TEST_P(RadioFaultTest, FailsTheTextWithHamlibsWordsAndTriesAgain)
{
    const FaultRow row = GetParam();
    if (row.fault == Fault::RadioOff)
        radio->goSilent();
    if (row.fault == Fault::SilentMidText)
        radio->goSilentAfterPieces(1);
    if (row.fault == Fault::BufferNeverFrees)
        radio->setCapacity(0); // KY1 for ever: only the keyer's own deadline ends Hamlib's wait
    open(40, row.fault != Fault::NoRigctld);
    QElapsedTimer elapsed;
    elapsed.start();
    const quint64 text = keyer->send("TEST TEST TEST");
    if (row.fault == Fault::CablePulledMidText) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.keyed.empty(); }, radioWaitMs));
        radio->pullCable();
    }
    ASSERT_TRUE(waitForEnd(text));
    EXPECT_LT(elapsed.elapsed(), (RadioKeyer::openDeadline + RadioKeyer::callDeadline).count());
    EXPECT_EQ(heard.ended.back(), std::make_pair(text, false));
    EXPECT_EQ(keyer->state(), RadioKeyer::State::Failed);
    EXPECT_EQ(keyer->failure(), row.failure);
    EXPECT_EQ(keyer->hint(), row.hint);
    if (row.fault == Fault::CablePulledMidText || row.fault == Fault::NoRigctld)
        return;
    radio->answerAgain();
    radio->setCapacity(48);
    const quint64 again = keyer->send("OK");
    ASSERT_TRUE(waitForEnd(again));
    EXPECT_EQ(heard.ended.back(), std::make_pair(again, true));
    EXPECT_EQ(words().back(), "OK");
}

INSTANTIATE_TEST_SUITE_P(Routes, RadioKeyerTest, ::testing::Values(Route::Direct, Route::Rigctld),
                         [](const auto &info) { return info.param == Route::Direct ? "Direct" : "Rigctld"; });

// clang-format off
INSTANTIATE_TEST_SUITE_P(Faults, RadioFaultTest, ::testing::Values(
    FaultRow{"RadioOff",                   Fault::RadioOff,           Route::Direct,  timedOut, checkRadio},
    FaultRow{"SilentMidText",              Fault::SilentMidText,      Route::Direct,  timedOut, checkRadio},
    FaultRow{"CablePulledMidText",         Fault::CablePulledMidText, Route::Direct,  ioError,  checkCable},
    FaultRow{"RadioOffBehindRigctld",      Fault::RadioOff,           Route::Rigctld, timedOut, checkRadioBehind},
    FaultRow{"SilentMidTextBehindRigctld", Fault::SilentMidText,      Route::Rigctld, timedOut, checkRadioBehind},
    FaultRow{"CablePulledBehindRigctld",   Fault::CablePulledMidText, Route::Rigctld, timedOut, checkRadioBehind},
    FaultRow{"BufferNeverFrees",           Fault::BufferNeverFrees,   Route::Direct,  noAnswer, checkRadio},
    FaultRow{"RigctldNotRunning",          Fault::NoRigctld,          Route::Rigctld, ioError,  checkRigctld}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

} // namespace
