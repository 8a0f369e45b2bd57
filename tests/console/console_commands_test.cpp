#include "console/console_fixture.h"

#include <QAction>
#include <QSignalSpy>
#include <QSpinBox>

namespace {

using ConsoleCommandsTest = ConsoleFixture;

TEST_F(ConsoleCommandsTest, TransmitStopsFirstThenSendsTheLineUpperCasedAndKeepsIt)
{
    QTest::keyClicks(lineIn(), QStringLiteral("cq de ab1cd"));
    click(QStringLiteral("transmitOutlet"));

    EXPECT_EQ(recorder->stops, 1);
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("CQ DE AB1CD")});
    EXPECT_EQ(lineIn()->text(), QStringLiteral("cq de ab1cd"));

    click(QStringLiteral("transmitOutlet"));
    EXPECT_EQ(recorder->sent.size(), 2);
}

TEST_F(ConsoleCommandsTest, TransmitWithAnEmptyLineOnlyStops)
{
    click(QStringLiteral("transmitOutlet"));
    EXPECT_EQ(recorder->stops, 1);
    EXPECT_TRUE(recorder->sent.isEmpty());
}

TEST_F(ConsoleCommandsTest, TransmitUsesTheSelectedGroupsMacros)
{
    store->setValue(groupMacroKey(QStringLiteral("messageG3"), QLatin1Char('N')), QStringLiteral("bob"));
    console->findChild<QAction *>(QStringLiteral("actionGroup3"))->trigger();
    lineIn()->setText(QStringLiteral("hi $N"));
    click(QStringLiteral("transmitOutlet"));
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("HI BOB")});
}

TEST_F(ConsoleCommandsTest, StopRequestsAStopAndEndsTheRepeatWindow)
{
    store->setValue(messageKey(QStringLiteral("messageG1"), 2), QStringLiteral("tu"));
    pressFunctionKey(2);
    pressFunctionKey(2); // within F2's window: ignored
    ASSERT_EQ(recorder->sent.size(), 1);
    const int stopsBefore = recorder->stops;

    click(QStringLiteral("stopOutlet"));

    EXPECT_EQ(recorder->stops, stopsBefore + 1);
    pressFunctionKey(2);
    EXPECT_EQ(recorder->sent.size(), 2);
}

TEST_F(ConsoleCommandsTest, EscapeStops)
{
    QTest::keyClick(lineIn(), Qt::Key_Escape);
    EXPECT_EQ(recorder->stops, 1);
}

TEST_F(ConsoleCommandsTest, BeaconSetsTheModeEvenWithAnEmptyLine)
{
    click(QStringLiteral("beaconButton"));
    EXPECT_EQ(recorder->beacons, 1);
    EXPECT_TRUE(recorder->sent.isEmpty());

    lineIn()->setText(QStringLiteral("vvv"));
    click(QStringLiteral("beaconButton"));
    EXPECT_EQ(recorder->beacons, 2);
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("VVV")});
}

struct SpeedCase
{
    const char *name;
    QVariant stored;
    bool up;
    double expected;
};

void PrintTo(const SpeedCase &row, std::ostream *out)
{
    *out << row.name;
}

class SpeedCommandTest : public ConsoleFixture, public ::testing::WithParamInterface<SpeedCase>
{
};

TEST_P(SpeedCommandTest, StoresTheBoundedSpeedAsAReal)
{
    const SpeedCase &row = GetParam();
    if (row.stored.isValid())
        store->setValue(KLKWpmKey, row.stored);
    else
        store->registerDefaults({});
    click(row.up ? QStringLiteral("speedUpButton") : QStringLiteral("speedDownButton"));
    const QVariant wpm = store->value(KLKWpmKey);
    EXPECT_EQ(wpm.typeId(), QMetaType::Double);
    EXPECT_EQ(wpm.toDouble(), row.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Bounds, SpeedCommandTest, ::testing::Values(
    SpeedCase{"Up12",          qint64(12), true,  13},
    SpeedCase{"Up40",          qint64(40), true,  40},
    SpeedCase{"Up45",          qint64(45), true,  40},
    SpeedCase{"Up12Point9",    12.9,       true,  13},
    SpeedCase{"Up2",           qint64(2),  true,  3},
    SpeedCase{"UpText",        QStringLiteral("20"), true, 21},
    SpeedCase{"UpAbsent",      QVariant(), true,  1},
    SpeedCase{"Down12",        qint64(12), false, 11},
    SpeedCase{"Down6",         qint64(6),  false, 5},
    SpeedCase{"Down5",         qint64(5),  false, 5},
    SpeedCase{"Down3",         qint64(3),  false, 5},
    SpeedCase{"Down12Point9",  12.9,       false, 11},
    SpeedCase{"UpHuge",        1e12,       true,  40},
    SpeedCase{"DownHugeNegative", -1e12,   false, 5}),
    [](const ::testing::TestParamInfo<SpeedCase> &info) { return info.param.name; });
// clang-format on

TEST_F(ConsoleCommandsTest, PageKeysChangeTheSpeedAndThePanelFollows)
{
    QTest::keyClick(lineIn(), Qt::Key_PageUp);
    EXPECT_EQ(store->value(KLKWpmKey).toDouble(), 13.0);
    QTest::keyClick(lineIn(), Qt::Key_PageDown);
    QTest::keyClick(lineIn(), Qt::Key_PageDown);
    EXPECT_EQ(store->value(KLKWpmKey).toDouble(), 11.0);
    EXPECT_EQ(widget<QSpinBox>(QStringLiteral("speedSpinBox"))->value(), 11);
}

TEST_F(ConsoleCommandsTest, KeyerPanelTogglesAndWritesItsSettings)
{
    auto *drawer = widget(QStringLiteral("drawerOutlet"));
    EXPECT_FALSE(drawer->isVisible());
    click(QStringLiteral("drawerButton"));
    EXPECT_TRUE(drawer->isVisible());

    widget<QSpinBox>(QStringLiteral("beaconDelaySpinBox"))->setValue(3);
    EXPECT_EQ(store->intValue(KLKBeaconDelayKey), 3);
    widget<QDoubleSpinBox>(QStringLiteral("dahRatioSpinBox"))->setValue(3.5);
    EXPECT_EQ(store->doubleValue(KLKTimeDahKey), 3.5);
    store->setValue(KLKTimeWordKey, QStringLiteral("9"));
    EXPECT_EQ(widget<QDoubleSpinBox>(QStringLiteral("wordRatioSpinBox"))->value(), 9.0);

    click(QStringLiteral("drawerButton"));
    EXPECT_FALSE(drawer->isVisible());
}

TEST_F(ConsoleCommandsTest, GroupChangeSelectsTheTaggedTabAndIgnoresOthers)
{
    auto *tabs = widget<QTabWidget>(QStringLiteral("messageTabOutlet"));
    QObject tagged;
    tagged.setProperty("tag", 5);
    console->messageGroupChange(&tagged);
    EXPECT_EQ(tabs->currentWidget()->objectName(), QStringLiteral("messageG5"));
    tagged.setProperty("tag", 9);
    console->messageGroupChange(&tagged);
    EXPECT_EQ(tabs->currentWidget()->objectName(), QStringLiteral("messageG5"));
    QTest::keyClick(lineIn(), Qt::Key_8, Qt::ControlModifier);
    EXPECT_EQ(tabs->currentWidget()->objectName(), QStringLiteral("messageG8"));
}

struct ReturnKeyCase
{
    const char *name;
    QVariant stored; // "transmitKeyEquiv" before the console opens
    bool sends;
};

void PrintTo(const ReturnKeyCase &row, std::ostream *out)
{
    *out << row.name;
}

class ReturnKeyTest : public ConsoleFixture, public ::testing::WithParamInterface<ReturnKeyCase>
{
protected:
    void prepareStore() override
    {
        if (GetParam().stored.isValid())
            store->setValue(KLKRransmitKeyEquivKey, GetParam().stored);
    }
};

TEST_P(ReturnKeyTest, ReturnInTheInputLineSendsOnlyWhenSwitchedOn)
{
    QTest::keyClicks(lineIn(), QStringLiteral("test"));
    QTest::keyClick(lineIn(), Qt::Key_Return);
    if (GetParam().sends)
        EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("TEST")});
    else
        EXPECT_TRUE(recorder->sent.isEmpty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Setting, ReturnKeyTest, ::testing::Values(
    ReturnKeyCase{"Absent", QVariant(), false},
    ReturnKeyCase{"False",  false,      false},
    ReturnKeyCase{"True",   true,       true}),
    [](const ::testing::TestParamInfo<ReturnKeyCase> &info) { return info.param.name; });
// clang-format on

TEST_F(ConsoleCommandsTest, TransmitKeySwitchTakesEffectAtOnce)
{
    lineIn()->setText(QStringLiteral("k"));
    store->setValue(KLKRransmitKeyEquivKey, true);
    QTest::keyClick(lineIn(), Qt::Key_Return);
    EXPECT_EQ(recorder->sent.size(), 1);
    QTest::keyClick(lineIn(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(recorder->sent.size(), 2);

    store->setValue(KLKRransmitKeyEquivKey, false);
    QTest::keyClick(lineIn(), Qt::Key_Return);
    QTest::keyClick(lineIn(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(recorder->sent.size(), 2);
}

} // namespace
