#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A USB serial adapter as the kernel shows it in sysfs.
struct FakeUsbAdapter
{
    QString name;         // ttyUSB0
    QString busPort;      // 1-2: where it is plugged in
    QString manufacturer; // empty: the adapter tells none
    QString product;
    QString serial;
    QString byId;     // its name under /dev/serial/by-id; empty: none
    bool acm = false; // a modem-class device (ttyACM), whose tty hangs straight off the interface
};

// Adapters as they come: one that tells its maker, product and serial number and has a stable name, a
// modem-class board, and one that tells nothing and has no stable name.
// clang-format off
inline const FakeUsbAdapter FtdiAdapter{"ttyUSB0", "1-2", "FTDI", "FT232R USB UART", "A50285BI",
                                        "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};
inline const FakeUsbAdapter ArduinoBoard{"ttyACM0", "1-3", "Arduino (www.arduino.cc)", "Uno", "8503",
                                         "usb-Arduino__www.arduino.cc__0043_8503-if00", true};
inline const FakeUsbAdapter BareAdapter{"ttyUSB1", "1-4", {}, {}, {}, {}};
// clang-format on

// A sysfs and /dev tree in a temporary folder, laid out as the kernel and udev lay out the real ones, for
// discovery to read through its root. Device nodes are empty regular files: nothing here is a device.
class FakeDeviceTree
{
public:
    FakeDeviceTree();

    QString root() const { return dir_.path(); }
    bool isValid() const { return dir_.isValid(); }

    // A UART of the kernel's serial core under the given parent device; type 0 is one it could not identify.
    void addUart(const QString &name, int type,
                 const QString &parent = QStringLiteral("platform/serial8250"));
    void addUsbAdapter(const FakeUsbAdapter &adapter);
    // A tty without a parent device: a virtual console, the console or the pseudo-terminal master.
    void addVirtualTty(const QString &name);
    // A symbolic link at path (below /dev) to a device node of the tree.
    void addLink(const QString &path, const QString &target);
    void removeNode(const QString &name);

    // Every device node made so far, as a path on disk.
    QStringList nodeFiles() const { return nodeFiles_; }

private:
    QString hostFile(const QString &path) const;
    void makeFolder(const QString &path) const;
    void write(const QString &path, const QByteArray &text) const;
    void link(const QString &path, const QString &target) const;
    void addTty(const QString &name, const QString &folder, const QString &device);

    QTemporaryDir dir_;
    QStringList nodeFiles_;
};
