#pragma once

#include <QString>

// Where Keylark finds the radio: a Hamlib model on a serial port, or rigctld on a host and port, which
// shares the radio with a logger.
struct RadioConnection
{
    static constexpr int rigctldModel = 2; // Hamlib's network model, which talks to rigctld
    static constexpr quint16 defaultRigctldPort = 4532;

    int model = 0;
    QString port;        // the serial device, for a model on a serial port
    int serialSpeed = 0; // bits per second; 0 keeps the model's own
    int modelBehind = 0; // through rigctld, the model of the radio behind it if the operator named it
    QString host = QStringLiteral("127.0.0.1");
    quint16 rigctldPort = defaultRigctldPort;

    static RadioConnection onSerialPort(int model, const QString &port, int serialSpeed);
    static RadioConnection throughRigctld(const QString &host, quint16 port, int modelBehind = 0);

    bool isRigctld() const { return model == rigctldModel; }
    // The path Hamlib opens: the serial device, or host:port for rigctld.
    QString pathname() const;
};
