#pragma once

#include "preferences/preferences_pane.h"

namespace Ui {
class Preferences;
}

// Network: keying by loggers over the network, the address it listens on (with a warning when that is
// every interface), its port, and the other computers that may key, with what the pane says about who may.
class NetworkPane : public PreferencesPane
{
    Q_OBJECT

public:
    NetworkPane(Ui::Preferences &ui, SettingsStore &store, QObject *parent = nullptr);

private:
    void showWhoMayKey();

    Ui::Preferences &ui_;
};
