#include "keying/serial_port_discovery.h"

#include "keying/diagnostics.h"

#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

// The UTF-8 form of the last path found, zero-terminated; its first byte is cleared by every discovery.
char bsdPath[1024];

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

bool copyToBsdPath(const QString &path)
{
    const QByteArray bytes = path.toUtf8();
    if (bytes.size() >= qsizetype(sizeof bsdPath))
        return false;
    std::memcpy(bsdPath, bytes.constData(), bytes.size() + 1);
    return true;
}

} // namespace

QStringList systemPorts()
{
    QStringList paths;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        paths.append(port.systemLocation());
    return orderedPortPaths(paths);
}

QStringList orderedPortPaths(QStringList paths)
{
    std::stable_sort(paths.begin(), paths.end(), naturalLess);
    QStringList ordered;
    for (const QString &path : paths) {
        if (path.isEmpty() || !ordered.contains(path))
            ordered.append(path);
    }
    return ordered;
}

int serialDeviceSetup(QStringList &list, const PortEnumerator &ports)
{
    const QStringList found = ports ? ports() : QStringList();
    bsdPath[0] = '\0';
    for (const QString &path : found) {
        if (path.isEmpty()) {
            Diagnostics::out(QString());
            continue;
        }
        const bool converted = copyToBsdPath(path);
        list.append(path);
        Diagnostics::out(converted ? QStringLiteral("#.. Keylark : Serial found path: ") +
                                         QString::fromUtf8(bsdPath)
                                   : QString());
    }
    if (bsdPath[0] != '\0')
        return 0;
    Diagnostics::out(QStringLiteral("*** Keylark : No serial port found."));
    return -1;
}

QByteArray lastFoundPath()
{
    return QByteArray(bsdPath);
}
