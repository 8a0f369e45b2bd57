#include "fake_device_tree.h"
#include "keying/serial_port_discovery.h"
#include "keying/serial_port_scanner.h"
#include "open_watch.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

void PrintTo(const SerialPort &port, std::ostream *out)
{
    *out << "{" << port.path.toStdString() << ", " << port.device.toStdString() << ", "
         << port.description.toStdString() << "}";
}

namespace {

// Every kind of tty the host may show, phantom and virtual ones included.
void addEveryKind(FakeDeviceTree &tree)
{
    tree.addUart(QStringLiteral("ttyS0"), 4, QStringLiteral("pnp0/00:04"));
    for (int index = 1; index < 4; ++index)
        tree.addUart(QStringLiteral("ttyS%1").arg(index), 0);
    tree.addUsbAdapter(FtdiAdapter);
    tree.addUsbAdapter(ArduinoBoard);
    tree.addUsbAdapter(BareAdapter);
    for (const char *name : {"tty0", "tty1", "console", "ptmx", "ttyprintk"})
        tree.addVirtualTty(QString::fromLatin1(name));
    tree.addLink(QStringLiteral("/dev/keyer"), QStringLiteral("/dev/ttyUSB0"));
}

struct ScanCase
{
    const char *name;
    std::function<void(FakeDeviceTree &)> build;
    QList<SerialPort> expected;
};

void PrintTo(const ScanCase &row, std::ostream *out)
{
    *out << row.name;
}

class ScanTest : public testing::TestWithParam<ScanCase>
{
};

TEST_P(ScanTest, FindsRealPortsWithTheirDescriptions)
{
    FakeDeviceTree tree;
    ASSERT_TRUE(tree.isValid());
    GetParam().build(tree);
    EXPECT_EQ(SerialPortScanner(tree.root()).ports(), GetParam().expected);
}

const QString ftdiPath = QStringLiteral("/dev/serial/by-id/") + FtdiAdapter.byId;
const QString ftdiText = QStringLiteral("FTDI FT232R USB UART, S/N A50285BI");
const QString arduinoPath = QStringLiteral("/dev/serial/by-id/") + ArduinoBoard.byId;
const QString arduinoText = QStringLiteral("Arduino (www.arduino.cc) Uno, S/N 8503");
const QString uartText = QStringLiteral("Serial port, 16550A UART");

// clang-format off
INSTANTIATE_TEST_SUITE_P(Discovery, ScanTest, testing::Values(
    ScanCase{"NothingAtAll", [](FakeDeviceTree &) {}, {}},
    ScanCase{"PhantomUartLeftOut", [](FakeDeviceTree &t) { t.addUart("ttyS1", 0); }, {}},
    ScanCase{"KnownUart", [](FakeDeviceTree &t) { t.addUart("ttyS0", 4, "pnp0/00:04"); },
             {{"/dev/ttyS0", "/dev/ttyS0", uartText}}},
    ScanCase{"UartOfATypeWithoutName", [](FakeDeviceTree &t) { t.addUart("ttyAMA0", 83, "platform/fe201000.serial"); },
             {{"/dev/ttyAMA0", "/dev/ttyAMA0", "Serial port"}}},
    ScanCase{"UsbAdapterByItsStableName", [](FakeDeviceTree &t) { t.addUsbAdapter(FtdiAdapter); },
             {{ftdiPath, "/dev/ttyUSB0", ftdiText}}},
    ScanCase{"AcmDeviceByItsStableName", [](FakeDeviceTree &t) { t.addUsbAdapter(ArduinoBoard); },
             {{arduinoPath, "/dev/ttyACM0", arduinoText}}},
    ScanCase{"ProductNameThatStartsWithTheMaker",
             [](FakeDeviceTree &t) { t.addUsbAdapter({"ttyUSB0", "1-2", "Prolific", "Prolific USB-Serial", {}, {}}); },
             {{"/dev/ttyUSB0", "/dev/ttyUSB0", "Prolific USB-Serial"}}},
    ScanCase{"UsbAdapterThatTellsNothing", [](FakeDeviceTree &t) { t.addUsbAdapter(BareAdapter); },
             {{"/dev/ttyUSB1", "/dev/ttyUSB1", "USB serial adapter 0403:6001"}}},
    ScanCase{"VirtualTtysAreNoPorts", [](FakeDeviceTree &t) {
                 for (const char *name : {"tty0", "tty63", "console", "ptmx", "ttyprintk"})
                     t.addVirtualTty(name);
             }, {}},
    ScanCase{"PortWithoutDeviceNodeHasNoPath",
             [](FakeDeviceTree &t) { t.addUart("ttyS0", 4); t.removeNode("ttyS0"); },
             {{"", "/dev/ttyS0", uartText}}},
    ScanCase{"StableNameLeftByAnUnpluggedAdapterIsIgnored", [](FakeDeviceTree &t) {
                 t.addLink("/dev/serial/by-id/usb-gone-if00-port0", "/dev/ttyUSB3");
                 t.addUart("ttyS0", 4);
             }, {{"/dev/ttyS0", "/dev/ttyS0", uartText}}},
    ScanCase{"EveryKindInNaturalOrder", addEveryKind,
             {{arduinoPath, "/dev/ttyACM0", arduinoText}, {"/dev/ttyS0", "/dev/ttyS0", uartText},
              {ftdiPath, "/dev/ttyUSB0", ftdiText},
              {"/dev/ttyUSB1", "/dev/ttyUSB1", "USB serial adapter 0403:6001"}}}),
    [](const testing::TestParamInfo<ScanCase> &info) { return std::string(info.param.name); });
// clang-format on

struct OrderCase
{
    const char *name;
    QStringList given;
    QStringList expected;
};

class OrderTest : public testing::TestWithParam<OrderCase>
{
};

TEST_P(OrderTest, ListsPortsInNaturalOrder)
{
    FakeDeviceTree tree;
    for (const QString &name : GetParam().given)
        tree.addUart(name, 4);
    QStringList devices;
    for (const SerialPort &port : SerialPortScanner(tree.root()).ports())
        devices.append(port.device);
    EXPECT_EQ(devices, GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Order, OrderTest, testing::Values(
    OrderCase{"ByNameThenNumber", {"ttyUSB1", "ttyACM0", "ttyUSB0"},
              {"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1"}},
    OrderCase{"NumbersCompareAsNumbers", {"ttyUSB10", "ttyUSB2", "ttyUSB1"},
              {"/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB10"}},
    OrderCase{"WithoutNumber", {"ttyserial", "ttymodem"}, {"/dev/ttymodem", "/dev/ttyserial"}}),
    [](const testing::TestParamInfo<OrderCase> &info) { return std::string(info.param.name); });
// clang-format on

struct DeviceOfCase
{
    const char *name;
    QString path;
    QString device;
};

class DeviceOfTest : public testing::TestWithParam<DeviceOfCase>
{
};

TEST_P(DeviceOfTest, FollowsLinksToTheDeviceNode)
{
    FakeDeviceTree tree;
    addEveryKind(tree);
    tree.addLink(QStringLiteral("/dev/loopA"), QStringLiteral("/dev/loopB"));
    tree.addLink(QStringLiteral("/dev/loopB"), QStringLiteral("/dev/loopA"));
    EXPECT_EQ(SerialPortScanner(tree.root()).deviceOf(GetParam().path), GetParam().device);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Stored, DeviceOfTest, testing::Values(
    DeviceOfCase{"DeviceNode", "/dev/ttyUSB0", "/dev/ttyUSB0"},
    DeviceOfCase{"StableName", ftdiPath, "/dev/ttyUSB0"},
    DeviceOfCase{"OwnLink", "/dev/keyer", "/dev/ttyUSB0"},
    DeviceOfCase{"UntidyPath", "/dev/serial/../ttyS0", "/dev/ttyS0"},
    DeviceOfCase{"AbsentPath", "/dev/ttyUSB7", ""},
    DeviceOfCase{"LoopOfLinks", "/dev/loopA", ""},
    DeviceOfCase{"Nothing", "", ""}),
    [](const testing::TestParamInfo<DeviceOfCase> &info) { return std::string(info.param.name); });
// clang-format on

TEST(Discovery, ListsEachPortOnceByThePathToStore)
{
    FakeDeviceTree tree;
    addEveryKind(tree);
    QStringList list;
    testing::internal::CaptureStdout();
    const int result = serialDeviceSetup(list, SerialPortScanner(tree.root()).ports());
    const std::string output = testing::internal::GetCapturedStdout();

    const QStringList expected = {arduinoPath, "/dev/ttyS0", ftdiPath, "/dev/ttyUSB1"};
    EXPECT_EQ(result, 0);
    EXPECT_EQ(list, expected);
    QString lines;
    for (const QString &path : expected)
        lines += QStringLiteral("#.. Keylark : Serial found path: ") + path + QLatin1Char('\n');
    EXPECT_EQ(output, lines.toStdString());
    EXPECT_EQ(lastFoundPath(), "/dev/ttyUSB1");
}

// Opening a legacy UART raises DTR and RTS, so discovery must not open any device node, not even through a
// link; every open of a node in the tree is seen.
TEST(Discovery, OpensNoDevice)
{
    FakeDeviceTree tree;
    addEveryKind(tree);
    OpenWatch watch(tree.nodeFiles());
    ASSERT_TRUE(watch.isValid());

    QStringList list;
    testing::internal::CaptureStdout();
    const SerialPortScanner scanner(tree.root());
    serialDeviceSetup(list, scanner.ports());
    for (const QString &path : {ftdiPath, QStringLiteral("/dev/keyer"), QStringLiteral("/dev/ttyS1")})
        scanner.deviceOf(path);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(watch.opened(), QStringList());

    // The watch itself sees an open through a stable name.
    QFile byId(tree.root() + ftdiPath);
    ASSERT_TRUE(byId.open(QIODevice::ReadOnly));
    EXPECT_EQ(watch.opened(), QStringList{tree.root() + "/dev/ttyUSB0"});
}

} // namespace
