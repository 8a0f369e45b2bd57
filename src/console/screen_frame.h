#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

// One frame of the console's screen. The parts that follow a transmission (the log, the key lamp) hold
// what changed and show it when the frame ends, so that what comes together is painted together: a
// character keyed and the lamp going out make one repaint of the window instead of two.
// A frame begins with the first part that asks for one.
class ScreenFrame : public QObject
{
    Q_OBJECT

public:
    // Short enough that nobody sees the wait, long enough to take in what a key-down brings.
    static constexpr std::chrono::milliseconds length{20};

    explicit ScreenFrame(QObject *parent = nullptr);

    // The parts show what they hold once this frame ends; a frame is begun if none runs.
    void request();

signals:
    void ended();

private:
    QTimer timer_;
};
