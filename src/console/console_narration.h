#pragma once

#include <QObject>
#include <QString>

class Announcer;

// What the console tells a screen reader about the keyer, through an Announcer: that a transmission
// starts and what it sends, that it ended or was stopped and what went out, that a beacon is armed, runs
// or stopped, the speed the operator set, and each new diagnostic of the status bar (an error at once,
// information when the reader is free). The sent text is told once a transmission, never a character at
// a time; a beacon's repeats are not told again.
class ConsoleNarration : public QObject
{
    Q_OBJECT

public:
    explicit ConsoleNarration(Announcer &announcer, QObject *parent = nullptr);

    // The console asked the keyer to send text; it is told when keying begins.
    void requested(const QString &text);
    // A pass over the text began to key; beacon is whether a beacon repeats it.
    void passStarted(bool beacon);
    void echoed(const QString &text);
    void stopRequested();
    // What the keyer does now, as the console polls it.
    void keyerState(bool sending, bool beaconArmed);
    void speedSet(int wpm);
    void keyboardSwitched(bool on);
    void statusShown(const QString &error, const QString &information);

private:
    enum class State { Idle, Sending, BeaconRunning, BeaconArmed };

    void finishTransmission(bool beaconArmed);

    Announcer &announcer_;
    State state_ = State::Idle;
    QString requested_;
    QString echo_;
    bool stopped_ = false;
    bool finishing_ = false;
    QString error_;
    QString information_;
};
