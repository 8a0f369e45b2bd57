#include "console_fixture.h"
#include "preferences/preferences_controller.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDialog>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

namespace {

// The keys an operator presses mid-contest, from wherever the focus happens to be.
class ContestKeysTest : public ConsoleFixture
{
protected:
    void prepareStore() override
    {
        store->setValue(KLKRransmitKeyEquivKey, true);
        store->setValue(messageKey(QStringLiteral("messageG1"), 2), QStringLiteral("tu $C"));
        store->setValue(globalMacroKey(u'C'), QStringLiteral("dl1abc"));
    }

    // The preferences window, shown and active, with the focus in one of its fields.
    QWidget *focusInPreferences()
    {
        delegate->showPreferences();
        PreferencesController *preferences = delegate->preferencesController();
        EXPECT_TRUE(QTest::qWaitForWindowActive(preferences));
        auto *field = preferences->findChild<QLineEdit *>(QStringLiteral("macroEditM"));
        field->setFocus();
        EXPECT_EQ(QApplication::focusWidget(), field);
        return field;
    }
};

struct FieldCase
{
    const char *name;
    const char *widget;
};

void PrintTo(const FieldCase &row, std::ostream *out)
{
    *out << row.name;
}

class ReturnElsewhereTest : public ContestKeysTest, public ::testing::WithParamInterface<FieldCase>
{
};

// The input line still holds the last CQ: Return anywhere but there must not send it again.
TEST_P(ReturnElsewhereTest, SendsNothing)
{
    lineIn()->setText(QStringLiteral("cq test"));
    console->toggleDrawer();
    QWidget *field = QLatin1String(GetParam().widget) == QLatin1String("tabBar")
                         ? widget<QTabWidget>(QStringLiteral("messageTabOutlet"))->tabBar()
                         : widget(QString::fromLatin1(GetParam().widget));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(recorder->sent.isEmpty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Fields, ReturnElsewhereTest, ::testing::Values(
    FieldCase{"Log",       "textViewOutlet"},
    FieldCase{"Call",      "callOutlet"},
    FieldCase{"Rst",       "rstOutlet"},
    FieldCase{"Speed",     "speedSpinBox"},
    FieldCase{"WordGap",   "wordRatioSpinBox"},
    FieldCase{"Pause",     "beaconDelaySpinBox"},
    FieldCase{"GroupTabs", "tabBar"}),
    [](const ::testing::TestParamInfo<FieldCase> &info) { return info.param.name; });
// clang-format on

TEST_F(ContestKeysTest, EscapeFromThePreferencesStops)
{
    QWidget *field = focusInPreferences();
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(recorder->stops, 1);
    EXPECT_TRUE(delegate->preferencesController()->isVisible());
}

TEST_F(ContestKeysTest, EscapeFromADialogStopsAndClosesIt)
{
    QFontDialog dialog(console);
    dialog.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QWidget *focus = dialog.focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, Qt::Key_Escape);
    EXPECT_EQ(recorder->stops, 1);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ContestKeysTest, FunctionAndPageKeysActFromThePreferences)
{
    QWidget *field = focusInPreferences();
    QTest::keyClick(field, Qt::Key_F2);
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("TU DL1ABC")});
    QTest::keyClick(field, Qt::Key_PageUp);
    EXPECT_EQ(store->intValue(KLKWpmKey), 13);
    QTest::keyClick(field, Qt::Key_PageDown);
    QTest::keyClick(field, Qt::Key_PageDown);
    EXPECT_EQ(store->intValue(KLKWpmKey), 11);
    EXPECT_EQ(static_cast<QLineEdit *>(field)->text(), QString());
}

TEST_F(ContestKeysTest, CtrlPageKeysSwitchPanesInsteadOfTheSpeed)
{
    QWidget *field = focusInPreferences();
    auto *tabs = delegate->preferencesController()->findChild<QTabWidget *>(QStringLiteral("preferencesTab"));
    const int pane = tabs->currentIndex();
    QTest::keyClick(field, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(tabs->currentIndex(), (pane + 1) % tabs->count());
    EXPECT_EQ(store->intValue(KLKWpmKey), 12);
}

TEST_F(ContestKeysTest, TypingInTheLogGoesOnInTheInputLine)
{
    QTest::mouseClick(log()->viewport(), Qt::LeftButton);
    EXPECT_TRUE(lineIn()->hasFocus());

    log()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(log()->hasFocus());
    QTest::keyClicks(log(), QStringLiteral("cq"));
    EXPECT_EQ(lineIn()->text(), QStringLiteral("cq"));
    EXPECT_TRUE(lineIn()->hasFocus());
}

TEST_F(ContestKeysTest, CallAndReportFieldsAreTheMacrosBothWays)
{
    auto *call = widget<QLineEdit>(QStringLiteral("callOutlet"));
    auto *report = widget<QLineEdit>(QStringLiteral("rstOutlet"));
    EXPECT_EQ(call->text(), QStringLiteral("dl1abc"));

    QTest::keyClick(lineIn(), Qt::Key_Tab);
    EXPECT_TRUE(call->hasFocus());
    QTest::keyClick(call, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(call, QStringLiteral("ja1xyz"));
    EXPECT_EQ(store->persistentValue(globalMacroKey(u'C')), QVariant(QStringLiteral("ja1xyz")));
    QTest::keyClick(call, Qt::Key_Tab);
    EXPECT_TRUE(report->hasFocus());

    store->setValue(globalMacroKey(u'R'), QStringLiteral("599"));
    EXPECT_EQ(report->text(), QStringLiteral("599"));
    delegate->showPreferences();
    auto *preferencesCall =
        delegate->preferencesController()->findChild<QLineEdit *>(QStringLiteral("macroEditC"));
    EXPECT_EQ(preferencesCall->text(), QStringLiteral("ja1xyz"));
    preferencesCall->setText(QStringLiteral("k1abc"));
    EXPECT_EQ(call->text(), QStringLiteral("k1abc"));

    call->clear();
    EXPECT_FALSE(store->contains(globalMacroKey(u'C')));
    pressFunctionKey(2);
    EXPECT_EQ(recorder->sent, QStringList{QStringLiteral("TU ")});
}

} // namespace
