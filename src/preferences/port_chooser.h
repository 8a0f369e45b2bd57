#pragma once

#include "keying/serial_port.h"
#include "keying/serial_port_scanner.h"

#include <QList>
#include <QObject>
#include <QStringList>

class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class SettingsStore;

// A serial device chooser (the keying port's, the radio's): one entry per port found, by its description and
// kernel name, holding the stable path to store; the stored path is always offered, marked when nothing is
// there, and "none" only when nothing is stored. Nothing here opens a port: the list comes from sysfs and
// /dev alone. Filling the list never changes the setting; choosing an entry does.
class PortChooser : public QObject
{
    Q_OBJECT

public:
    // path: the label under the list that shows the path stored, a row of form; key: where the path is
    // stored.
    PortChooser(QComboBox &list, QPushButton &rescan, QLabel &path, QFormLayout &form, SettingsStore &store,
                const QString &key, const SerialPortScanner &scanner, QObject *parent = nullptr);
    // A chooser that offers the ports discovery found and looks again through it, so that the ports are
    // looked for (and reported) once for both.
    PortChooser(QComboBox &list, QPushButton &rescan, QLabel &path, QFormLayout &form, SettingsStore &store,
                const QString &key, PortChooser &discovery, QObject *parent = nullptr);

    // Looks for the ports again and offers what is found.
    void rescanDevices();

signals:
    void devicesFound();

private:
    void connectList(QPushButton &rescan);
    const QList<SerialPort> &ports() const { return discovery_ ? discovery_->ports_ : ports_; }
    void discoverDevices();
    void fillDevicePopUp();
    QString storedDeviceText(const QString &stored) const;
    void showDevicePath();
    void chooseDevice(int index);

    QComboBox &devicePopUpButton_;
    QLabel &pathLabel_;
    QFormLayout &form_;
    SettingsStore &store_;
    QString key_;
    SerialPortScanner scanner_;
    PortChooser *discovery_ = nullptr; // the chooser that looks for the ports; none: this one
    QList<SerialPort> ports_;
    QStringList devices;
    QStringList serialDeviceArrayList; // the paths that serial port discovery found
};
