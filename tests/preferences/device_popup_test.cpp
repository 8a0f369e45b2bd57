#include "preferences_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace {

const QString ftdiPath = QStringLiteral("/dev/serial/by-id/") + FtdiAdapter.byId;
const QString ftdiText = QStringLiteral("FTDI FT232R USB UART, S/N A50285BI (ttyUSB0)");
const QString uartText = QStringLiteral("Serial port, 16550A UART (ttyS0)");
const QString arduinoText = QStringLiteral("Arduino (www.arduino.cc) Uno, S/N 8503 (ttyACM0)");

QStringList textsOf(const QComboBox *box)
{
    QStringList texts;
    for (int index = 0; index < box->count(); ++index)
        texts.append(box->itemText(index));
    return texts;
}

QStringList pathsOf(const QComboBox *box)
{
    QStringList paths;
    for (int index = 0; index < box->count(); ++index)
        paths.append(box->itemData(index).toString());
    return paths;
}

// A host with a built-in UART, a phantom one, a USB adapter and a virtual console.
class DevicePopUpTest : public PreferencesTest
{
protected:
    void SetUp() override
    {
        PreferencesTest::SetUp();
        devices.addUart(QStringLiteral("ttyS0"), 4, QStringLiteral("pnp0/00:04"));
        devices.addUart(QStringLiteral("ttyS1"), 0);
        devices.addUsbAdapter(FtdiAdapter);
        devices.addVirtualTty(QStringLiteral("tty1"));
    }

    QComboBox *popUp() const { return control<QComboBox>(QStringLiteral("devicePopUpButton")); }
    QString shownPath() const { return control<QLabel>(QStringLiteral("devicePathLabel"))->text(); }
};

struct PopUpCase
{
    const char *name;
    QVariant stored; // invalid: no "serialDevice"
    QStringList extraTexts;
    QString selected;
};

void PrintTo(const PopUpCase &row, std::ostream *out)
{
    *out << row.name;
}

class StoredDeviceTest : public DevicePopUpTest, public testing::WithParamInterface<PopUpCase>
{
};

TEST_P(StoredDeviceTest, ShowsThePortsFoundAndTheStoredPath)
{
    const PopUpCase &c = GetParam();
    if (c.stored.isValid())
        store->setValue(KLKSerialDeviceKey, c.stored);
    testing::internal::CaptureStdout();
    open();
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(textsOf(popUp()), QStringList({uartText, ftdiText}) + c.extraTexts);
    EXPECT_EQ(popUp()->currentText(), c.selected);
    EXPECT_EQ(shownPath(), c.stored.toString());
    EXPECT_EQ(store->value(KLKSerialDeviceKey), c.stored);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(PopUp, StoredDeviceTest, testing::Values(
    PopUpCase{"NothingStored", {}, {"none"}, "none"},
    PopUpCase{"EmptyPathStored", QStringLiteral(""), {"none"}, "none"},
    PopUpCase{"StableNameStored", ftdiPath, {}, ftdiText},
    PopUpCase{"DeviceNodeStored", QStringLiteral("/dev/ttyS0"), {}, uartText},
    PopUpCase{"AbsentPathStored", QStringLiteral("/dev/ttyACM3"), {"/dev/ttyACM3 (not present)"},
              "/dev/ttyACM3 (not present)"},
    PopUpCase{"MatchIsExact", QStringLiteral("/dev/ttys0"), {"/dev/ttys0 (not present)"}, "/dev/ttys0 (not present)"},
    PopUpCase{"OtherNameOfAPortFound", QStringLiteral("/dev/ttyUSB0"),
              {"FTDI FT232R USB UART, S/N A50285BI (/dev/ttyUSB0)"},
              "FTDI FT232R USB UART, S/N A50285BI (/dev/ttyUSB0)"},
    PopUpCase{"PresentButNoPortFound", QStringLiteral("/dev/ttyS1"), {"/dev/ttyS1"}, "/dev/ttyS1"}),
    [](const testing::TestParamInfo<PopUpCase> &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(PreferencesTest, WithoutPortsAnAbsentStoredPathIsShown)
{
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
    testing::internal::CaptureStdout();
    open();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "*** Keylark : No serial port found.\n");
    auto *popUp = control<QComboBox>(QStringLiteral("devicePopUpButton"));
    EXPECT_EQ(textsOf(popUp), QStringList{"/dev/ttyUSB0 (not present)"});
    store->remove(KLKSerialDeviceKey);
    EXPECT_EQ(textsOf(popUp), QStringList{"none"});
}

TEST_F(DevicePopUpTest, ChoosingAPortStoresItsStableNameAndNoneGoes)
{
    testing::internal::CaptureStdout();
    open();
    testing::internal::GetCapturedStdout();
    popUp()->setFocus();

    QTest::keyClick(popUp(), Qt::Key_Up); // from "none" to the adapter
    EXPECT_EQ(store->persistentValue(KLKSerialDeviceKey), QVariant(ftdiPath));
    EXPECT_EQ(textsOf(popUp()), QStringList({uartText, ftdiText}));
    EXPECT_EQ(shownPath(), ftdiPath);
    QTest::keyClick(popUp(), Qt::Key_Up);
    EXPECT_EQ(store->persistentValue(KLKSerialDeviceKey), QVariant(QStringLiteral("/dev/ttyS0")));
    EXPECT_EQ(popUp()->currentText(), uartText);
}

TEST_F(DevicePopUpTest, ChoosingTheStoredAbsentPathKeepsIt)
{
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyACM3"));
    testing::internal::CaptureStdout();
    open();
    testing::internal::GetCapturedStdout();
    QSignalSpy writes(store.get(), &SettingsStore::changed);
    emit popUp()->activated(popUp()->currentIndex());
    EXPECT_EQ(writes.count(), 0);
    EXPECT_EQ(store->stringValue(KLKSerialDeviceKey), "/dev/ttyACM3");
}

TEST_F(DevicePopUpTest, PopUpFollowsTheSettingChangedElsewhere)
{
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyS0"));
    testing::internal::CaptureStdout();
    open();
    testing::internal::GetCapturedStdout();

    store->setValue(KLKSerialDeviceKey, ftdiPath);
    EXPECT_EQ(popUp()->currentText(), ftdiText);
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/gone"));
    EXPECT_EQ(popUp()->currentText(), "/dev/gone (not present)");
    store->remove(KLKSerialDeviceKey);
    EXPECT_EQ(textsOf(popUp()), QStringList({uartText, ftdiText, "none"}));
}

TEST_F(DevicePopUpTest, RescanFindsAPortPluggedInLater)
{
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/serial/by-id/") + ArduinoBoard.byId);
    testing::internal::CaptureStdout();
    open();
    EXPECT_EQ(popUp()->currentText(), "/dev/serial/by-id/" + ArduinoBoard.byId + " (not present)");

    devices.addUsbAdapter(ArduinoBoard);
    QTest::mouseClick(control<QPushButton>(QStringLiteral("rescanButton")), Qt::LeftButton);
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(textsOf(popUp()), QStringList({arduinoText, uartText, ftdiText}));
    EXPECT_EQ(popUp()->currentText(), arduinoText);
    const std::string found = "#.. Keylark : Serial found path: ";
    const std::string before = found + "/dev/ttyS0\n" + found + ftdiPath.toStdString() + "\n";
    EXPECT_EQ(output,
              before + found + "/dev/serial/by-id/" + ArduinoBoard.byId.toStdString() + "\n" + before);
}

TEST_F(DevicePopUpTest, EveryShowingLooksAgainButTheFirstUsesTheWindowsOwn)
{
    testing::internal::CaptureStdout();
    open();
    preferences->showWindow();
    const std::string first = testing::internal::GetCapturedStdout();
    EXPECT_EQ(first, "#.. Keylark : Serial found path: /dev/ttyS0\n#.. Keylark : Serial found path: " +
                         ftdiPath.toStdString() + "\n");

    preferences->hide();
    devices.addUsbAdapter(BareAdapter);
    testing::internal::CaptureStdout();
    preferences->showWindow();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(pathsOf(popUp()), QStringList({"/dev/ttyS0", ftdiPath, "/dev/ttyUSB1", ""}));
}

struct WheelCase
{
    const char *name;
    bool focused;
    QString current;
    QVariant stored;
};

void PrintTo(const WheelCase &row, std::ostream *out)
{
    *out << row.name;
}

class WheelTest : public DevicePopUpTest, public testing::WithParamInterface<WheelCase>
{
};

// A stray wheel over the pop-up, as when scrolling past it, must not change the keying port.
TEST_P(WheelTest, TurnsThePopUpOnlyWithTheFocus)
{
    testing::internal::CaptureStdout();
    open();
    testing::internal::GetCapturedStdout();
    preferences->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(preferences.get()));
    QWidget *focus = GetParam().focused ? static_cast<QWidget *>(popUp())
                                        : control<QPushButton>(QStringLiteral("rescanButton"));
    focus->setFocus();
    ASSERT_TRUE(focus->hasFocus());

    const QPointF centre = QRectF(popUp()->rect()).center();
    QWheelEvent wheel(centre, popUp()->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(popUp(), &wheel);

    EXPECT_EQ(popUp()->currentText(), GetParam().current);
    EXPECT_EQ(store->value(KLKSerialDeviceKey), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Wheel, WheelTest,
                         testing::Values(WheelCase{"WithoutFocus", false, "none", {}},
                                         WheelCase{"WithFocus", true, ftdiText, ftdiPath}),
                         [](const testing::TestParamInfo<WheelCase> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
