#pragma once

#include "preferences/group_pane.h"

namespace Ui {
class Preferences;
}

// Macro: the texts of the global macros, the four macros of one message group, and the times of day at
// which the greeting $G changes.
class MacroPane : public GroupPane
{
    Q_OBJECT

public:
    MacroPane(Ui::Preferences &ui, SettingsStore &store, QObject *parent = nullptr);

protected:
    void bindGroup(const QString &group) override;

private:
    Ui::Preferences &ui_;
};
