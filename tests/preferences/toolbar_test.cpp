#include "preferences_fixture.h"
#include "test_translator.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

namespace {

const QStringList panes = {"PrefGeneral", "PrefKeyer",    "PrefMessage",
                           "PrefMacro",   "PrefAdvanced", "PrefNetwork"};

TEST_F(PreferencesTest, ToolbarOffersTheSixPanesInOrderAllSelectable)
{
    open();
    EXPECT_EQ(PreferencesController::toolbarItemIdentifiers(), panes);

    QStringList shown;
    for (QAction *item : toolbar()->actions()) {
        shown.append(item->objectName());
        EXPECT_TRUE(item->isCheckable()) << item->objectName().toStdString();
        ASSERT_NE(item->actionGroup(), nullptr);
        EXPECT_TRUE(item->actionGroup()->isExclusive());
        EXPECT_EQ(item->actionGroup(), toolbar()->actions().first()->actionGroup());
    }
    EXPECT_EQ(shown, panes);
    EXPECT_FALSE(toolbar()->isMovable());
    EXPECT_EQ(preferences->toolbarItem(QStringLiteral("PrefSound")), nullptr);
    EXPECT_EQ(preferences->toolbarItem(QStringLiteral("prefgeneral")), nullptr);
    EXPECT_EQ(preferences->toolbarItem(QString()), nullptr);
}

TEST_F(PreferencesTest, ToolbarItemsCarryTranslatedTextsAndTheirIcons)
{
    open();
    const QList<std::pair<QString, QString>> expected = {
        {"General", "Serial port, start-up and sending"},
        {"Keyer", "Speed and timing of the Morse code"},
        {"Messages", "Function-key labels and messages of the eight groups"},
        {"Macros", "Texts for $M, $O, $H, $J, $C, $R, the group macros and the greeting $G"},
        {"Advanced", "DTR and RTS keying lines"},
        {"Network", "Keying by loggers over the network (cwdaemon protocol)"},
    };
    for (int index = 0; index < panes.size(); ++index) {
        QAction *item = toolbarAction(panes.at(index));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), expected.at(index).first);
        EXPECT_EQ(item->toolTip(), expected.at(index).second);
        EXPECT_FALSE(item->icon().pixmap(32, 32).isNull()) << panes.at(index).toStdString();
    }
}

TEST_F(PreferencesTest, WithoutTranslationTheKeysShow)
{
    open();
    QCoreApplication::removeTranslator(&testTranslator());
    std::unique_ptr<QAction> general(preferences->toolbarItem(QStringLiteral("PrefGeneral")));
    std::unique_ptr<QAction> advanced(preferences->toolbarItem(QStringLiteral("PrefAdvanced")));
    QCoreApplication::installTranslator(&testTranslator());

    EXPECT_EQ(general->text(), "General");
    EXPECT_EQ(general->toolTip(), "PrefGeneral ToolTip");
    EXPECT_EQ(advanced->toolTip(), "PrefAdvanced ToolTip");
}

TEST_F(PreferencesTest, PanesAreTheSixIdentifiersWithoutTabBar)
{
    open();
    auto *tabs = control<QTabWidget>(QStringLiteral("preferencesTab"));
    QStringList names;
    for (int index = 0; index < tabs->count(); ++index)
        names.append(tabs->widget(index)->objectName());
    EXPECT_EQ(names, panes);
    EXPECT_TRUE(tabs->tabBar()->isHidden());
}

TEST_F(PreferencesTest, FirstOpeningOnAnEmptyStoreShowsGeneral)
{
    ASSERT_FALSE(store->contains(KLKPreferenceSelectedKey));
    open();
    EXPECT_EQ(store->persistentValue(KLKPreferenceSelectedKey), QVariant(QStringLiteral("PrefGeneral")));
    EXPECT_EQ(shownPane(), "PrefGeneral");
    EXPECT_TRUE(toolbarAction(QStringLiteral("PrefGeneral"))->isChecked());
}

TEST_F(PreferencesTest, StoredPaneOpensWithItsItemMarked)
{
    store->setValue(KLKPreferenceSelectedKey, QStringLiteral("PrefMacro"));
    open();
    EXPECT_EQ(shownPane(), "PrefMacro");
    for (const QString &pane : panes)
        EXPECT_EQ(toolbarAction(pane)->isChecked(), pane == "PrefMacro") << pane.toStdString();
    EXPECT_EQ(store->stringValue(KLKPreferenceSelectedKey), "PrefMacro");
}

TEST_F(PreferencesTest, UnknownStoredPaneOpensGeneralAndKeepsTheSetting)
{
    store->setValue(KLKPreferenceSelectedKey, QStringLiteral("PrefSound"));
    open();
    EXPECT_EQ(shownPane(), "PrefGeneral");
    EXPECT_TRUE(toolbarAction(QStringLiteral("PrefGeneral"))->isChecked());
    EXPECT_EQ(store->stringValue(KLKPreferenceSelectedKey), "PrefSound");
}

TEST_F(PreferencesTest, ToolbarChoiceShowsItsPaneWithoutStoringIt)
{
    open();
    preferences->showWindow();
    QSignalSpy writes(store.get(), &SettingsStore::changed);
    for (const QString &pane : {QStringLiteral("PrefKeyer"), QStringLiteral("PrefAdvanced")}) {
        QWidget *button = toolbar()->widgetForAction(toolbarAction(pane));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(shownPane(), pane);
        EXPECT_TRUE(toolbarAction(pane)->isChecked());
    }
    EXPECT_FALSE(toolbarAction(QStringLiteral("PrefGeneral"))->isChecked());
    EXPECT_EQ(store->stringValue(KLKPreferenceSelectedKey), "PrefGeneral");
    for (const QList<QVariant> &write : writes)
        EXPECT_NE(write.first().toString(), KLKPreferenceSelectedKey);
}

} // namespace
