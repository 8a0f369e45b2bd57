#pragma once

#include "keying/serial_port.h"

#include <QList>
#include <QString>

// Finds the serial ports in sysfs and /dev without opening any device: opening a legacy UART raises its DTR
// and RTS lines, which would key a transmitter, even on the port Keylark holds open.
//
// A port is a tty whose sysfs entry has a parent device; virtual consoles and pseudo-terminals have none.
// A UART whose type the kernel could not identify (type 0) is a phantom legacy port and is left out.
// Everything is read below a root folder, "/" on the host and a prepared folder in the tests.
class SerialPortScanner
{
public:
    explicit SerialPortScanner(QString root = QStringLiteral("/"));

    // The ports present, in the natural order of their device nodes (ttyS2 before ttyS10).
    QList<SerialPort> ports() const;

    // The device node that path leads to once its symbolic links are followed; empty when nothing is there.
    QString deviceOf(const QString &path) const;

private:
    bool isPort(const QString &entry) const;
    SerialPort portOf(const QString &name, const QString &entry) const;
    QString descriptionOf(const QString &entry) const;
    QString usbDescription(const QString &usbDevice) const;
    QString usbDeviceAbove(const QString &entry) const;
    QString stableNameOf(const QString &device) const;
    QString resolved(const QString &path) const;
    QString underRoot(const QString &path) const;

    QString root_;
};
