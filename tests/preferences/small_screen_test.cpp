#include "console/console_controller.h"
#include "preferences_fixture.h"

#include <QComboBox>
#include <QTest>

namespace {

// A 1024x600 netbook leaves about 560 pixels below the desktop's panel and the window's title.
TEST_F(PreferencesTest, EveryPaneFitsANetbookScreen)
{
    open();
    preferences->show();
    for (const QString &pane : PreferencesController::toolbarItemIdentifiers()) {
        toolbarAction(pane)->trigger();
        EXPECT_LE(preferences->minimumSizeHint().width(), 1024) << pane.toStdString();
        EXPECT_LE(preferences->minimumSizeHint().height(), 560) << pane.toStdString();
    }
    preferences->resize(1024, 560);
    EXPECT_EQ(preferences->size(), QSize(1024, 560));
}

TEST_F(PreferencesTest, AltDigitsChooseThePanes)
{
    open();
    preferences->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(preferences.get()));
    const QStringList panes = PreferencesController::toolbarItemIdentifiers();
    for (int index = panes.size() - 1; index >= 0; --index) {
        QTest::keyClick(preferences.get(), Qt::Key(Qt::Key_1 + index), Qt::AltModifier);
        EXPECT_EQ(shownPane(), panes[index]);
    }
    QTest::keyClick(preferences.get(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(shownPane(), panes.last());
}

TEST_F(PreferencesTest, GroupSelectorsStartAtTheConsolesGroup)
{
    delegate->applicationDidFinishLaunching();
    delegate->consoleController()->setSelectedMessageGroup(QStringLiteral("messageG3"));
    auto *tabs = delegate->consoleController()->findChild<QTabWidget *>(QStringLiteral("messageTabOutlet"));
    tabs->setCurrentIndex(2);
    delegate->showPreferences();
    PreferencesController *shown = delegate->preferencesController();
    for (const char *name : {"messageGroupComboBox", "macroGroupComboBox"}) {
        auto *selector = shown->findChild<QComboBox *>(QString::fromLatin1(name));
        EXPECT_EQ(selector->currentData().toString(), QStringLiteral("messageG3")) << name;
    }
}

} // namespace
