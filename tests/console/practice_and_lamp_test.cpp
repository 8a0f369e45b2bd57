#include "console_fixture.h"
#include "eventually.h"
#include "widgets/lamp.h"
#include "window_fit.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>

namespace {

class PracticeConsoleTest : public ConsoleFixture
{
protected:
    Lamp *lamp() const { return widget<Lamp>(QStringLiteral("keyLamp")); }
    bool lampLit() const { return lamp()->isLit(); }
    QLabel *practiceBadge() const { return widget<QLabel>(QStringLiteral("practiceIndicator")); }
    QAction *practiceAction() const
    {
        return console->findChild<QAction *>(QStringLiteral("actionPractice"));
    }
    void publish(KeyEvent::Edge edge)
    {
        recorder->timeline.publish({edge, 0, edge == KeyEvent::Edge::Down ? 60 : 0});
    }
};

// The check box, the menu item and the setting are one switch, and the console says plainly which way it
// is: the badge, the title, and no set-up hint asking for a port that practice does not need.
TEST_F(PracticeConsoleTest, PracticeModeShowsPlainlyWhicheverWayItIsSwitched)
{
    QWidget *hint = widget(QStringLiteral("setupHint"));
    ASSERT_TRUE(hint->isVisible()); // no port chosen yet
    EXPECT_FALSE(practiceBadge()->isVisible());

    click(QStringLiteral("practiceCheckBox"));
    EXPECT_TRUE(store->boolValue(KLKPracticeModeKey));
    EXPECT_TRUE(practiceBadge()->isVisible());
    EXPECT_TRUE(practiceBadge()->text().contains(QStringLiteral("PRACTICE")));
    EXPECT_TRUE(console->windowTitle().contains(QStringLiteral("Practice")));
    EXPECT_TRUE(practiceAction()->isChecked());
    EXPECT_FALSE(hint->isVisible());

    practiceAction()->trigger();
    EXPECT_FALSE(store->boolValue(KLKPracticeModeKey));
    EXPECT_FALSE(widget<QCheckBox>(QStringLiteral("practiceCheckBox"))->isChecked());
    EXPECT_FALSE(practiceBadge()->isVisible());
    EXPECT_EQ(console->windowTitle(), QStringLiteral("Keylark"));
    EXPECT_TRUE(hint->isVisible());

    store->setValue(KLKPracticeModeKey, true); // as --practice or the preferences file sets it
    EXPECT_TRUE(widget<QCheckBox>(QStringLiteral("practiceCheckBox"))->isChecked());
    EXPECT_TRUE(practiceBadge()->isVisible());
}

// The lamp follows the engine's timeline edge for edge, posted from the worker's side of the console.
TEST_F(PracticeConsoleTest, KeyLampLightsWithEachKeyDownAndGoesOutWithItsKeyUp)
{
    EXPECT_FALSE(lampLit());
    for (int element = 0; element < 3; ++element) {
        publish(KeyEvent::Edge::Down);
        EXPECT_EVENTUALLY(lampLit());
        publish(KeyEvent::Edge::Up);
        EXPECT_EVENTUALLY(!lampLit());
    }
}

// A window that is busy for a while is handed the edges in order once it looks again: the lamp ends dark
// after a run of elements, never lit by an edge that overtook another.
TEST_F(PracticeConsoleTest, KeyLampEndsDarkAfterABurstOfEdges)
{
    for (int element = 0; element < 100; ++element) {
        publish(KeyEvent::Edge::Down);
        publish(KeyEvent::Edge::Up);
    }
    publish(KeyEvent::Edge::Down);
    EXPECT_EVENTUALLY(lampLit());
    publish(KeyEvent::Edge::Up);
    EXPECT_EVENTUALLY(!lampLit());
    QTest::qWait(50);
    EXPECT_FALSE(lampLit());
}

// The lamp repaints at most once a frame, whatever the speed: a burst of elements shorter than a frame
// lights it and leaves it dark, in a few changes rather than one for each edge, and none goes unseen.
TEST_F(PracticeConsoleTest, KeyLampShowsABurstOfShortElementsInAFewChanges)
{
    QSignalSpy changes(lamp(), &Lamp::litChanged);
    for (int element = 0; element < 50; ++element) {
        publish(KeyEvent::Edge::Down);
        publish(KeyEvent::Edge::Up);
    }
    EXPECT_EVENTUALLY(changes.size() >= 2 && !lampLit());
    QTest::qWait(100);
    ASSERT_GE(changes.size(), 2);
    EXPECT_TRUE(changes.first().first().toBool());
    EXPECT_FALSE(changes.last().first().toBool());
    EXPECT_LE(changes.size(), 4);
}

// The lamp keeps its size lit and dark, so that a change never lays the window out again; it reads as the
// label it replaced did; and lit, it shows amber, or the theme's text colour in a high-contrast theme.
TEST_F(PracticeConsoleTest, KeyLampChangesOnlyItsColoursAndReadsAsALabel)
{
    QAccessibleInterface *read = QAccessible::queryAccessibleInterface(lamp());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->role(), QAccessible::StaticText);
    EXPECT_EQ(read->text(QAccessible::Name), QStringLiteral("Key lamp"));
    EXPECT_TRUE(read->text(QAccessible::Description).startsWith(QStringLiteral("Lit while the key is down")));
    for (const bool high : {false, true}) {
        WindowFit::DesktopLook look;
        if (high)
            look.highContrast();
        const QSize dark = lamp()->sizeHint();
        publish(KeyEvent::Edge::Down);
        EXPECT_EVENTUALLY(lampLit());
        EXPECT_EQ(lamp()->sizeHint(), dark);
        const QColor fill = lamp()->grab().toImage().pixelColor(lamp()->width() / 2, 2);
        EXPECT_EQ(fill, high ? lamp()->palette().color(QPalette::WindowText) : QColor(0xff, 0xb3, 0x00))
            << fill.name().toStdString();
        publish(KeyEvent::Edge::Up);
        EXPECT_EVENTUALLY(!lampLit());
    }
}

} // namespace
