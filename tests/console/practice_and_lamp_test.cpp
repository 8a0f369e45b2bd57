#include "console_fixture.h"
#include "eventually.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>

#include <vector>

namespace {

// The lamp's states as it shows them, one for each change of its "lit" property.
class LitChanges : public QObject
{
public:
    std::vector<bool> states;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::DynamicPropertyChange)
            states.push_back(watched->property("lit").toBool());
        return false;
    }
};

class PracticeConsoleTest : public ConsoleFixture
{
protected:
    QLabel *lamp() const { return widget<QLabel>(QStringLiteral("keyLamp")); }
    bool lampLit() const { return lamp()->property("lit").toBool(); }
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
    LitChanges changes;
    lamp()->installEventFilter(&changes);
    for (int element = 0; element < 50; ++element) {
        publish(KeyEvent::Edge::Down);
        publish(KeyEvent::Edge::Up);
    }
    EXPECT_EVENTUALLY(changes.states.size() >= 2 && !lampLit());
    QTest::qWait(100);
    ASSERT_FALSE(changes.states.empty());
    EXPECT_TRUE(changes.states.front());
    EXPECT_FALSE(changes.states.back());
    EXPECT_LE(changes.states.size(), 4u);
}

} // namespace
