#include "keying/timeline_queue.h"
#include "keying_fixture.h"
#include "list_source.h"

#include <latch>
#include <thread>

namespace {

using namespace keying;

const std::vector<std::pair<double, double>> parisAtTwelve = {
    {0, 100},     {200, 500},   {600, 900},   {1000, 1100}, {1400, 1500}, {1600, 1900}, {2200, 2300},
    {2400, 2700}, {2800, 2900}, {3200, 3300}, {3400, 3500}, {3800, 3900}, {4000, 4100}, {4200, 4300}};

class PracticeTest : public KeyingTest
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB7"));
        store->setValue(KLKSerialDTRKey, true);
        store->setValue(KLKPracticeModeKey, true);
        line.openError = ENOENT; // were the port opened, it would fail
    }

    std::vector<std::pair<double, double>> timelinePeriods()
    {
        std::vector<std::pair<double, double>> periods;
        KeyEvent event;
        while (queue.take(event)) {
            if (event.edge == KeyEvent::Edge::Down) {
                const double at = double(event.instant - VirtualClock::origin) / 1e6;
                periods.emplace_back(at, at + double(event.length) / 1e6);
            }
        }
        return periods;
    }

    bool opened() const
    {
        for (const RecordingLine::Call &call : line.calls()) {
            if (call.what == 'o')
                return true;
        }
        return false;
    }

    TimelineQueue queue;
};

struct ModeRow
{
    const char *name;
    int openAtStart;
};

class PracticeModeTest : public PracticeTest, public ::testing::WithParamInterface<ModeRow>
{
};

// In practice nothing is opened and nothing is said about the port, and the text runs as on the air:
// echo, timestamps, and every element on the timeline at its time.
TEST_P(PracticeModeTest, KeysNoPortAndRunsAsOnTheAir)
{
    store->setValue(KLKSerialStartUpOpenKey, GetParam().openAtStart);
    SerialController &serial = start();
    EXPECT_EQ(initialized, 1);
    serial.elementTimeline()->subscribe(&queue);
    sendAndWait(QStringLiteral("PARIS "));
    serial.elementTimeline()->unsubscribe(&queue);
    EXPECT_FALSE(opened());
    EXPECT_TRUE(line.calls().empty());
    EXPECT_TRUE(diagnostics().isEmpty()) << diagnostics().join(u'\n').toStdString();
    EXPECT_EQ(console.log(), QStringLiteral("<T>PARIS "));
    EXPECT_EQ(timelinePeriods(), parisAtTwelve);
    EXPECT_EQ(clock.elapsedMs(), 5000.0);
    EXPECT_EQ(serial.cwIsSending(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothOpenModes, PracticeModeTest,
                         ::testing::Values(ModeRow{"OpenPerTransmission", 0}, ModeRow{"OpenAtStart", 1}),
                         [](const auto &info) { return std::string(info.param.name); });

// A beacon repeats in practice as on the air, and stops on request.
TEST_F(PracticeTest, BeaconRepeatsWithoutAPort)
{
    store->setValue(KLKBeaconDelayKey, 1);
    SerialController &serial = start();
    clock.onSecond = [&](int second) {
        if (second == 2)
            serial.cwSendStop();
    };
    serial.cwBeaconTransmission();
    sendAndWait(QStringLiteral("E"));
    EXPECT_EQ(console.log(), QStringLiteral("<T>E\n<T>E"));
    EXPECT_FALSE(opened());
}

// A port that failed to open at start refuses every transmission on the air, but practice still runs.
TEST_F(PracticeTest, PracticeRunsAfterAFailedStart)
{
    store->setValue(KLKPracticeModeKey, false);
    store->setValue(KLKSerialStartUpOpenKey, 1);
    SerialController &serial = start();
    ASSERT_EQ(initialized, -1);
    EXPECT_EQ(serial.cwSendString(QStringLiteral("E")), -1);
    store->setValue(KLKPracticeModeKey, true);
    sendAndWait(QStringLiteral("E"));
    EXPECT_EQ(console.log(), QStringLiteral("<T>E"));
}

// Started in practice with the port to be opened at start: the first transmission on the air opens it.
TEST_F(PracticeTest, FirstTransmissionOnTheAirOpensThePortPracticeKeptClosed)
{
    line.openError = 0;
    store->setValue(KLKSerialStartUpOpenKey, 1);
    start();
    EXPECT_FALSE(opened());
    store->setValue(KLKPracticeModeKey, false);
    sendAndWait(QStringLiteral("E"));
    EXPECT_TRUE(opened());
    EXPECT_EQ(keyDownPeriods(), (std::vector<std::pair<double, double>>{{0, 100}}));
    EXPECT_NE(ser_fd, 0); // and keeps it open, as at start
}

// Texts from other sources (a logger over the network) and a tune run in practice as on the air: no port,
// and every key-down on the timeline, the tune's with its whole length.
TEST_F(PracticeTest, QueuedTextsAndTuneKeyNoPort)
{
    SerialController &serial = start();
    ListSource source;
    serial.setTextSource(&source);
    serial.elementTimeline()->subscribe(&queue);
    source.add({.id = 1, .steps = stepsOf("E"), .practice = true});
    source.add({.id = 2, .steps = {{KeyingStep::Kind::Tune, 2}}, .practice = true});
    ASSERT_EQ(serial.cwSendQueued(), 0);
    serial.joinWorkers();
    serial.elementTimeline()->unsubscribe(&queue);
    serial.setTextSource(nullptr);
    EXPECT_FALSE(opened());
    EXPECT_TRUE(line.calls().empty());
    EXPECT_TRUE(diagnostics().isEmpty()) << diagnostics().join(u'\n').toStdString();
    EXPECT_EQ(source.keyed(), (std::vector<std::uint64_t>{1, 2}));
    EXPECT_EQ(timelinePeriods(), (std::vector<std::pair<double, double>>{{0, 100}, {400, 2400}}));
}

struct SwitchRow
{
    const char *name;
    bool practiceFirst;
};

class PracticeSwitchTest : public PracticeTest, public ::testing::WithParamInterface<SwitchRow>
{
};

// Switching practice mode during a transmission stops it at the next element: what was meant for practice
// does not go on on the air, nor the other way round.
TEST_P(PracticeSwitchTest, SwitchingStopsTheTransmission)
{
    line.openError = 0;
    store->setValue(KLKPracticeModeKey, GetParam().practiceFirst);
    SerialController &serial = start();
    std::latch reached(1), switched(1);
    clock.at(1100, [&] { // the end of P's last element
        reached.count_down();
        switched.wait();
    });
    ASSERT_EQ(serial.cwSendString(QStringLiteral("PARIS PARIS")), 0);
    reached.wait();
    store->setValue(KLKPracticeModeKey,
                    !GetParam().practiceFirst); // on the store's thread, as the console does
    switched.count_down();
    serial.joinWorkers();
    EXPECT_EQ(console.log(), QStringLiteral("<T>P"));
    EXPECT_EQ(serial.cwIsSending(), 0);
    // P's four elements on the air, then nothing; or nothing at all.
    EXPECT_EQ(keyDownPeriods().size(), GetParam().practiceFirst ? 0u : 4u);
    if (!line.sets().empty()) {
        EXPECT_EQ(line.sets().back().bits, keying::rtsdtr_off);
    }
}

INSTANTIATE_TEST_SUITE_P(BothWays, PracticeSwitchTest,
                         ::testing::Values(SwitchRow{"IntoPractice", false},
                                           SwitchRow{"OutOfPractice", true}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
