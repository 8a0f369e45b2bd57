#include "preferences/port_chooser.h"

#include "keying/serial_port_discovery.h"
#include "settings/settings_store.h"
#include "widgets/wheel_guard.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

namespace {

const QString NoneItem = QStringLiteral("none");

} // namespace

PortChooser::PortChooser(QComboBox &list, QPushButton &rescan, QLabel &path, QFormLayout &form,
                         SettingsStore &store, const QString &key, const SerialPortScanner &scanner,
                         QObject *parent)
    : QObject(parent), devicePopUpButton_(list), pathLabel_(path), form_(form), store_(store), key_(key),
      scanner_(scanner)
{
    devices.reserve(10);
    serialDeviceArrayList.reserve(10);
    discoverDevices();
    connectList(rescan);
}

PortChooser::PortChooser(QComboBox &list, QPushButton &rescan, QLabel &path, QFormLayout &form,
                         SettingsStore &store, const QString &key, PortChooser &discovery, QObject *parent)
    : QObject(parent), devicePopUpButton_(list), pathLabel_(path), form_(form), store_(store), key_(key),
      scanner_(discovery.scanner_), discovery_(&discovery)
{
    connect(&discovery, &PortChooser::devicesFound, this, &PortChooser::fillDevicePopUp);
    connectList(rescan);
}

void PortChooser::connectList(QPushButton &rescan)
{
    fillDevicePopUp();
    WheelGuard::guard(&devicePopUpButton_);
    connect(&devicePopUpButton_, &QComboBox::activated, this, &PortChooser::chooseDevice);
    connect(&rescan, &QPushButton::clicked, this, &PortChooser::rescanDevices);
    connect(&store_, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == key_)
            fillDevicePopUp();
    });
}

void PortChooser::rescanDevices()
{
    if (discovery_) {
        discovery_->rescanDevices();
        return;
    }
    discoverDevices();
    fillDevicePopUp();
    emit devicesFound();
}

void PortChooser::discoverDevices()
{
    ports_ = scanner_.ports();
    serialDeviceArrayList.clear();
    serialDeviceSetup(serialDeviceArrayList, ports_);
    devices = serialDeviceArrayList;
}

void PortChooser::fillDevicePopUp()
{
    const QSignalBlocker blocker(devicePopUpButton_);
    devicePopUpButton_.clear();
    for (const SerialPort &port : ports()) {
        if (port.path.isEmpty())
            continue;
        const QString kernelName = port.device.mid(QStringLiteral("/dev/").size());
        devicePopUpButton_.addItem(tr("%1 (%2)").arg(port.description, kernelName), port.path);
        devicePopUpButton_.setItemData(devicePopUpButton_.count() - 1, port.path, Qt::ToolTipRole);
    }
    const QString stored = store_.stringValue(key_);
    int index = stored.isEmpty() ? -1 : devicePopUpButton_.findData(stored);
    if (index < 0) {
        devicePopUpButton_.addItem(stored.isEmpty() ? NoneItem : storedDeviceText(stored), stored);
        index = devicePopUpButton_.count() - 1;
    }
    devicePopUpButton_.setCurrentIndex(index);
    showDevicePath();
}

// A stored path that no entry offers: another name of a port found, something that is not a port found,
// or nothing at all.
QString PortChooser::storedDeviceText(const QString &stored) const
{
    const QString device = scanner_.deviceOf(stored);
    if (device.isEmpty())
        return tr("%1 (not present)").arg(stored);
    for (const SerialPort &port : ports()) {
        if (port.device == device)
            return tr("%1 (%2)").arg(port.description, stored);
    }
    return stored;
}

void PortChooser::showDevicePath()
{
    const QString path = devicePopUpButton_.currentData().toString();
    pathLabel_.setText(path);
    form_.setRowVisible(&pathLabel_, !path.isEmpty());
}

void PortChooser::chooseDevice(int index)
{
    const QString path = devicePopUpButton_.itemData(index).toString();
    if (path.isEmpty())
        store_.remove(key_);
    else if (path != store_.stringValue(key_))
        store_.setValue(key_, path);
}
