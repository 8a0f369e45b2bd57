#pragma once

#include <QByteArray>
#include <QStringList>

#include <functional>

// Lists the serial ports present on the host by device path; an empty text stands for a port that the host
// reports without a device path.
using PortEnumerator = std::function<QStringList()>;

// The host's real serial ports (phantom UARTs left out), each once, in natural order (ttyS2 before ttyS10).
QStringList systemPorts();

// Sorts device paths in natural order and drops repeated paths.
QStringList orderedPortPaths(QStringList paths);

// Appends the device path of every port to list and writes one line per port on standard output.
// Returns 0 when a path was found, -1 when none was.
int serialDeviceSetup(QStringList &list, const PortEnumerator &ports = systemPorts);

// The last device path that the latest discovery found; empty when it found none.
QByteArray lastFoundPath();
