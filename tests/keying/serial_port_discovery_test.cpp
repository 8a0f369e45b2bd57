#include "keying/serial_port_discovery.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

namespace {

const QString found = QStringLiteral("#.. Keylark : Serial found path: ");
const QString none = QStringLiteral("*** Keylark : No serial port found.\n");

QList<SerialPort> portsOf(const QStringList &paths)
{
    QList<SerialPort> ports;
    for (const QString &path : paths)
        ports.append({path, path, QString()});
    return ports;
}

struct DiscoveryCase
{
    const char *name;
    QStringList before; // already in the caller's list
    QStringList ports;  // as discovery finds them
    QStringList after;
    int result;
    QString output;
    QByteArray lastPath;
};

// A path whose UTF-8 form takes exactly `bytes` bytes.
QString pathOfBytes(int bytes)
{
    return QStringLiteral("/dev/") + QString(bytes - 5, QLatin1Char('x'));
}

const QString longest = pathOfBytes(1023); // fits with its terminating zero
const QString tooLong = pathOfBytes(1024); // one byte too many
const QString wideTooLong =
    pathOfBytes(1022).chopped(1) + QStringLiteral("\u00e9\u00e9"); // 1023 chars, 1025 bytes

class SerialDeviceSetupTest : public testing::TestWithParam<DiscoveryCase>
{
};

TEST_P(SerialDeviceSetupTest, ListsPortsWithTheirDiagnosticLines)
{
    const DiscoveryCase &c = GetParam();
    QStringList list = c.before;

    testing::internal::CaptureStdout();
    const int result = serialDeviceSetup(list, portsOf(c.ports));
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(list, c.after);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(output, c.output.toStdString());
    EXPECT_EQ(lastFoundPath(), c.lastPath);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Discovery, SerialDeviceSetupTest, testing::Values(
    DiscoveryCase{"NoPort", {}, {}, {}, -1, none, {}},
    DiscoveryCase{"OnePort", {}, {"/dev/ttyUSB0"}, {"/dev/ttyUSB0"}, 0,
                  found + "/dev/ttyUSB0\n", "/dev/ttyUSB0"},
    DiscoveryCase{"SeveralPortsInOrder", {}, {"/dev/ttyACM0", "/dev/ttyS4", "/dev/ttyUSB1"},
                  {"/dev/ttyACM0", "/dev/ttyS4", "/dev/ttyUSB1"}, 0,
                  found + "/dev/ttyACM0\n" + found + "/dev/ttyS4\n" + found + "/dev/ttyUSB1\n", "/dev/ttyUSB1"},
    DiscoveryCase{"PortWithoutPathLeavesEmptyLine", {}, {"", "/dev/ttyUSB0"}, {"/dev/ttyUSB0"}, 0,
                  "\n" + found + "/dev/ttyUSB0\n", "/dev/ttyUSB0"},
    DiscoveryCase{"OnlyPortWithoutPath", {}, {""}, {}, -1, "\n" + none, {}},
    DiscoveryCase{"EarlierEntriesStayInFront", {"/dev/kept"}, {"/dev/ttyUSB0"}, {"/dev/kept", "/dev/ttyUSB0"}, 0,
                  found + "/dev/ttyUSB0\n", "/dev/ttyUSB0"},
    DiscoveryCase{"LongestPathThatFits", {}, {longest}, {longest}, 0, found + longest + "\n", longest.toUtf8()},
    DiscoveryCase{"PathTooLongIsListedWithoutFoundLine", {}, {tooLong}, {tooLong}, -1, "\n" + none, {}},
    DiscoveryCase{"TooLongCountsUtf8Bytes", {}, {wideTooLong}, {wideTooLong}, -1, "\n" + none, {}},
    DiscoveryCase{"TooLongAfterFoundKeepsFoundPath", {}, {"/dev/ttyUSB0", tooLong}, {"/dev/ttyUSB0", tooLong}, 0,
                  found + "/dev/ttyUSB0\n\n", "/dev/ttyUSB0"}),
    [](const testing::TestParamInfo<DiscoveryCase> &info) { return std::string(info.param.name); });
// clang-format on

TEST(SerialDeviceSetup, EveryDiscoveryStartsAfresh)
{
    QStringList list;
    testing::internal::CaptureStdout();
    serialDeviceSetup(list, portsOf({"/dev/ttyUSB0"}));
    const int result = serialDeviceSetup(list, portsOf({}));
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(result, -1);
    EXPECT_TRUE(lastFoundPath().isEmpty());
    EXPECT_EQ(output, (found + "/dev/ttyUSB0\n" + none).toStdString());
    EXPECT_EQ(list, QStringList{"/dev/ttyUSB0"});
}

} // namespace
