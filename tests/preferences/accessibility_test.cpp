#include "accessible_tree.h"
#include "preferences_fixture.h"
#include "window_fit.h"

#include <QApplication>
#include <QTest>

namespace {

class PreferencesAccessibilityTest : public PreferencesTest
{
protected:
    void show()
    {
        open();
        preferences->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(preferences.get()));
    }
    // The shown pane's controls that Tab can reach, in no order.
    QSet<QWidget *> tabStops() const
    {
        QSet<QWidget *> stops;
        QWidget *pane = control<QTabWidget>(QStringLiteral("preferencesTab"))->currentWidget();
        for (QWidget *widget : pane->findChildren<QWidget *>()) {
            if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
                !widget->focusProxy())
                stops.insert(widget);
        }
        return stops;
    }
};

TEST_F(PreferencesAccessibilityTest, EveryControlHasAName)
{
    show();
    EXPECT_EQ(AccessibleTree::unnamedControls(preferences.get()).join(QLatin1Char('\n')).toStdString(), "");
    EXPECT_EQ(AccessibleTree::indistinctControls(preferences.get()).join(QLatin1Char('\n')).toStdString(),
              "");
}

// From a pane's first control, Tab reaches every other one and comes back to it: no control keeps the
// focus. A time field takes Tab for its minutes first, so a control may hold the focus for two presses.
TEST_F(PreferencesAccessibilityTest, TabGoesRoundEveryPane)
{
    show();
    for (const QString &pane : PreferencesController::toolbarItemIdentifiers()) {
        SCOPED_TRACE(pane.toStdString());
        toolbarAction(pane)->trigger();
        const QSet<QWidget *> stops = tabStops();
        ASSERT_FALSE(stops.isEmpty());
        QWidget *first = preferences.get();
        while (!stops.contains(first))
            first = first->nextInFocusChain();
        first->setFocus(Qt::TabFocusReason);
        QSet<QWidget *> visited;
        for (qsizetype step = 0; step < 3 * stops.size(); ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.insert(QApplication::focusWidget());
            if (QApplication::focusWidget() == first && visited.size() >= stops.size())
                break;
        }
        EXPECT_EQ(QApplication::focusWidget(), first) << "Tab came back";
        for (QWidget *stop : stops)
            EXPECT_TRUE(visited.contains(stop)) << stop->objectName().toStdString();
    }
}

TEST_F(PreferencesAccessibilityTest, NothingIsClippedAtTwiceTheFontSize)
{
    WindowFit::DesktopLook look;
    show();
    look.doubleFont(); // while the window is open, as when the operator changes the desktop's font
    for (const QString &pane : PreferencesController::toolbarItemIdentifiers()) {
        SCOPED_TRACE(pane.toStdString());
        toolbarAction(pane)->trigger();
        QTest::qWait(50);
        EXPECT_EQ(WindowFit::clippedText(preferences.get()).join(QLatin1Char('\n')).toStdString(), "");
    }
}

TEST_F(PreferencesAccessibilityTest, HighContrastThemeKeepsItsColours)
{
    WindowFit::DesktopLook look;
    look.highContrast();
    show();
    for (const QString &pane : PreferencesController::toolbarItemIdentifiers()) {
        toolbarAction(pane)->trigger();
        EXPECT_EQ(WindowFit::ownColours(preferences.get()).join(QLatin1Char('\n')).toStdString(), "")
            << pane.toStdString();
    }
}

} // namespace
