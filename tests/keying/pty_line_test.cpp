#include "keying_fixture.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace keying;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// A pseudo-terminal opens like a serial device but refuses the modem-control request (ENOTTY): the
// keying line's failure paths run against the real kernel. The clock stays virtual.
class PtyLineTest : public KeyingTest
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        store->setValue(KLKSerialDeviceKey, QString::fromUtf8(ptsname(master)));
        store->setValue(KLKSerialDTRKey, true);
    }

    void TearDown() override
    {
        controller.reset();
        if (ser_fd > 0)
            ::close(ser_fd); // a failed key-up leaves the port open
        ::close(master);
        KeyingTest::TearDown();
    }

    void startOnTheRealLine()
    {
        controller = std::make_unique<SerialController>(
            *store, [this]() -> ConsoleLog * { return &console; }, nullptr, &clock);
    }

    int master = -1;
};

const std::string refused = "Inappropriate ioctl for device\n";
const std::string mayBeKeyed =
    "*** Keylark : Serial RTS/DTR Clear failed 6 times; the transmitter may still be keyed: " + refused;

// A line that refuses every request: the transmission ends at its first element, and each key-up that
// could not be made says so.
TEST_F(PtyLineTest, LineThatRefusesEveryRequestEndsTheTransmission)
{
    startOnTheRealLine();
    CaptureStderr();
    sendAndWait(QStringLiteral("E E"));
    EXPECT_EQ(GetCapturedStderr(), "*** Keylark : Serial RTS/DTR Clear failed: " + refused + mayBeKeyed +
                                       "*** Keylrk : Serial RTS/DTR Set failed: " + refused +
                                       "*** Keylrk : Serial RTS/DTR Clear failed: " + refused + mayBeKeyed +
                                       "*** Keylark : Serial RTS/DTR Clear failed: " + refused + mayBeKeyed);
    EXPECT_EQ(console.log(), QStringLiteral("<T>E"));
    EXPECT_EQ(clock.elapsedMs(), 150.0); // three rounds of key-up attempts, nothing else
    EXPECT_GT(ser_fd, 0);                // the close could not key up, so the port stays open
    EXPECT_EQ(controller->cwIsSending(), 0);
}

TEST_F(PtyLineTest, OpenAtStartSucceedsOnAPseudoTerminal)
{
    store->setValue(KLKSerialStartUpOpenKey, true);
    CaptureStderr();
    startOnTheRealLine();
    EXPECT_EQ(GetCapturedStderr(), "*** Keylark : Serial RTS/DTR Clear failed: " + refused + mayBeKeyed);
    EXPECT_EQ(initialized, 1);
    EXPECT_GT(ser_fd, 0);
    EXPECT_EQ(fcntl(ser_fd, F_GETFL) & (O_ACCMODE | O_NONBLOCK), O_RDWR | O_NONBLOCK);
}

struct PtyRestRow
{
    const char *name;
    bool reverse;
    bool atB0;
};

class PtyRestTest : public PtyLineTest, public ::testing::WithParamInterface<PtyRestRow>
{
};

// The termios calls that keep the lines at rest succeed on a real tty: the port no longer hangs up on
// close, ignores carrier, and rests at B0 unless its keying line is active-low.
TEST_P(PtyRestTest, TermiosChangesSucceedOnARealTty)
{
    store->setValue(KLKSerialDTRReverseKey, GetParam().reverse);
    store->setValue(KLKSerialStartUpOpenKey, true);
    CaptureStderr();
    startOnTheRealLine();
    EXPECT_EQ(GetCapturedStderr().find("Serial line settings failed"), std::string::npos);
    ASSERT_GT(ser_fd, 2);
    termios attributes{};
    ASSERT_EQ(tcgetattr(ser_fd, &attributes), 0);
    EXPECT_EQ(attributes.c_cflag & (HUPCL | CLOCAL | CRTSCTS), tcflag_t(CLOCAL));
    EXPECT_EQ(cfgetospeed(&attributes) == B0, GetParam().atB0);
}

INSTANTIATE_TEST_SUITE_P(Wirings, PtyRestTest,
                         ::testing::Values(PtyRestRow{"ActiveHigh", false, true},
                                           PtyRestRow{"ActiveLow", true, false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
