#pragma once

#include <QString>

// One serial port as discovery finds it.
struct SerialPort
{
    // The path to offer and store: the port's stable name under /dev/serial/by-id when it has one, else its
    // device node; empty when the kernel knows the port but no device node exists for it.
    QString path;
    // The kernel's device node, such as /dev/ttyUSB0, whose number may change from one plug to the next.
    QString device;
    // Maker, product and serial number where the port tells them, else what kind of port it is.
    QString description;

    friend bool operator==(const SerialPort &, const SerialPort &) = default;
};
