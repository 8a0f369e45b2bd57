#include "console/message_group_tabs.h"

#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

#include <algorithm>

namespace {

// A label such as "R&R" shows as written instead of underlining a letter.
QString literalButtonText(const QVariant &value)
{
    return SettingValue::toText(value).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

MessageGroupTabs::MessageGroupTabs(QTabWidget &tabs, QLabel &groupLabel, SettingsStore &store,
                                   QObject *parent)
    : QObject(parent), tabs_(tabs), groupLabel_(groupLabel), store_(store)
{
    // The tab bar takes the focus itself; its tab widget, which would only pass it on, is no stop of its own.
    tabs_.setFocusPolicy(Qt::NoFocus);
    tabs_.tabBar()->setFocusPolicy(Qt::TabFocus);
    connect(&store_, &SettingsStore::changed, this, &MessageGroupTabs::settingChanged);
}

QString MessageGroupTabs::selectedMessageGroup() const
{
    QWidget *page = tabs_.currentWidget();
    return page ? page->objectName() : groupIdentifier(1);
}

QString MessageGroupTabs::groupAt(int index) const
{
    QWidget *page = tabs_.widget(index);
    return page ? page->objectName() : QString();
}

void MessageGroupTabs::messageGroupChange(const QObject *sender)
{
    const int group = sender ? sender->property("tag").toInt() : 0;
    if (auto *page = tabs_.findChild<QWidget *>(groupIdentifier(group)))
        tabs_.setCurrentWidget(page);
}

void MessageGroupTabs::setSelectedMessageGroup(const QString &group)
{
    const QString key = groupLabelKey(group);
    groupLabel_.setText(store_.contains(key) ? store_.usableText(key) : group);
}

QList<QWidget *> MessageGroupTabs::focusChain() const
{
    QList<QWidget *> chain = {tabs_.tabBar()};
    for (int group = 1; group <= GROUPCOUNT; ++group) {
        if (auto *page = tabs_.findChild<QWidget *>(groupIdentifier(group)))
            chain += page->findChild<QTreeWidget *>();
    }
    return chain;
}

void MessageGroupTabs::settingChanged(const QString &key)
{
    if (!key.startsWith(QStringLiteral("messageG")))
        return;
    refreshMessagePages();
    if (key == groupLabelKey(selectedMessageGroup()))
        setSelectedMessageGroup(selectedMessageGroup());
}

void MessageGroupTabs::refreshMessagePages()
{
    for (int group = 1; group <= GROUPCOUNT; ++group)
        refreshMessagePage(group);
}

void MessageGroupTabs::refreshMessagePage(int group)
{
    const QString identifier = groupIdentifier(group);
    auto *page = tabs_.findChild<QWidget *>(identifier);
    auto *view = page ? page->findChild<QTreeWidget *>() : nullptr;
    if (!view)
        return;
    const QString labelSetting = groupLabelKey(identifier);
    const QVariant groupLabel =
        store_.contains(labelSetting) ? store_.usableValue(labelSetting) : QVariant(identifier);
    tabs_.setTabText(tabs_.indexOf(page), literalButtonText(groupLabel));
    view->setAccessibleName(tr("Stored messages of group %1").arg(SettingValue::toText(groupLabel)));
    view->setMinimumHeight(40); // a small screen keeps its room for the log
    if (view->topLevelItemCount() != FUNCTIONCOUNT) {
        view->clear();
        for (int key = 1; key <= FUNCTIONCOUNT; ++key)
            new QTreeWidgetItem(view, {QStringLiteral("F%1").arg(key)});
    }
    for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
        QTreeWidgetItem *item = view->topLevelItem(key - 1);
        const QString label = store_.usableText(labelKey(identifier, key));
        item->setText(1, label.isNull() ? QStringLiteral("F%1").arg(key) : label);
        item->setText(2, store_.usableText(messageKey(identifier, key)));
    }
    view->resizeColumnToContents(0);
    view->setColumnWidth(1, std::max(view->columnWidth(1), 140));
}
