#include "fake_device_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QString UsbRoot = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/");

} // namespace

FakeDeviceTree::FakeDeviceTree()
{
    makeFolder(QStringLiteral("/sys/class/tty"));
    makeFolder(QStringLiteral("/dev"));
}

void FakeDeviceTree::addUart(const QString &name, int type, const QString &parent)
{
    const QString device = QStringLiteral("/sys/devices/") + parent;
    const QString folder = device + QStringLiteral("/tty/") + name;
    addTty(name, folder, device);
    write(folder + QStringLiteral("/type"), QByteArray::number(type) + '\n');
}

void FakeDeviceTree::addUsbAdapter(const FakeUsbAdapter &adapter)
{
    const QString usbDevice = UsbRoot + adapter.busPort;
    const QString interface = usbDevice + QLatin1Char('/') + adapter.busPort + QStringLiteral(":1.0");
    const QString portDevice = adapter.acm ? interface : interface + QLatin1Char('/') + adapter.name;
    addTty(adapter.name, portDevice + QStringLiteral("/tty/") + adapter.name, portDevice);
    write(usbDevice + QStringLiteral("/idVendor"), adapter.acm ? "2341\n" : "0403\n");
    write(usbDevice + QStringLiteral("/idProduct"), adapter.acm ? "0043\n" : "6001\n");
    if (!adapter.manufacturer.isEmpty())
        write(usbDevice + QStringLiteral("/manufacturer"), adapter.manufacturer.toUtf8() + '\n');
    if (!adapter.product.isEmpty())
        write(usbDevice + QStringLiteral("/product"), adapter.product.toUtf8() + '\n');
    if (!adapter.serial.isEmpty())
        write(usbDevice + QStringLiteral("/serial"), adapter.serial.toUtf8() + '\n');
    if (!adapter.byId.isEmpty())
        addLink(QStringLiteral("/dev/serial/by-id/") + adapter.byId, QStringLiteral("/dev/") + adapter.name);
}

void FakeDeviceTree::addVirtualTty(const QString &name)
{
    addTty(name, QStringLiteral("/sys/devices/virtual/tty/") + name, QString());
}

void FakeDeviceTree::addLink(const QString &path, const QString &target)
{
    makeFolder(QFileInfo(path).path());
    link(path, target);
}

void FakeDeviceTree::removeNode(const QString &name)
{
    const QString node = hostFile(QStringLiteral("/dev/") + name);
    ASSERT_TRUE(QFile::remove(node)) << node.toStdString();
    nodeFiles_.removeAll(node);
}

QString FakeDeviceTree::hostFile(const QString &path) const
{
    return dir_.path() + path;
}

void FakeDeviceTree::makeFolder(const QString &path) const
{
    ASSERT_TRUE(QDir().mkpath(hostFile(path))) << path.toStdString();
}

void FakeDeviceTree::write(const QString &path, const QByteArray &text) const
{
    makeFolder(QFileInfo(path).path());
    QFile file(hostFile(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(text), text.size());
}

// A relative link, as udev makes them, so that it leads to the same place below any root.
void FakeDeviceTree::link(const QString &path, const QString &target) const
{
    const QString relative = QDir(QFileInfo(path).path()).relativeFilePath(target);
    ASSERT_EQ(
        ::symlink(QFile::encodeName(relative).constData(), QFile::encodeName(hostFile(path)).constData()), 0)
        << path.toStdString();
}

void FakeDeviceTree::addTty(const QString &name, const QString &folder, const QString &device)
{
    write(folder + QStringLiteral("/uevent"), "MAJOR=188\nMINOR=0\nDEVNAME=" + name.toUtf8() + '\n');
    if (!device.isEmpty()) {
        makeFolder(device);
        link(folder + QStringLiteral("/device"), device);
    }
    link(QStringLiteral("/sys/class/tty/") + name, folder);
    write(QStringLiteral("/dev/") + name, {});
    nodeFiles_.append(hostFile(QStringLiteral("/dev/") + name));
}
