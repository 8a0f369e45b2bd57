#include "keying_fixture.h"

namespace {

using namespace keying;

const QString mayBeKeyed = QStringLiteral("*** Keylark : Serial RTS/DTR Clear failed 6 times; the "
                                          "transmitter may still be keyed: Input/output error");

class KeyUpTest : public KeyingTest, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        store->setValue(KLKSerialDTRKey, true);
        store->setValue(KLKSerialStartUpOpenKey, GetParam());
        store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
    }

    // The modem-control state the port was last left in.
    int lastLinesSet() const
    {
        int bits = -1;
        for (const RecordingLine::Call &call : line.sets())
            if (call.ok)
                bits = call.bits;
        return bits;
    }
};

// A refused key-up on the last element (a USB adapter's passing error) is tried again.
TEST_P(KeyUpTest, PassingFailureOnTheLastElementLeavesTheLineKeyedUp)
{
    start();
    line.setError = EIO;
    line.failSetBits = 0;
    line.failures = 1;
    sendAndWait(QStringLiteral("E"));
    EXPECT_EQ(lastLinesSet(), 0);
    EXPECT_FALSE(diagnostics().contains(mayBeKeyed));
    EXPECT_EQ(controller->cwIsSending(), 0);
}

// A line that never keys up again: the transmission ends, and standard error and the status bar (the
// diagnostics observer) say that the transmitter may still be keyed.
TEST_P(KeyUpTest, LastingFailureEndsTheTransmissionAndIsReported)
{
    start();
    line.failSetBits = 0;
    clock.at(100, [this] { line.setError = EIO; }); // from the end of the first dit on
    sendAndWait(QStringLiteral("EE"));
    const auto sets = line.sets();
    EXPECT_EQ(std::count_if(sets.begin(), sets.end(), [](const auto &call) { return call.bits == 2; }),
              1);                                  // the second E is not keyed
    EXPECT_EQ(diagnostics().count(mayBeKeyed), 2); // after the element, and again at the end
    EXPECT_EQ(controller->cwIsSending(), 0);
    EXPECT_EQ(ser_fd, 7); // a port that could not be keyed up is not closed
    EXPECT_EQ(line.count('c'), 0);
}

TEST_P(KeyUpTest, StopEndsWithTheLineKeyedUp)
{
    start();
    clock.at(150, [this] { controller->cwSendStop(); });
    sendAndWait(QStringLiteral("PARIS"));
    EXPECT_EQ(lastLinesSet(), 0);
    EXPECT_EQ(line.count('c'), GetParam() ? 0 : 1);
}

TEST_P(KeyUpTest, ShutdownClosesThePortKeyedUp)
{
    start();
    sendAndWait(QStringLiteral("E"));
    controller->shutdown();
    EXPECT_EQ(lastLinesSet(), 0);
    EXPECT_EQ(line.calls().back().what, 'c');
    EXPECT_EQ(ser_fd, 0);
}

INSTANTIATE_TEST_SUITE_P(PortModes, KeyUpTest, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "OpenAtStart" : "PerTransmission"; });

} // namespace
