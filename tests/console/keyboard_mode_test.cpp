#include "console/console_fixture.h"

#include <QAction>

namespace {

class KeyboardModeTest : public ConsoleFixture
{
protected:
    void prepareStore() override
    {
        offersQueued = true;
        store->setValue(messageKey(QStringLiteral("messageG1"), 1), QStringLiteral("tu $M"));
        store->setValue(globalMacroKey(QLatin1Char('M')), QStringLiteral("ab1cd"));
    }
    KeyboardText &typed() const { return recorder->keyboard; }
    // The worker takes the next character, as it does once the keyer is free.
    void keyNext() const { ASSERT_TRUE(typed().takePiece()); }
};

TEST_F(KeyboardModeTest, TypingKeysTheWaitingPartAndKeyedCharactersStayFixed)
{
    lineIn()->setText(QStringLiteral("earlier line"));
    QTest::keyClick(console, Qt::Key_K, Qt::ControlModifier);
    ASSERT_TRUE(store->boolValue(KLKKeyboardModeKey));
    EXPECT_TRUE(widget<QAbstractButton>(QStringLiteral("keyboardCheckBox"))->isChecked());
    EXPECT_EQ(lineIn()->text(), QString()); // Undo brings the earlier line back
    EXPECT_FALSE(button(QStringLiteral("transmitOutlet"))->isEnabled());
    EXPECT_FALSE(button(QStringLiteral("beaconButton"))->isEnabled());

    QTest::keyClicks(lineIn(), QStringLiteral("cq"));
    EXPECT_EQ(typed().text(), QStringLiteral("cq"));
    EXPECT_GE(recorder->queuedSends, 2);
    keyNext();
    QTest::keyClick(lineIn(), Qt::Key_Backspace); // the waiting Q goes
    QTest::keyClick(lineIn(), Qt::Key_Backspace); // the keyed C stays
    EXPECT_EQ(typed().text(), QStringLiteral("c"));
    EXPECT_EQ(lineIn()->text(), QStringLiteral("c"));
    EXPECT_EQ(beeps, 1);

    QTest::keyClicks(lineIn(), QStringLiteral(" de"));
    QTest::keyClick(lineIn(), Qt::Key_Return);
    EXPECT_TRUE(recorder->sent.isEmpty());
    typed().endBurst();
    EXPECT_EQ(lineIn()->text(), QStringLiteral(" de")); // the burst's keyed part leaves the line
    EXPECT_EQ(typed().taken(), 0);

    // Switched off, what still waits stays in the line to be sent whole.
    QTest::keyClick(console, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(lineIn()->text(), QStringLiteral(" de"));
    EXPECT_EQ(typed().text(), QString());
    EXPECT_TRUE(button(QStringLiteral("transmitOutlet"))->isEnabled());
}

TEST_F(KeyboardModeTest, FunctionKeysAppendWhileKeyingAndEscDropsWhatWaits)
{
    store->setValue(KLKKeyboardModeKey, true);
    QTest::keyClicks(lineIn(), QStringLiteral("r "));
    keyNext();
    recorder->sending = 1;
    const int stops = recorder->stops;
    pressFunctionKey(1);
    pressFunctionKey(1); // within the repeat window: ignored
    EXPECT_EQ(recorder->stops, stops);
    EXPECT_EQ(typed().text(), QStringLiteral("r TU AB1CD"));
    EXPECT_EQ(lineIn()->text(), QStringLiteral("r TU AB1CD"));

    QTest::keyClick(console, Qt::Key_Escape);
    EXPECT_GT(recorder->stops, stops);
    EXPECT_EQ(typed().text(), QStringLiteral("r"));
    EXPECT_FALSE(typed().waits());
}

} // namespace
