#pragma once

#include "preferences/preferences_pane.h"

namespace Ui {
class Preferences;
}

// Keyer: the speed (and whether a WinKeyer's knob sets it), the dah, letter-gap and word-gap ratios, and the
// sidetone.
class KeyerPane : public PreferencesPane
{
    Q_OBJECT

public:
    KeyerPane(Ui::Preferences &ui, SettingsStore &store, QObject *parent = nullptr);
};
