#pragma once

#include <QObject>
#include <QTimer>

class Keyer;
class QLabel;

// The badge that tells at a glance what the keyer does: IDLE, SENDING, BEACON with the seconds left of
// its pause, or BEACON ARMED while the next text sent will repeat. It looks at the keyer ten times a
// second and as soon as a command changed it.
class StateBadge : public QObject
{
    Q_OBJECT

public:
    StateBadge(QLabel &label, Keyer &keyer, QObject *parent = nullptr);

    void update();
    void restyle();
    // As wide as SENDING in the label's bold font, so that what stands beside it stays put.
    void followFont();

signals:
    // What the keyer does, each time the badge looks.
    void looked(bool sending, bool beaconArmed);

private:
    enum class Look { Idle, OnAir, Pause, Armed };

    void fit();

    QLabel &label_;
    Keyer &keyer_;
    Look look_ = Look::Idle;
    int width_ = 0;
    QTimer poll_;
};
