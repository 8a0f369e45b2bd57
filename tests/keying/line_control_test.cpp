#include "keying/serial_line.h"
#include "keying_fixture.h"

#include <fcntl.h>
#include <optional>

namespace {

using namespace keying;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct LineRow
{
    bool dtr, dtrReverse, rts, rtsReverse;
    int on, off;
};

class LineCombinationTest : public KeyingTest, public ::testing::WithParamInterface<LineRow>
{
};

TEST_P(LineCombinationTest, SettingsGiveTheKeyDownAndKeyUpSets)
{
    const LineRow row = GetParam();
    const std::pair<QString, bool> settings[] = {{KLKSerialDTRKey, row.dtr},
                                                 {KLKSerialDTRReverseKey, row.dtrReverse},
                                                 {KLKSerialRTSKey, row.rts},
                                                 {KLKSerialRTSReverseKey, row.rtsReverse}};
    for (const auto &[key, set] : settings) {
        if (set)
            store->setValue(key, true);
    }
    getRTSDTR(*store);
    EXPECT_EQ(rtsdtr_on, row.on);
    EXPECT_EQ(rtsdtr_off, row.off);
    EXPECT_EQ(dtr_line, int(row.dtr));
    EXPECT_EQ(dtr_line_reverse, int(row.dtrReverse));
    EXPECT_EQ(rts_line, int(row.rts));
    EXPECT_EQ(rts_line_reverse, int(row.rtsReverse));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(SixteenCombinations, LineCombinationTest, ::testing::Values(
    //      DTR    DTRR   RTS    RTSR   on off
    LineRow{false, false, false, false, 0, 0},
    LineRow{false, false, false, true,  0, 4},
    LineRow{false, false, true,  false, 4, 0},
    LineRow{false, false, true,  true,  0, 4},
    LineRow{false, true,  false, false, 0, 2},
    LineRow{false, true,  false, true,  0, 6},
    LineRow{false, true,  true,  false, 4, 2},
    LineRow{false, true,  true,  true,  0, 6},
    LineRow{true,  false, false, false, 2, 0},
    LineRow{true,  false, false, true,  2, 4},
    LineRow{true,  false, true,  false, 6, 0},
    LineRow{true,  false, true,  true,  2, 4},
    LineRow{true,  true,  false, false, 0, 2},
    LineRow{true,  true,  false, true,  0, 6},
    LineRow{true,  true,  true,  false, 4, 2},
    LineRow{true,  true,  true,  true,  0, 6}));
// clang-format on

class LineIdentityTest : public KeyingTest, public ::testing::WithParamInterface<QVariant>
{
};

TEST_P(LineIdentityTest, OnlyTheBooleanTrueItselfCountsAsSet)
{
    for (const QString &key :
         {KLKSerialDTRKey, KLKSerialDTRReverseKey, KLKSerialRTSKey, KLKSerialRTSReverseKey})
        store->setValue(key, GetParam());
    rtsdtr_on = rtsdtr_off = 6;
    getRTSDTR(*store);
    EXPECT_EQ(dtr_line + dtr_line_reverse + rts_line + rts_line_reverse, 0);
    EXPECT_EQ(rtsdtr_on, 0);
    EXPECT_EQ(rtsdtr_off, 0);
}

INSTANTIATE_TEST_SUITE_P(NotBooleanTrue, LineIdentityTest,
                         ::testing::Values(QVariant(1), QVariant(QStringLiteral("1")),
                                           QVariant(QStringLiteral("YES")), QVariant(false), QVariant(1.0)));

TEST_F(KeyingTest, LineSettingsAreReadAfreshEachTime)
{
    store->setValue(KLKSerialDTRKey, true);
    getRTSDTR(*store);
    EXPECT_EQ(rtsdtr_on, 2);
    store->setValue(KLKSerialDTRKey, false);
    store->setValue(KLKSerialRTSKey, true);
    getRTSDTR(*store);
    EXPECT_EQ(rtsdtr_on, 4);
    EXPECT_EQ(rtsdtr_off, 0);
}

class SerialLineTest : public KeyingTest
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        serial.emplace(*store, line, clock);
    }

    std::optional<SerialLine> serial;
};

TEST_F(SerialLineTest, OpenSerialOpensWithoutWaitingForCarrierAndDropsTheLines)
{
    rtsdtr_off = 4;
    EXPECT_EQ(serial->openSerial("/dev/ttyUSB3"), 7);
    EXPECT_EQ(ser_fd, 0); // the caller stores it
    const auto calls = line.portCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].what, 'o');
    EXPECT_EQ(calls[0].path, QStringLiteral("/dev/ttyUSB3"));
    EXPECT_EQ(calls[0].bits, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_EQ(calls[1].what, 's');
    EXPECT_EQ(calls[1].fd, 7);
    EXPECT_EQ(calls[1].bits, 4);
}

struct RestRow
{
    const char *name;
    int on, off;
    speed_t speedBefore;
    tcflag_t flagsBefore;
    speed_t speedAfter;
    bool changed;
};

class RestSettingsTest : public SerialLineTest, public ::testing::WithParamInterface<RestRow>
{
};

// The port is told to leave its lines alone when it closes, and rests at B0 unless every keying line is
// active-low; a port already set so is not set again.
TEST_P(RestSettingsTest, OpenLeavesThePortHoldingItsLines)
{
    const RestRow row = GetParam();
    rtsdtr_on = row.on;
    rtsdtr_off = row.off;
    line.attributes.c_cflag = row.flagsBefore;
    cfsetospeed(&line.attributes, row.speedBefore);
    ASSERT_TRUE(serial->open("/dev/ttyUSB0"));
    EXPECT_EQ(cfgetospeed(&line.attributes), row.speedAfter);
    EXPECT_EQ(line.attributes.c_cflag & (HUPCL | CLOCAL | CRTSCTS), tcflag_t(CLOCAL));
    EXPECT_EQ(line.count('t'), row.changed ? 1 : 0);
    std::string order;
    for (const auto &call : line.calls())
        order += call.what;
    EXPECT_EQ(order, row.changed ? "ogts" : "ogs"); // the key-up set comes last: it undoes a change of speed
}

constexpr tcflag_t fresh = CS8 | CREAD | HUPCL | CLOCAL;
constexpr tcflag_t atRest = CS8 | CREAD | CLOCAL;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Wirings, RestSettingsTest, ::testing::Values(
    RestRow{"ActiveHighGoesToB0",           2, 0, B9600, fresh,             B0,    true},
    RestRow{"NothingKeyedGoesToB0",         0, 0, B9600, fresh,             B0,    true},
    RestRow{"MixedGoesToB0",                4, 2, B9600, fresh,             B0,    true},
    RestRow{"ActiveLowKeepsItsSpeed",       0, 2, B9600, fresh,             B9600, true},
    RestRow{"ActiveLowLeavesB0",            0, 6, B0,    atRest,            B9600, true},
    RestRow{"FlowControlIsTurnedOff",       0, 4, B9600, atRest | CRTSCTS,  B9600, true},
    RestRow{"CarrierIsIgnored",             2, 0, B0,    CS8 | CREAD,       B0,    true},
    RestRow{"ActiveHighAlreadyAtRest",      2, 0, B0,    atRest,            B0,    false},
    RestRow{"ActiveLowAlreadyAtRest",       0, 6, B4800, atRest,            B4800, false}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(SerialLineTest, PortWithoutAttributesIsStillOpenedAndKeyedUp)
{
    line.attributesError = ENOTTY;
    rtsdtr_off = 4;
    CaptureStderr();
    ASSERT_TRUE(serial->open("/dev/ttyUSB0"));
    EXPECT_EQ(GetCapturedStderr(),
              "*** Keylark : Serial line settings failed; the lines may move when the port "
              "closes: Inappropriate ioctl for device\n");
    EXPECT_EQ(line.sets().back().bits, 4);
}

struct DescriptorRow
{
    int opened;
    int used;
};

class DescriptorTest : public SerialLineTest, public ::testing::WithParamInterface<DescriptorRow>
{
};

// Opened while a standard stream was closed, the port would get descriptor 0, 1 or 2; 0 reads as "no
// port", which leaked it and skipped its key-up at shutdown.
TEST_P(DescriptorTest, PortIsKeptAboveTheStandardStreams)
{
    line.descriptor = GetParam().opened;
    ASSERT_TRUE(serial->open("/dev/ttyUSB3"));
    EXPECT_EQ(ser_fd, GetParam().used);
    ASSERT_TRUE(serial->close());
    EXPECT_EQ(line.calls().back().what, 'c');
    EXPECT_EQ(line.calls().back().fd, GetParam().used);
    EXPECT_EQ(line.count('c'), GetParam().opened == GetParam().used ? 1 : 2);
    EXPECT_EQ(ser_fd, 0);
}

INSTANTIATE_TEST_SUITE_P(Descriptors, DescriptorTest,
                         ::testing::Values(DescriptorRow{0, 11}, DescriptorRow{1, 11}, DescriptorRow{2, 11},
                                           DescriptorRow{3, 3}, DescriptorRow{9, 9}));

TEST_F(SerialLineTest, PortThatCannotBeMovedAboveTheStandardStreamsIsNotUsed)
{
    line.descriptor = 0;
    line.duplicateTo = -1;
    CaptureStderr();
    EXPECT_FALSE(serial->open("/dev/ttyUSB3"));
    EXPECT_EQ(GetCapturedStderr(), "*** Keylark : Serial device : Too many open files\n");
    EXPECT_EQ(line.calls().back().what, 'c');
    EXPECT_EQ(line.calls().back().fd, 0);
    EXPECT_EQ(ser_fd, 0);
}

TEST_F(SerialLineTest, OpenSerialWithAPortOpenReturnsItAndOpensNothing)
{
    ser_fd = 12;
    EXPECT_EQ(serial->openSerial("/dev/ttyUSB3"), 12);
    EXPECT_TRUE(line.calls().empty());
}

TEST_F(SerialLineTest, OpenSerialFailureIsReportedOnStandardError)
{
    line.openError = EACCES;
    CaptureStderr();
    EXPECT_LT(serial->openSerial("/dev/ttyUSB3"), 0);
    EXPECT_EQ(GetCapturedStderr(), "*** Keylark : Serial device : Permission denied\n");
    EXPECT_EQ(line.count('s'), 0);
}

TEST_F(KeyingTest, OpeningAnEmptyPathFailsWithTheSystemsText)
{
    SerialLine serial(*store, LineSystem::system(), clock);
    CaptureStderr();
    EXPECT_LT(serial.openSerial(""), 0); // the real system call
    EXPECT_EQ(GetCapturedStderr(), "*** Keylark : Serial device : No such file or directory\n");
}

TEST_F(SerialLineTest, CloseSerialWithNothingOpenTouchesNothing)
{
    EXPECT_EQ(serial->closeSerial(), 0);
    EXPECT_TRUE(line.calls().empty());
}

TEST_F(SerialLineTest, CloseSerialLeavesTheLinesUpAndCloses)
{
    ser_fd = 7;
    rtsdtr_off = 2;
    EXPECT_EQ(serial->closeSerial(), 1);
    EXPECT_EQ(ser_fd, 0);
    const auto calls = line.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].what, 's');
    EXPECT_EQ(calls[0].bits, 2);
    EXPECT_EQ(calls[1].what, 'c');
    EXPECT_EQ(calls[1].fd, 7);
}

TEST_F(SerialLineTest, CloseSerialThatCannotKeyUpKeepsThePortOpen)
{
    ser_fd = 7;
    line.setError = EIO;
    CaptureStderr();
    EXPECT_EQ(serial->closeSerial(), -1);
    EXPECT_EQ(GetCapturedStderr(),
              "*** Keylark : Serial RTS/DTR Clear failed: Input/output error\n"
              "*** Keylark : Serial RTS/DTR Clear failed 6 times; the transmitter may still be keyed: "
              "Input/output error\n");
    EXPECT_EQ(ser_fd, 7);
    EXPECT_EQ(line.count('s'), 6);
    EXPECT_EQ(line.count('c'), 0);
    line.setError = 0;
    EXPECT_EQ(serial->openSerial("/dev/ttyUSB3"), 7); // still open: nothing is opened again
    EXPECT_EQ(line.count('o'), 0);
}

} // namespace
