#include "preferences_fixture.h"

#include <QComboBox>
#include <QTest>

namespace {

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int index = 0; index < box->count(); ++index)
        items.append(box->itemText(index));
    return items;
}

struct PopUpCase
{
    const char *name;
    QStringList ports;
    QVariant configured; // invalid: no "serialDevice"
    QStringList items;
    QString selected;
};

class DevicePopUpTest : public PreferencesTest, public testing::WithParamInterface<PopUpCase>
{
};

TEST_P(DevicePopUpTest, ListsDiscoveredPortsAndSelectsTheConfiguredOne)
{
    const PopUpCase &c = GetParam();
    if (c.configured.isValid())
        store->setValue(KLKSerialDeviceKey, c.configured);
    open(c.ports);
    auto *popUp = control<QComboBox>(QStringLiteral("devicePopUpButton"));
    EXPECT_EQ(itemsOf(popUp), c.items);
    EXPECT_EQ(popUp->currentText(), c.selected);
    EXPECT_EQ(store->value(KLKSerialDeviceKey), c.configured);
}

const QStringList two = {"/dev/ttyUSB0", "/dev/ttyUSB1"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(PopUp, DevicePopUpTest, testing::Values(
    PopUpCase{"SecondConfigured", two, QStringLiteral("/dev/ttyUSB1"), two, "/dev/ttyUSB1"},
    PopUpCase{"NoneConfigured", two, {}, two + QStringList{"none"}, "none"},
    PopUpCase{"ConfiguredPortAbsent", two, QStringLiteral("/dev/ttyACM3"), two + QStringList{"none"}, "none"},
    PopUpCase{"MatchIsExact", two, QStringLiteral("/dev/ttyusb1"), two + QStringList{"none"}, "none"},
    PopUpCase{"NoPortFound", {}, QStringLiteral("/dev/ttyUSB0"), {"none"}, "none"},
    PopUpCase{"NothingAtAll", {}, {}, {"none"}, "none"}),
    [](const testing::TestParamInfo<PopUpCase> &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(PreferencesTest, DiscoveryRunsOnceWhenTheWindowIsMade)
{
    testing::internal::CaptureStdout();
    open({"/dev/ttyUSB0"});
    const std::string output = testing::internal::GetCapturedStdout();
    preferences->showWindow();
    preferences->hide();
    preferences->showWindow();
    EXPECT_EQ(discoveries, 1);
    EXPECT_EQ(output, "#.. Keylark : Serial found path: /dev/ttyUSB0\n");
}

TEST_F(PreferencesTest, ChoosingAPortStoresItsPathAndNoneForgetsIt)
{
    open(two);
    auto *popUp = control<QComboBox>(QStringLiteral("devicePopUpButton"));
    popUp->setFocus();

    QTest::keyClick(popUp, Qt::Key_Up); // from "none" to the second port
    EXPECT_EQ(store->persistentValue(KLKSerialDeviceKey), QVariant(QStringLiteral("/dev/ttyUSB1")));
    QTest::keyClick(popUp, Qt::Key_Up);
    EXPECT_EQ(store->persistentValue(KLKSerialDeviceKey), QVariant(QStringLiteral("/dev/ttyUSB0")));
    QTest::keyClick(popUp, Qt::Key_End);
    EXPECT_EQ(popUp->currentText(), "none");
    EXPECT_FALSE(store->contains(KLKSerialDeviceKey));
    EXPECT_EQ(itemsOf(popUp), two + QStringList{"none"});
}

TEST_F(PreferencesTest, PopUpFollowsTheSettingChangedElsewhere)
{
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
    open(two);
    auto *popUp = control<QComboBox>(QStringLiteral("devicePopUpButton"));
    ASSERT_EQ(itemsOf(popUp), two);

    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB1"));
    EXPECT_EQ(popUp->currentText(), "/dev/ttyUSB1");
    store->remove(KLKSerialDeviceKey);
    EXPECT_EQ(popUp->currentText(), "none");
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/gone"));
    EXPECT_EQ(itemsOf(popUp), two + QStringList{"none"});
    EXPECT_EQ(store->stringValue(KLKSerialDeviceKey), "/dev/gone");
}

} // namespace
