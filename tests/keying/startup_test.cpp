#include "keying_fixture.h"
#include "list_source.h"

#include <fcntl.h>

namespace {

using namespace keying;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

TEST_F(KeyingTest, FirstStartOnAnEmptyStoreSendsPerTransmission)
{
    start();
    EXPECT_EQ(initialized, 1);
    EXPECT_EQ(serialStartUpOpen, 0);
    EXPECT_STREQ(devicePath, "");
    EXPECT_EQ(wpm, 12.0f);
    EXPECT_EQ(dit_time, 100.0f);
    EXPECT_TRUE(line.calls().empty());
    EXPECT_EQ(controller->cwIsSending(), 0);
}

TEST_F(KeyingTest, FirstTransmissionOnAnEmptyPathFailsToOpenAndTheNextTriesAgain)
{
    line.openError = ENOENT;
    start();
    CaptureStdout();
    CaptureStderr();
    sendAndWait(QStringLiteral("CQ"));
    EXPECT_EQ(GetCapturedStdout(), "*** Keylark : Serial open error. Please set serial device.\n");
    EXPECT_EQ(GetCapturedStderr(), "*** Keylark : Serial device : No such file or directory\n");
    EXPECT_TRUE(console.calls().isEmpty());
    EXPECT_EQ(controller->cwIsSending(), 0);
    EXPECT_EQ(ser_fd, 0);

    line.openError = 0;
    sendAndWait(QStringLiteral("E"));
    EXPECT_EQ(line.count('o'), 2);
    EXPECT_EQ(console.log(), QStringLiteral("<T>E"));
}

TEST_F(KeyingTest, OpenAtStartKeepsThePortOpenAcrossTransmissions)
{
    store->setValue(KLKSerialStartUpOpenKey, true);
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
    store->setValue(KLKSerialRTSKey, true);
    store->setValue(KLKSerialRTSReverseKey, true);
    start();
    EXPECT_EQ(initialized, 1);
    EXPECT_EQ(ser_fd, 7);
    auto calls = line.portCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].path, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(calls[0].bits, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_EQ(calls[1].bits, 4); // RTS up while idle

    sendAndWait(QStringLiteral("E"));
    sendAndWait(QStringLiteral("T"));
    EXPECT_EQ(line.count('o'), 1);
    EXPECT_EQ(line.count('c'), 0);
    EXPECT_EQ(ser_fd, 7);
    EXPECT_EQ(keyDownPeriods(), (std::vector<std::pair<double, double>>{{0, 100}, {400, 700}}));
}

TEST_F(KeyingTest, OpenAtStartThatFailsRefusesEverySend)
{
    store->setValue(KLKSerialStartUpOpenKey, 1);
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB9"));
    line.openError = ENOENT;
    CaptureStdout();
    CaptureStderr();
    start();
    EXPECT_EQ(GetCapturedStdout(),
              "*** Keylark : Serial open error. Please set serial device and restart this program.\n");
    EXPECT_EQ(GetCapturedStderr(), "*** Keylark : Serial device : No such file or directory\n");
    EXPECT_EQ(initialized, -1);
    EXPECT_EQ(ser_fd, 0);

    CaptureStdout();
    EXPECT_EQ(controller->cwSendString(QStringLiteral("CQ")), -1);
    EXPECT_EQ(GetCapturedStdout(), "*** Keylark : Serial initialize error. Please restart this program.\n");
    ListSource source; // a logger's queued texts are refused the same way
    source.add({1, stepsOf("E"), 0});
    controller->setTextSource(&source);
    EXPECT_EQ(controller->cwSendQueued(), -1);
    controller->joinWorkers();
    EXPECT_EQ(controller->cwIsSending(), 0);
    EXPECT_TRUE(console.calls().isEmpty());
    EXPECT_TRUE(source.keyed().empty());
    EXPECT_EQ(line.count('o'), 1);
    controller->setTextSource(nullptr);
}

TEST_F(KeyingTest, StartUpClearsRequestsRaisedBefore)
{
    sendStopFlag = 1;
    beaconFlag = 1;
    start();
    EXPECT_EQ(sendStopFlag, 0);
    EXPECT_EQ(beaconFlag, 0);
}

struct ModeRow
{
    const char *name;
    QVariant stored; // invalid: absent
    int mode;
};

class PortModeTest : public KeyingTest, public ::testing::WithParamInterface<ModeRow>
{
};

TEST_P(PortModeTest, StoredValueChoosesThePortMode)
{
    if (GetParam().stored.isValid())
        store->setValue(KLKSerialStartUpOpenKey, GetParam().stored);
    start();
    EXPECT_EQ(serialStartUpOpen, GetParam().mode);
    EXPECT_EQ(line.count('o'), GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(Values, PortModeTest,
                         ::testing::Values(ModeRow{"TextOne", QStringLiteral("1"), 1},
                                           ModeRow{"BooleanTrue", true, 1}, ModeRow{"IntegerTwo", 2, 1},
                                           ModeRow{"Zero", 0, 0}, ModeRow{"BooleanFalse", false, 0},
                                           ModeRow{"Absent", QVariant(), 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(KeyingTest, DevicePathIsReadOnceAtStart)
{
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyACM0"));
    start();
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyACM1"));
    EXPECT_STREQ(devicePath, "/dev/ttyACM0");
    sendAndWait(QStringLiteral("E"));
    EXPECT_EQ(line.calls().front().path, QStringLiteral("/dev/ttyACM0"));
}

struct PathRow
{
    const char *name;
    QString path;
    bool fits;
};

class DevicePathLengthTest : public KeyingTest, public ::testing::WithParamInterface<PathRow>
{
};

TEST_P(DevicePathLengthTest, PathThatDoesNotFitIsTreatedAsAbsent)
{
    store->setValue(KLKSerialDeviceKey, GetParam().path);
    start();
    if (GetParam().fits) {
        EXPECT_EQ(QString::fromUtf8(devicePath), GetParam().path);
        EXPECT_TRUE(diagnostics().isEmpty());
    } else {
        EXPECT_STREQ(devicePath, "");
        EXPECT_EQ(diagnostics(), QStringList{QStringLiteral(
                                     "#.. Keylark : Serial device path longer than 4095 bytes; ignored.")});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DevicePathLengthTest,
    ::testing::Values(PathRow{"LongestThatFits", QStringLiteral("/dev/") + QString(4090, u'x'), true},
                      PathRow{"OneByteTooMany", QStringLiteral("/dev/") + QString(4091, u'x'), false},
                      PathRow{"CountsUtf8Bytes", QStringLiteral("/dev/") + QString(2046, QChar(0xe9)), false},
                      PathRow{"MultibyteThatFits", QStringLiteral("/dev/") + QString(2045, QChar(0xe9)),
                              true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
