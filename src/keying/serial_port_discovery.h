#pragma once

#include "keying/serial_port.h"
#include "keying/serial_port_scanner.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// Appends the path of every port to list and writes one line per port on standard output; a port without
// a path leaves an empty line. Returns 0 when a path was found, -1 when none was.
int serialDeviceSetup(QStringList &list, const QList<SerialPort> &ports = SerialPortScanner().ports());

// The last path that the latest discovery found; empty when it found none.
QByteArray lastFoundPath();
