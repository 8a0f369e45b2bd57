#pragma once

#include <QProcess>
#include <QString>

// Hamlib's rigctld, started for one test on a free port of the loopback address, serving the given model
// on the given serial device; stopped with the test.
class RigctldProcess
{
public:
    RigctldProcess(int model, const QString &device);
    ~RigctldProcess();

    quint16 port() const { return port_; }
    // Whether it accepts connections, within a few seconds of its start.
    bool isListening() const { return listening_; }

    // A port of the loopback address that nothing listens on now.
    static quint16 freePort();

private:
    QProcess process_;
    quint16 port_ = 0;
    bool listening_ = false;
};
