#pragma once

#include <QObject>
#include <QString>

class Keyer;
class SettingsStore;

// The operator's commands to the keyer, apart from any window: send, stop, beacon and the speed steps. The
// console's buttons and menu, and the keys that act from every window, all come here. The signals let the
// console's parts follow: what is said to a screen reader, the function keys' repeat window, the state badge.
class KeyerCommands : public QObject
{
    Q_OBJECT

public:
    KeyerCommands(Keyer &keyer, SettingsStore &store, QObject *parent = nullptr);

    // Stops what keys, then sends the text, macros expanded in the group, unless it is empty.
    void send(const QString &text, const QString &group);
    // Stops what keys and takes back a beacon that was asked for and has not begun.
    void cancel();
    // Asks for a beacon: the text (or the next one sent) repeats until stopped.
    void beacon(const QString &text, const QString &group);
    // One word per minute up or down, within the speed's range.
    void wpmUp();
    void wpmDown();

signals:
    void sendRequested(const QString &text);
    void stopRequested();
    void stopped();
    // After a stop or a beacon request: what the keyer does has changed.
    void stateChanged();
    void speedSet(int wpm);

private:
    void storeSpeed(int wpm);

    Keyer &keyer_;
    SettingsStore &store_;
};
