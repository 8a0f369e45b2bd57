#pragma once

#include <QObject>

class QComboBox;
class SettingsStore;

// The radio model chooser: "none", then Hamlib's models whose keyer takes text as "maker model", each
// holding its Hamlib number. Typing part of a name offers the models that contain it. Choosing an entry
// stores its number; text that names no entry gives the stored model back when the field is left. A stored
// number this Hamlib has no keyer for is still shown, marked so.
class RadioModelChooser : public QObject
{
    Q_OBJECT

public:
    RadioModelChooser(QComboBox &list, SettingsStore &store, QObject *parent = nullptr);

private:
    void showStored();
    void choose(int index);

    QComboBox &list_;
    SettingsStore &store_;
};
