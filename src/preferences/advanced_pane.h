#pragma once

#include "preferences/preferences_pane.h"

namespace Ui {
class Preferences;
}

// Advanced: the lines that key the transmitter, with a picture of what they do at key-up and key-down;
// the log's scroll-back; the sent record, its days and its folder.
class AdvancedPane : public PreferencesPane
{
    Q_OBJECT

public:
    AdvancedPane(Ui::Preferences &ui, SettingsStore &store, QObject *parent = nullptr);

    QWidget *controlFor(const QString &key) const override;

private:
    void showLineStates();

    Ui::Preferences &ui_;
};
