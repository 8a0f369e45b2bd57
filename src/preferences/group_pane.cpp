#include "preferences/group_pane.h"

#include "preferences/group_selector.h"
#include "settings/setting_binding.h"

GroupPane::GroupPane(QComboBox &selector, SettingsStore &store, QObject *parent)
    : PreferencesPane(store, parent), selector_(std::make_unique<GroupSelector>(selector, store))
{
}

GroupPane::~GroupPane() = default;

void GroupPane::showGroup(const QString &group)
{
    selector_->select(group);
}

void GroupPane::followGroups()
{
    const auto bindChosen = [this](const QString &group) {
        groupBindings_.clear();
        bindGroup(group);
    };
    connect(selector_.get(), &GroupSelector::chosen, this, bindChosen);
    bindChosen(selector_->selectedGroup());
}

void GroupPane::keep(SettingBinding *binding)
{
    groupBindings_.emplace_back(binding);
}
