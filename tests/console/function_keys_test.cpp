#include "console/console_fixture.h"
#include "console/function_key_row.h"
#include "eventually.h"

#include <QAction>
#include <QLabel>
#include <QTabWidget>

namespace {


class FunctionKeysTest : public ConsoleFixture
{
protected:
    void prepareStore() override
    {
        store->setValue(messageKey(group1, 3), QStringLiteral("cq test"));
        store->setValue(messageKey(group1, 5), QStringLiteral("qrz $M"));
        store->setValue(globalMacroKey(QLatin1Char('M')), QStringLiteral("ab1cd"));
        store->setValue(labelKey(group1, 3), QStringLiteral("CQ"));
        for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
            store->setValue(labelKey(group2, key), QStringLiteral("Two-%1").arg(key));
            store->setValue(messageKey(group2, key), QStringLiteral("$P msg %1").arg(key));
        }
        store->setValue(groupLabelKey(group2), QStringLiteral("Contest"));
    }
    void selectGroup(int group) const
    {
        console->findChild<QAction *>(QStringLiteral("actionGroup%1").arg(group))->trigger();
    }
};

TEST_F(FunctionKeysTest, LowerCaseMessageShowsAndIsSentUpperCased)
{
    pressFunctionKey(3);
    EXPECT_EQ(lineIn()->text(), QStringLiteral("CQ TEST"));
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("CQ TEST")});
}

TEST_F(FunctionKeysTest, MacrosAreExpandedIntoTheInputLine)
{
    pressFunctionKey(5);
    EXPECT_EQ(lineIn()->text(), QStringLiteral("QRZ AB1CD"));
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("QRZ AB1CD")});
}

TEST_F(FunctionKeysTest, SecondPressOfTheSameKeyWithinTheWindowIsIgnored)
{
    pressFunctionKey(3);
    const int stops = recorder->stops;
    pressFunctionKey(3);
    EXPECT_EQ(recorder->sent.size(), 1);
    EXPECT_EQ(recorder->stops, stops);

    // The window ends half a second after the press; the next press counts again.
    passRepeatWindow();
    pressFunctionKey(3);
    EXPECT_EQ(recorder->sent.size(), 2);
}

TEST_F(FunctionKeysTest, PressWhileSendingOnlyStops)
{
    recorder->sendingAfterSend = true;
    pressFunctionKey(3);
    ASSERT_EQ(recorder->sent.size(), 1);
    passRepeatWindow();
    const int stops = recorder->stops;

    pressFunctionKey(3);
    EXPECT_EQ(recorder->stops, stops + 1);
    EXPECT_EQ(recorder->sent.size(), 1);
}

TEST_F(FunctionKeysTest, F3ThenF5StopsF3sTransmissionAndSendsNothing)
{
    recorder->sendingAfterSend = true;
    pressFunctionKey(3);
    const int stops = recorder->stops;
    pressFunctionKey(5);
    EXPECT_EQ(recorder->stops, stops + 1);
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("CQ TEST")});
    pressFunctionKey(5); // F5 opened its own window: a repeat neither stops nor sends
    EXPECT_EQ(recorder->stops, stops + 1);

    recorder->sending = 0;
    passRepeatWindow();
    pressFunctionKey(5);
    EXPECT_EQ(recorder->sent.last(), QStringLiteral("QRZ AB1CD"));
}

TEST_F(FunctionKeysTest, KeyWithoutAMessageBeepsAndStopsEveryTime)
{
    store->setValue(messageKey(group1, 4), QString());
    for (int key : {4, 4, 9}) {
        const int stops = recorder->stops;
        pressFunctionKey(key);
        EXPECT_EQ(recorder->stops, stops + 1); // the stop ends the key's window: a repeat counts
    }
    EXPECT_EQ(beeps, 3);
    EXPECT_TRUE(recorder->sent.isEmpty());
}

TEST_F(FunctionKeysTest, KeyboardFunctionKeysPressTheCells)
{
    QTest::keyClick(lineIn(), Qt::Key_F3);
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("CQ TEST")});
    QTest::keyClick(lineIn(), Qt::Key_F12);
    EXPECT_EQ(beeps, 1);
}

TEST_F(FunctionKeysTest, RowReportsTheCellPressedLast)
{
    auto *row = widget<FunctionKeyRow>(QStringLiteral("f5tof8Outlet"));
    QTest::mouseClick(row->cellAt(0, 2), Qt::LeftButton);
    EXPECT_EQ(FunctionKeyRow::tag(row->selectedCell()), 7);
    EXPECT_EQ(row->cellAt(0, 4), nullptr);
    EXPECT_EQ(row->cellAt(1, 0), nullptr);
}

TEST_F(FunctionKeysTest, TitlesToolTipsAndLabelFollowTheSelectedGroup)
{
    EXPECT_EQ(functionKey(3)->text(), QStringLiteral("CQ"));
    EXPECT_EQ(functionKey(7)->text(), QStringLiteral("F7"));
    EXPECT_EQ(functionKey(3)->toolTip(), QStringLiteral("cq test"));
    EXPECT_TRUE(functionKey(7)->toolTip().isEmpty());
    auto *groupLabel = widget<QLabel>(QStringLiteral("selectedMessageGroupOutlet"));
    EXPECT_EQ(groupLabel->text(), QStringLiteral("G1"));

    selectGroup(2);

    for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
        EXPECT_EQ(functionKey(key)->text(), QStringLiteral("Two-%1").arg(key));
        EXPECT_EQ(functionKey(key)->toolTip(), QStringLiteral("$P msg %1").arg(key));
    }
    EXPECT_EQ(groupLabel->text(), QStringLiteral("Contest"));
    // Titles now follow group 2 only.
    store->setValue(labelKey(group1, 3), QStringLiteral("Old"));
    EXPECT_EQ(functionKey(3)->text(), QStringLiteral("Two-3"));
}

TEST_F(FunctionKeysTest, StoredLabelRetitlesItsKeyAtOnce)
{
    store->setValue(labelKey(group1, 7), QStringLiteral("599"));
    EXPECT_EQ(functionKey(7)->text(), QStringLiteral("599"));
    store->setValue(labelKey(group1, 7), QStringLiteral("R&R"));
    EXPECT_EQ(functionKey(7)->text(), QStringLiteral("R&&R")); // shown literally, not as a mnemonic
    store->remove(labelKey(group1, 7));
    EXPECT_EQ(functionKey(7)->text(), QStringLiteral("F7"));
}

TEST_F(FunctionKeysTest, ToolTipShowsTheMessageAsStoredUntilTheNextGroupSwitch)
{
    store->setValue(messageKey(group1, 3), QStringLiteral("new $M"));
    EXPECT_EQ(functionKey(3)->toolTip(), QStringLiteral("cq test"));
    selectGroup(2);
    selectGroup(1);
    EXPECT_EQ(functionKey(3)->toolTip(), QStringLiteral("new $M"));
}

TEST_F(FunctionKeysTest, MessageOfTheSelectedGroupIsSent)
{
    store->setValue(groupMacroKey(group2, QLatin1Char('P')), QStringLiteral("jp"));
    selectGroup(2);
    pressFunctionKey(9);
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("JP MSG 9")});
}

TEST_F(FunctionKeysTest, GroupLabelEmptyOrWithoutAnyValue)
{
    store->setValue(groupLabelKey(group1), QString());
    selectGroup(2);
    selectGroup(1);
    auto *groupLabel = widget<QLabel>(QStringLiteral("selectedMessageGroupOutlet"));
    EXPECT_TRUE(groupLabel->text().isEmpty());

    store->registerDefaults({});
    selectGroup(4);
    EXPECT_EQ(groupLabel->text(), QStringLiteral("messageG4"));
}

} // namespace
