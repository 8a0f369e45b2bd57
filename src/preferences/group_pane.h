#pragma once

#include "preferences/preferences_pane.h"

#include <memory>
#include <vector>

class GroupSelector;
class QComboBox;

// A pane whose fields edit one message group at a time, the group chosen in its own selector. On each
// choice the earlier group's bindings go first, so that showing the new group's texts never writes into
// the old group's keys.
class GroupPane : public PreferencesPane
{
    Q_OBJECT

public:
    GroupPane(QComboBox &selector, SettingsStore &store, QObject *parent = nullptr);
    ~GroupPane() override;

    void showGroup(const QString &group) override;

protected:
    // Binds the fields to the group chosen now and to each one chosen later; the end of a constructor calls
    // it.
    void followGroups();
    // Binds the pane's fields to the group's keys, through keep().
    virtual void bindGroup(const QString &group) = 0;
    void keep(SettingBinding *binding);

private:
    std::unique_ptr<GroupSelector> selector_;
    std::vector<std::unique_ptr<SettingBinding>> groupBindings_;
};
