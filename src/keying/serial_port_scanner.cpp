#include "keying/serial_port_scanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <tuple>
#include <unistd.h>

namespace {

// Symbolic links followed at most, as the kernel does, so that a loop of links ends.
constexpr int MaxLinkHops = 40;

const QString ByIdFolder = QStringLiteral("/dev/serial/by-id");

// The UART types of the kernel's serial core that an operator may meet; 0 is a UART it could not identify.
// clang-format off
const QHash<int, QString> uartNames = {
    {1, "8250"},  {2, "16450"},    {3, "16550"},   {4, "16550A"}, {5, "Cirrus"},  {6, "16650"}, {7, "16650V2"},
    {8, "16750"}, {9, "Startech"}, {10, "16C950"}, {11, "16654"}, {12, "16850"}, {13, "RSA"},
};
// clang-format on

// Orders /dev/ttyUSB2 before /dev/ttyUSB10: by the text before the trailing number, then by the number.
bool naturalLess(const QString &a, const QString &b)
{
    static const QRegularExpression trailingNumber(QStringLiteral("^(.*?)(\\d+)$"));
    const auto key = [](const QString &path) {
        const QRegularExpressionMatch match = trailingNumber.match(path);
        if (!match.hasMatch())
            return std::tuple(path, -1LL, path);
        return std::tuple(match.captured(1), match.captured(2).toLongLong(), path);
    };
    return key(a) < key(b);
}

// The text of a sysfs attribute; reading one never reaches the device behind it.
QString attributeText(const QString &folder, const char *name)
{
    QFile file(folder + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(4096));
}

QString attribute(const QString &folder, const char *name)
{
    return attributeText(folder, name).simplified();
}

// The device node's name below /dev that the kernel announces in a tty's uevent attribute.
QString announcedNodeName(const QString &entry)
{
    const QStringList lines = attributeText(entry, "uevent").split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QStringLiteral("DEVNAME=")))
            return line.mid(8).trimmed();
    }
    return {};
}

QString linkTarget(const QString &link)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink(QFile::encodeName(link).constData(), target, sizeof target);
    return length < 0 ? QString() : QFile::decodeName(QByteArray(target, length));
}

} // namespace

SerialPortScanner::SerialPortScanner(QString root)
{
    const QString canonical = QFileInfo(root).canonicalFilePath();
    root_ = canonical.isEmpty() ? root : canonical;
}

QList<SerialPort> SerialPortScanner::ports() const
{
    QList<SerialPort> found;
    const QDir ttys(underRoot(QStringLiteral("/sys/class/tty")));
    for (const QString &name : ttys.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString entry = QFileInfo(ttys.filePath(name)).canonicalFilePath();
        if (isPort(entry))
            found.append(portOf(name, entry));
    }
    std::sort(found.begin(), found.end(),
              [](const SerialPort &a, const SerialPort &b) { return naturalLess(a.device, b.device); });
    return found;
}

QString SerialPortScanner::deviceOf(const QString &path) const
{
    return path.isEmpty() ? QString() : resolved(path);
}

bool SerialPortScanner::isPort(const QString &entry) const
{
    if (entry.isEmpty() || !QFileInfo::exists(entry + QStringLiteral("/device")))
        return false;
    return attribute(entry, "type") != QStringLiteral("0");
}

SerialPort SerialPortScanner::portOf(const QString &name, const QString &entry) const
{
    SerialPort port;
    const QString nodeName = announcedNodeName(entry);
    port.device = QStringLiteral("/dev/") + (nodeName.isEmpty() ? name : nodeName);
    port.description = descriptionOf(entry);
    if (QFileInfo::exists(underRoot(port.device))) {
        const QString stableName = stableNameOf(port.device);
        port.path = stableName.isEmpty() ? port.device : stableName;
    }
    return port;
}

QString SerialPortScanner::descriptionOf(const QString &entry) const
{
    const QString usbDevice = usbDeviceAbove(entry);
    if (!usbDevice.isEmpty())
        return usbDescription(usbDevice);
    const QString uart = uartNames.value(attribute(entry, "type").toInt());
    return uart.isEmpty() ? QStringLiteral("Serial port") : QStringLiteral("Serial port, %1 UART").arg(uart);
}

// "FTDI FT232R USB UART, S/N A50285BI"; the maker is left out where the product name already starts with it.
QString SerialPortScanner::usbDescription(const QString &usbDevice) const
{
    const QString maker = attribute(usbDevice, "manufacturer");
    const QString product = attribute(usbDevice, "product");
    QString description = product;
    if (!maker.isEmpty() && !product.startsWith(maker, Qt::CaseInsensitive))
        description = (maker + QLatin1Char(' ') + product).trimmed();
    if (description.isEmpty()) {
        description = QStringLiteral("USB serial adapter %1:%2")
                          .arg(attribute(usbDevice, "idVendor"), attribute(usbDevice, "idProduct"));
    }
    const QString serial = attribute(usbDevice, "serial");
    return serial.isEmpty() ? description : QStringLiteral("%1, S/N %2").arg(description, serial);
}

// The USB device that a port belongs to: the nearest folder above it in sysfs that has a vendor id.
QString SerialPortScanner::usbDeviceAbove(const QString &entry) const
{
    const QString devices = underRoot(QStringLiteral("/sys/devices/"));
    QString folder = QFileInfo(entry + QStringLiteral("/device")).canonicalFilePath();
    while (folder.startsWith(devices)) {
        if (QFileInfo::exists(folder + QStringLiteral("/idVendor")))
            return folder;
        folder = QFileInfo(folder).path();
    }
    return {};
}

// The first name under /dev/serial/by-id that leads to device; empty when there is none.
QString SerialPortScanner::stableNameOf(const QString &device) const
{
    const QDir byId(underRoot(ByIdFolder));
    const QString target = resolved(device);
    for (const QString &name :
         byId.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString link = ByIdFolder + QLatin1Char('/') + name;
        if (resolved(link) == target)
            return link;
    }
    return {};
}

// Follows the symbolic links of the last part of path, each absolute target taken below the root, and
// returns the path it ends at; empty when that does not exist.
QString SerialPortScanner::resolved(const QString &path) const
{
    QString current = QDir::cleanPath(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path);
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        const QFileInfo info(underRoot(current));
        if (!info.isSymLink())
            return info.exists() ? current : QString();
        const QString target = linkTarget(underRoot(current));
        if (target.isEmpty())
            return {};
        current = QDir::cleanPath(target.startsWith(QLatin1Char('/'))
                                      ? target
                                      : QFileInfo(current).path() + QLatin1Char('/') + target);
    }
    return {};
}

QString SerialPortScanner::underRoot(const QString &path) const
{
    return root_ == QStringLiteral("/") ? path : root_ + path;
}
