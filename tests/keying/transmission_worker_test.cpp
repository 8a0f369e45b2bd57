#include "keying_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <future>

namespace {

using namespace keying;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class WorkerTest : public KeyingTest
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        store->setValue(KLKSerialDTRKey, true);
    }

    // Keying edges: the times of the key-down requests.
    std::vector<double> keyDowns() const
    {
        std::vector<double> times;
        for (const auto &[down, up] : keyDownPeriods())
            times.push_back(down);
        return times;
    }
};

TEST_F(WorkerTest, EchoesTheUpperCasedTextAfterATimestamp)
{
    start();
    sendAndWait(QStringLiteral("cq de ab1cd"));
    const QStringList calls = console.calls();
    ASSERT_EQ(calls.size(), 12);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^prompt:\\d\\d:\\d\\d:\\d\\d  $")).match(calls[0]).hasMatch())
        << calls[0].toStdString();
    EXPECT_EQ(console.log(), QStringLiteral("<T>CQ DE AB1CD"));
    EXPECT_EQ(controller->cwIsSending(), 0);
    EXPECT_EQ(line.calls().back().what, 'c');
    EXPECT_EQ(line.sets().back().bits, rtsdtr_off);
}

TEST_F(WorkerTest, EveryPassButTheFirstSinceClearingOpensWithALineFeed)
{
    start();
    sendAndWait(QStringLiteral("E"));
    sendAndWait(QStringLiteral("T"));
    controller->cwSendClear();
    sendAndWait(QStringLiteral("M"));
    EXPECT_EQ(console.log(), QStringLiteral("<T>E\n<T>T<T>M"));
}

TEST_F(WorkerTest, JoinedSignIsEchoedWithItsMarkers)
{
    start();
    sendAndWait(QStringLiteral("%sk%"));
    EXPECT_EQ(console.log(), QStringLiteral("<T>%SK%"));
    // S and K as one run of elements at element gaps.
    EXPECT_EQ(keyDowns(), (std::vector<double>{0, 200, 400, 600, 1000, 1200}));
    EXPECT_EQ(line.calls().back().atMs, 1500.0 + 100 + 300);
}

TEST_F(WorkerTest, UnpairedMarkerDoesNotCarryIntoTheNextTransmission)
{
    start();
    sendAndWait(QStringLiteral("%E"));
    EXPECT_EQ(line.calls().back().atMs, 200.0); // dit and an element gap: still joining
    sendAndWait(QStringLiteral("E"));
    EXPECT_EQ(line.calls().back().atMs, 600.0); // dit and a letter gap
}

TEST_F(WorkerTest, BytesAboveAsciiAreEchoedAsReplacementCharacters)
{
    start();
    sendAndWait(QStringLiteral("\u00e9"));
    EXPECT_EQ(console.log(), QStringLiteral("<T>\ufffd\ufffd"));
    EXPECT_EQ(clock.elapsedMs(), 800.0);
}

TEST_F(WorkerTest, EmptyTextGivesOneTimestamp)
{
    start();
    sendAndWait(QString());
    EXPECT_EQ(console.log(), QStringLiteral("<T>"));
    EXPECT_EQ(controller->cwIsSending(), 0);
}

TEST_F(WorkerTest, StopInTheMiddleEndsTheLineAtTheLastCharacterBegun)
{
    start();
    clock.onSleep = [this] {
        if (clock.sleeps() == 3) // during the first dah of P
            controller->cwSendStop();
    };
    sendAndWait(QStringLiteral("PARIS"));
    EXPECT_EQ(console.log(), QStringLiteral("<T>P"));
    EXPECT_EQ(keyDownPeriods(), (std::vector<std::pair<double, double>>{{0, 100}, {200, 500}}));
    EXPECT_EQ(controller->cwIsSending(), 0);
    EXPECT_EQ(sendStopFlag, 0); // cleared by the close
}

// A worker's thread holds its stack until it is joined: it is joined when it ends, not at the next send.
TEST_F(WorkerTest, AFinishedWorkerIsJoinedWithoutWaitingForTheNextSend)
{
    int argc = 1;
    char name[] = "keying_tests";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    start();
    ASSERT_EQ(controller->cwSendString(QStringLiteral("E")), 0);
    QElapsedTimer waited;
    waited.start();
    while (controller->workerCount() != 0 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(controller->workerCount(), 0u);
    EXPECT_EQ(console.log(), QStringLiteral("<T>E"));
}

TEST_F(WorkerTest, StopRaisedWhileIdleDoesNotStopTheNextTransmission)
{
    start();
    controller->cwSendStop();
    sendAndWait(QStringLiteral("EE"));
    EXPECT_EQ(console.log(), QStringLiteral("<T>EE"));
    EXPECT_EQ(keyDowns().size(), 2u);
}

TEST_F(WorkerTest, SecondSendStopsTheRunningTransmissionAndClearsTheInputLine)
{
    start();
    std::promise<void> running;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    clock.onSleep = [&, released] {
        if (clock.sleeps() == 1) {
            running.set_value();
            released.wait();
        }
    };
    ASSERT_EQ(controller->cwSendString(QStringLiteral("PARIS")), 0);
    running.get_future().wait();
    EXPECT_EQ(controller->cwIsSending(), 1);

    EXPECT_EQ(controller->cwSendString(QStringLiteral("SECOND")), 0);
    console.waitFor(QStringLiteral("clear"));
    EXPECT_EQ(sendStopFlag, 1);
    EXPECT_EQ(controller->cwIsSending(), 1);

    release.set_value();
    controller->joinWorkers();
    EXPECT_EQ(console.log(), QStringLiteral("<T>P"));
    EXPECT_EQ(console.calls().count(QStringLiteral("clear")), 1);
    EXPECT_EQ(controller->cwIsSending(), 0);
    EXPECT_EQ(line.count('o'), 1);
}

TEST_F(WorkerTest, BeaconRepeatsAfterItsDelayUntilStopped)
{
    store->setValue(KLKBeaconDelayKey, 3);
    start();
    clock.onSecond = [this](int second) {
        if (second == 5) // the second second of the second pause
            controller->cwSendStop();
    };
    controller->cwBeaconTransmission(); // raised while idle: applies to the next transmission
    sendAndWait(QStringLiteral("E"));
    EXPECT_EQ(console.log(), QStringLiteral("<T>E\n<T>E"));
    EXPECT_EQ(clock.seconds(), 5);
    EXPECT_EQ(keyDowns(), (std::vector<double>{0, 3400}));
    EXPECT_EQ(beaconFlag, 0);
    EXPECT_EQ(controller->cwIsSending(), 0);
}

// What the console's badge reads: armed from the request on, the pause counting down between passes.
TEST_F(WorkerTest, BeaconTellsArmedAndThePauseLeft)
{
    store->setValue(KLKBeaconDelayKey, 3);
    start();
    EXPECT_FALSE(controller->cwBeaconArmed());
    controller->cwBeaconTransmission();
    EXPECT_TRUE(controller->cwBeaconArmed());
    EXPECT_EQ(controller->cwBeaconPauseLeft(), 0);
    std::vector<int> pauseLeft;
    clock.onSecond = [this, &pauseLeft](int second) {
        pauseLeft.push_back(controller->cwBeaconPauseLeft());
        if (second == 4)
            controller->cwSendStop();
    };
    sendAndWait(QStringLiteral("E"));
    EXPECT_EQ(pauseLeft, (std::vector<int>{3, 2, 1, 3}));
    EXPECT_EQ(controller->cwBeaconPauseLeft(), 0);
    EXPECT_FALSE(controller->cwBeaconArmed());
}

TEST_F(WorkerTest, DisarmedBeaconSendsOnce)
{
    store->setValue(KLKBeaconDelayKey, 3);
    start();
    controller->cwBeaconTransmission();
    controller->cwBeaconDisarm();
    EXPECT_FALSE(controller->cwBeaconArmed());
    sendAndWait(QStringLiteral("E"));
    EXPECT_EQ(console.log(), QStringLiteral("<T>E"));
    EXPECT_EQ(clock.seconds(), 0);
}

TEST_F(WorkerTest, BeaconWithoutDelayStartsTheNextPassAtOnce)
{
    start();
    clock.onSleep = [this] {
        if (clock.sleeps() == 6) // three passes of E: a dit and a letter gap each
            controller->cwSendStop();
    };
    controller->cwBeaconTransmission();
    sendAndWait(QStringLiteral("E"));
    // The stop came in the last letter gap: the next pass begins and ends before its first character.
    EXPECT_EQ(console.log(), QStringLiteral("<T>E\n<T>E\n<T>E\n<T>"));
    EXPECT_EQ(keyDowns(), (std::vector<double>{0, 400, 800}));
    EXPECT_EQ(clock.seconds(), 0);
}

struct InstantBeaconRow
{
    const char *name;
    QString text;
    QString log;
};

class InstantBeaconTest : public WorkerTest, public ::testing::WithParamInterface<InstantBeaconRow>
{
};

// A pass that takes no time would repeat without end and flood the log: the beacon ends after one pass.
TEST_P(InstantBeaconTest, EndsAfterTheFirstPass)
{
    start();
    controller->cwBeaconTransmission();
    sendAndWait(GetParam().text);
    EXPECT_EQ(console.log(), GetParam().log);
    EXPECT_EQ(diagnostics(),
              QStringList{QStringLiteral("#.. Keylark : Beacon ended: the text takes no time to send.")});
    EXPECT_EQ(controller->cwIsSending(), 0);
}

INSTANTIATE_TEST_SUITE_P(Texts, InstantBeaconTest,
                         ::testing::Values(InstantBeaconRow{"Empty", QString(), QStringLiteral("<T>")},
                                           InstantBeaconRow{"OpeningMarker", QStringLiteral("%"),
                                                            QStringLiteral("<T>%")}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(WorkerTest, EmptyBeaconWithADelayRepeatsAndStopsWithinASecond)
{
    store->setValue(KLKBeaconDelayKey, 2);
    start();
    clock.onSecond = [this](int second) {
        if (second == 3)
            controller->cwSendStop();
    };
    controller->cwBeaconTransmission();
    sendAndWait(QString());
    EXPECT_EQ(console.log(), QStringLiteral("<T>\n<T>"));
    EXPECT_EQ(clock.seconds(), 3);
}

TEST_F(WorkerTest, TextTooLongIsCutAfterItsLastWholeCharacter)
{
    start();
    const QString text = QString(4094, u'E') + QChar(0xe9); // 4096 bytes in UTF-8
    CaptureStdout();
    sendAndWait(text);
    EXPECT_EQ(GetCapturedStdout(),
              "#.. Keylark : Text longer than 4095 bytes; sending its first 4094 bytes.\n");
    EXPECT_EQ(console.log(), QStringLiteral("<T>") + QString(4094, u'E'));
    EXPECT_EQ(keyDowns().size(), 4094u);
}

TEST_F(WorkerTest, TextThatFitsExactlyIsSentWhole)
{
    start();
    sendAndWait(QString(4095, u'T'));
    EXPECT_TRUE(diagnostics().isEmpty());
    EXPECT_EQ(keyDowns().size(), 4095u);
}

TEST_F(WorkerTest, TransmissionGoesOnWithoutAConsole)
{
    controller = std::make_unique<SerialController>(
        *store, []() -> ConsoleLog * { return nullptr; }, &line, &clock);
    sendAndWait(QStringLiteral("EE"));
    EXPECT_EQ(keyDowns(), (std::vector<double>{0, 400}));
}

TEST_F(WorkerTest, ShutdownStopsARunningBeaconAndLeavesTheLineKeyedUp)
{
    store->setValue(KLKSerialStartUpOpenKey, true);
    start();
    std::promise<void> running;
    clock.onSleep = [&] {
        if (clock.sleeps() == 50)
            running.set_value();
    };
    controller->cwBeaconTransmission();
    ASSERT_EQ(controller->cwSendString(QStringLiteral("PARIS")), 0);
    running.get_future().wait();
    controller->shutdown();
    EXPECT_EQ(controller->cwIsSending(), 0);
    EXPECT_EQ(line.sets().back().bits, rtsdtr_off);
    EXPECT_EQ(line.sets().back().fd, 7);
    EXPECT_EQ(controller->cwSendString(QStringLiteral("E")), -1); // no worker after shutdown
}

TEST_F(WorkerTest, SettingOutOfRangeIsReportedOncePerTransmission)
{
    store->setValue(KLKTimeDahKey, 1000);
    store->setValue(KLKWpmKey, 99);
    start();
    sendAndWait(QStringLiteral("TT"));
    sendAndWait(QStringLiteral("T"));
    const QString dah = QStringLiteral("#.. Keylark : \"timeDah\" 1000 is outside 1 to 10; using 10.");
    const QString speed = QStringLiteral("#.. Keylark : \"wpm\" 99 is outside 5 to 40; using 40.");
    EXPECT_EQ(diagnostics(), (QStringList{dah, speed, dah, speed, dah}));     // the first at start-up
    EXPECT_EQ(keyDownPeriods().front(), (std::pair<double, double>{0, 300})); // ten dits of 30 ms
}

struct LongElementRow
{
    double requestMs; // from the start of a 2400 ms dah
    double keyUpMs;
};

class StopDuringALongElementTest : public WorkerTest, public ::testing::WithParamInterface<LongElementRow>
{
};

// The longest element the ranges allow: a stop cuts it unless less than 0.75 s of it is left.
TEST_P(StopDuringALongElementTest, KeysUpWithinTheGrace)
{
    store->setValue(KLKWpmKey, 5);
    store->setValue(KLKTimeDahKey, 10);
    start();
    clock.at(GetParam().requestMs, [this] { controller->cwSendStop(); });
    sendAndWait(QStringLiteral("TT"));
    EXPECT_EQ(keyDownPeriods(), (std::vector<std::pair<double, double>>{{0, GetParam().keyUpMs}}));
    EXPECT_EQ(line.sets().back().bits, rtsdtr_off);
}

INSTANTIATE_TEST_SUITE_P(Requests, StopDuringALongElementTest,
                         ::testing::Values(LongElementRow{100, 100}, LongElementRow{1600, 1600},
                                           LongElementRow{1650, 2400}));

TEST_F(WorkerTest, DestroyingTheControllerCutsALongElement)
{
    store->setValue(KLKWpmKey, 5);
    store->setValue(KLKTimeDahKey, 10);
    start();
    std::promise<void> keyed;
    clock.onSleep = [&] {
        if (clock.sleeps() != 2) // the second slice of the dah
            return;
        keyed.set_value();
        while (sendStopFlag == 0) // until the shutdown has begun
            std::this_thread::yield();
    };
    ASSERT_EQ(controller->cwSendString(QStringLiteral("T")), 0);
    keyed.get_future().wait();
    controller.reset();
    EXPECT_EQ(keyDownPeriods(), (std::vector<std::pair<double, double>>{{0, 100}}));
    EXPECT_EQ(G_thread, 0);
}

} // namespace
