#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Who may key Keylark over the network when it listens on every interface: this computer always (its
// loopback addresses), and the addresses and networks the operator lists, IPv4 or IPv6, one to a line, such
// as "192.168.1.20" or "192.168.1.0/24".
class AllowedSenders
{
public:
    explicit AllowedSenders(const QString &list = {});

    bool allows(const QHostAddress &sender) const;
    // The entries understood, as Keylark writes them, and those that are no address or network.
    QStringList entries() const;
    QStringList rejected() const { return rejected_; }
    // What the Network pane says about who may key.
    static QString whoMayKey(bool allInterfaces, const QString &list);
    // An IPv4 sender as a dual-stack socket gives it, an IPv4-mapped IPv6 address, as the IPv4 address.
    static QHostAddress plain(const QHostAddress &address);

private:
    QList<QPair<QHostAddress, int>> networks_; // an address alone is a network of its whole length
    QStringList rejected_;
};
