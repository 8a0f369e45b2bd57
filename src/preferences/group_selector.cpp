#include "preferences/group_selector.h"

#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QComboBox>

GroupSelector::GroupSelector(QComboBox &box, SettingsStore &store, QObject *parent)
    : QObject(parent), box_(box), store_(store)
{
    for (int group = 1; group <= GROUPCOUNT; ++group)
        box_.addItem(QString(), groupIdentifier(group));
    showNames();
    connect(&box_, &QComboBox::currentIndexChanged, this, [this] { emit chosen(selectedGroup()); });
    connect(&store_, &SettingsStore::changed, this, [this](const QString &key) {
        for (int group = 1; group <= GROUPCOUNT; ++group) {
            if (key == groupLabelKey(group))
                showNames();
        }
    });
}

QString GroupSelector::selectedGroup() const
{
    return groupIdentifier(box_.currentIndex() + 1);
}

void GroupSelector::select(const QString &group)
{
    const int index = box_.findData(group);
    if (index >= 0)
        box_.setCurrentIndex(index);
}

void GroupSelector::showNames()
{
    for (int group = 1; group <= GROUPCOUNT; ++group) {
        const QString label = store_.usableText(groupLabelKey(group));
        const QString name =
            label.isEmpty() ? QString::number(group) : QStringLiteral("%1 \u00b7 %2").arg(group).arg(label);
        box_.setItemText(group - 1, name);
    }
}
