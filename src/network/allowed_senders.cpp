#include "network/allowed_senders.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("AllowedSenders", text);
}

} // namespace

AllowedSenders::AllowedSenders(const QString &list)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    for (const QString &entry : list.split(separators, Qt::SkipEmptyParts)) {
        QPair<QHostAddress, int> network =
            entry.contains(u'/') ? QHostAddress::parseSubnet(entry) : qMakePair(QHostAddress(entry), -1);
        if (network.first.isNull() ||
            network.first.protocol() == QAbstractSocket::UnknownNetworkLayerProtocol) {
            rejected_.append(entry);
            continue;
        }
        network.first = plain(network.first);
        if (network.second < 0)
            network.second = network.first.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
        networks_.append(network);
    }
}

QHostAddress AllowedSenders::plain(const QHostAddress &address)
{
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4) : address;
}

bool AllowedSenders::allows(const QHostAddress &sender) const
{
    const QHostAddress address = plain(sender);
    if (address.isLoopback())
        return true;
    for (const auto &[network, length] : networks_) {
        if (address.isInSubnet(network, length))
            return true;
    }
    return false;
}

QStringList AllowedSenders::entries() const
{
    QStringList written;
    for (const auto &[network, length] : networks_) {
        const bool whole = length == (network.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128);
        written.append(whole ? network.toString()
                             : QStringLiteral("%1/%2").arg(network.toString()).arg(length));
    }
    return written;
}

QString AllowedSenders::whoMayKey(bool allInterfaces, const QString &list)
{
    const AllowedSenders senders(list);
    QString text = !allInterfaces ? tr("Only programs on this computer may key.")
                   : senders.networks_.isEmpty()
                       ? tr("Only programs on this computer may key: list the other computers that may.")
                       : tr("Programs on this computer and on %1 may key.")
                             .arg(senders.entries().join(QStringLiteral(", ")));
    if (allInterfaces && !senders.rejected_.isEmpty())
        text += u' ' + tr("Not an address, left out: %1.").arg(senders.rejected_.join(QStringLiteral(", ")));
    return text;
}
