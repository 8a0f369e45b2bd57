#include "keying/serial_port_discovery.h"

#include "keying/diagnostics.h"

#include <cstring>

namespace {

// The UTF-8 form of the last path found, zero-terminated; its first byte is cleared by every discovery.
char bsdPath[1024];

bool copyToBsdPath(const QString &path)
{
    const QByteArray bytes = path.toUtf8();
    if (bytes.size() >= qsizetype(sizeof bsdPath))
        return false;
    std::memcpy(bsdPath, bytes.constData(), bytes.size() + 1);
    return true;
}

} // namespace

int serialDeviceSetup(QStringList &list, const QList<SerialPort> &ports)
{
    bsdPath[0] = '\0';
    for (const SerialPort &port : ports) {
        const QString &path = port.path;
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
