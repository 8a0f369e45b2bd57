#include "radio/radio_connection.h"

RadioConnection RadioConnection::onSerialPort(int model, const QString &port, int serialSpeed)
{
    RadioConnection connection;
    connection.model = model;
    connection.port = port;
    connection.serialSpeed = serialSpeed;
    return connection;
}

RadioConnection RadioConnection::throughRigctld(const QString &host, quint16 port, int modelBehind)
{
    RadioConnection connection;
    connection.model = rigctldModel;
    connection.modelBehind = modelBehind;
    connection.host = host;
    connection.rigctldPort = port;
    return connection;
}

QString RadioConnection::pathname() const
{
    if (!isRigctld())
        return port;
    // An IPv6 address is written in brackets, so that Hamlib finds the port after the last colon.
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return shownHost + u':' + QString::number(rigctldPort);
}
