#include "accessible_tree.h"
#include "console/console_fixture.h"
#include "eventually.h"
#include "keying/diagnostics.h"
#include "window_fit.h"

#include <QAction>
#include <QApplication>
#include <QFontDialog>
#include <QLabel>
#include <QTextBlock>
#include <QTimer>

#include <functional>
#include <thread>

namespace {


class ConsoleAccessibilityTest : public ConsoleFixture
{
protected:
    void prepareStore() override
    {
        store->setValue(labelKey(group1, 1), QStringLiteral("TU"));
        store->setValue(messageKey(group1, 1), QStringLiteral("tu $M"));
        store->setValue(labelKey(group2, 1), QStringLiteral("CQ"));
        store->setValue(messageKey(group2, 1), QStringLiteral("cq test $M"));
        store->setValue(groupLabelKey(group2), QStringLiteral("Contest"));
    }
    void openDrawer() const
    {
        console->findChild<QAction *>(QStringLiteral("actionToggleDrawer"))->trigger();
    }
    void selectGroup(int group) const
    {
        console->findChild<QAction *>(QStringLiteral("actionGroup%1").arg(group))->trigger();
    }
    QString focused() const
    {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }
};

TEST_F(ConsoleAccessibilityTest, EveryControlHasAName)
{
    openDrawer();
    EXPECT_EQ(AccessibleTree::unnamedControls(console).join(QLatin1Char('\n')).toStdString(), "");
    EXPECT_EQ(AccessibleTree::indistinctControls(console).join(QLatin1Char('\n')).toStdString(), "");
}

TEST_F(ConsoleAccessibilityTest, FunctionKeysAreNamedByLabelAndDescribedByMessage)
{
    struct Case
    {
        const char *what;
        std::function<void()> change;
        int key;
        const char *name;
        const char *description;
    };
    const Case cases[] = {
        {"stored label and message", [] {}, 1, "F1, TU", "tu $M"},
        {"nothing stored", [] {}, 2, "F2", "No message stored"},
        {"label set", [&] { store->setValue(labelKey(group1, 2), QStringLiteral("QRZ")); }, 2, "F2, QRZ",
         "No message stored"},
        {"ampersand as written", [&] { store->setValue(labelKey(group1, 3), QStringLiteral("R&R")); }, 3,
         "F3, R&R", "No message stored"},
        {"message changed", [&] { store->setValue(messageKey(group1, 1), QStringLiteral("tnx $M")); }, 1,
         "F1, TU", "tnx $M"},
        {"label removed", [&] { store->remove(labelKey(group1, 1)); }, 1, "F1", "tnx $M"},
        {"group switched", [&] { selectGroup(2); }, 1, "F1, CQ", "cq test $M"},
        {"other group's message changed",
         [&] { store->setValue(messageKey(group1, 1), QStringLiteral("x")); }, 1, "F1, CQ", "cq test $M"},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.what);
        row.change();
        EXPECT_EQ(functionKey(row.key)->accessibleName(), QString::fromUtf8(row.name));
        EXPECT_EQ(functionKey(row.key)->accessibleDescription(), QString::fromUtf8(row.description));
    }
}

TEST_F(ConsoleAccessibilityTest, StoredMessagesAreNamedByTheirGroup)
{
    EXPECT_EQ(widget(QStringLiteral("messageG2View"))->accessibleName(),
              QStringLiteral("Stored messages of group Contest"));
    store->setValue(groupLabelKey(group2), QStringLiteral("DX"));
    EXPECT_EQ(widget(QStringLiteral("messageG2View"))->accessibleName(),
              QStringLiteral("Stored messages of group DX"));
}

TEST_F(ConsoleAccessibilityTest, TabVisitsEveryPartAndComesBack)
{
    openDrawer();
    selectGroup(2);
    lineIn()->setFocus(Qt::OtherFocusReason);
    const QStringList order = {"callOutlet",           "rstOutlet",
                               "setupHintButton",      "textViewOutlet",
                               "qt_tabwidget_tabbar",  "messageG2View",
                               "speedSpinBox",         "dahRatioSpinBox",
                               "letterRatioSpinBox",   "wordRatioSpinBox",
                               "beaconDelaySpinBox",   "sidetoneCheckBox",
                               "sidetonePitchSpinBox", "sidetoneVolumeSpinBox",
                               "lineInOutlet"};
    QStringList visited;
    for (qsizetype step = 0; step < order.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << focused();
    }
    EXPECT_EQ(visited.join(QLatin1Char(' ')).toStdString(), order.join(QLatin1Char(' ')).toStdString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(focused().toStdString(), "sidetoneVolumeSpinBox");
}

TEST_F(ConsoleAccessibilityTest, SetUpHintIsHeardWithTheInputLineUntilKeyingIsSetUp)
{
    EXPECT_TRUE(lineIn()->accessibleDescription().startsWith(QStringLiteral("Keylark keys nothing yet")));
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_TRUE(lineIn()->accessibleDescription().contains(QStringLiteral("the line (DTR or RTS)")));
    store->setValue(KLKSerialDTRKey, true);
    EXPECT_EQ(lineIn()->accessibleDescription(), QString());
}

TEST_F(ConsoleAccessibilityTest, LogIsReadFromTheKeyboardWhileItGrows)
{
    console->logRelay().appendText(QStringLiteral("CQ DE AB1CD"));
    log()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(log(), Qt::Key_Home);
    QTest::keyClick(log(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(log(), Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(log()->textCursor().selectedText(), QStringLiteral("CQ"));

    console->logRelay().appendText(QStringLiteral(" K"));
    EXPECT_EQ(log()->textCursor().selectedText(), QStringLiteral("CQ")) << "the reader keeps their place";

    QTest::keyClick(log(), Qt::Key_End);
    console->logRelay().appendText(QStringLiteral(" E"));
    EXPECT_EQ(log()->textCursor().position(), log()->document()->characterCount() - 1)
        << "at the end it follows";

    QTest::keyClicks(log(), QStringLiteral("tu"));
    EXPECT_EQ(lineIn()->text(), QStringLiteral("tu"));
    EXPECT_EQ(log()->toPlainText(), QStringLiteral("CQ DE AB1CD K E"));
}

TEST_F(ConsoleAccessibilityTest, NothingIsClippedAtTwiceTheFontSize)
{
    WindowFit::DesktopLook look;
    const qreal logSize = log()->font().pointSizeF();
    look.doubleFont();
    openDrawer();
    recorder->armed = true; // the widest badge
    std::thread([] { Diagnostics::out(QStringLiteral("#.. Keylark : Beacon armed")); }).join();
    QTest::qWait(250);
    EXPECT_GE(console->width(), console->minimumSizeHint().width());
    EXPECT_GE(console->height(), console->minimumSizeHint().height());
    EXPECT_EQ(WindowFit::clippedText(console).join(QLatin1Char('\n')).toStdString(), "");
    EXPECT_GE(log()->font().pointSizeF(), 1.9 * logSize) << "the log grows with the desktop's font";
}

struct PaletteCase
{
    const char *name;
    bool highContrast;
};

class ConsoleColoursTest : public ConsoleAccessibilityTest, public ::testing::WithParamInterface<PaletteCase>
{
};

TEST_P(ConsoleColoursTest, TimestampsReadWellOnTheLog)
{
    WindowFit::DesktopLook look;
    if (GetParam().highContrast)
        look.highContrast();
    console->logRelay().appendPrompt(QStringLiteral("12:00:00  "));
    EXPECT_EVENTUALLY_EQ(log()->toPlainText(), QStringLiteral("12:00:00  "));
    const QColor stamp = log()->document()->firstBlock().begin().fragment().charFormat().foreground().color();
    EXPECT_GE(WindowFit::contrast(stamp, log()->palette().color(QPalette::Base)), 4.5)
        << stamp.name().toStdString();
    EXPECT_NE(stamp, log()->palette().color(QPalette::Text)) << "the time stays muted";
}

INSTANTIATE_TEST_SUITE_P(Themes, ConsoleColoursTest,
                         ::testing::Values(PaletteCase{"Ordinary", false}, PaletteCase{"HighContrast", true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ConsoleAccessibilityTest, HighContrastThemeKeepsItsColoursInEveryState)
{
    WindowFit::DesktopLook look;
    look.highContrast();
    std::thread([] {
        Diagnostics::out(QStringLiteral("*** Keylark : Serial open error. Please set serial device."));
    }).join();
    struct State
    {
        int sending;
        bool armed;
        int pauseLeft;
    };
    for (const State state : {State{0, false, 0}, State{1, false, 0}, State{0, true, 0}, State{1, true, 3}}) {
        recorder->sending = state.sending;
        recorder->armed = state.armed;
        recorder->pauseLeft = state.pauseLeft;
        QTest::qWait(150);
        SCOPED_TRACE(widget<QLabel>(QStringLiteral("sendingIndicator"))->text().toStdString());
        EXPECT_EQ(WindowFit::ownColours(console).join(QLatin1Char('\n')).toStdString(), "");
    }
    recorder->sending = 0;
}

} // namespace

namespace {

// The log font dialog is Qt's own, opened by Console > Log Font…; a reader must find their way through it
// too.
TEST_F(ConsoleAccessibilityTest, LogFontDialogNamesEveryControl)
{
    QString unnamed = QStringLiteral("the dialog did not open");
    QTimer::singleShot(0, [&unnamed] {
        auto *dialog = qobject_cast<QFontDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        unnamed = AccessibleTree::unnamedControls(dialog).join(QLatin1Char('\n'));
        dialog->reject();
    });
    console->findChild<QAction *>(QStringLiteral("actionLogFont"))->trigger();
    EXPECT_EQ(unnamed.toStdString(), "");
}

} // namespace
