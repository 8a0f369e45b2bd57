#pragma once

#include "preferences/group_pane.h"

namespace Ui {
class Preferences;
}

// Message: the label of one message group and the label and message of each of its twelve keys.
class MessagePane : public GroupPane
{
    Q_OBJECT

public:
    MessagePane(Ui::Preferences &ui, SettingsStore &store, QObject *parent = nullptr);

protected:
    void bindGroup(const QString &group) override;

private:
    Ui::Preferences &ui_;
};
