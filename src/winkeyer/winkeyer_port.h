#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

// The serial port a WinKeyer sits on: 1200 baud, 8 data bits, no parity, 2 stop bits, raw, never
// blocking. It reads whatever comes and writes what it is given in order, on the thread it lives on.
class WinkeyerPort : public QObject
{
    Q_OBJECT

public:
    explicit WinkeyerPort(QObject *parent = nullptr);
    ~WinkeyerPort() override;

    // Empty when the port is open and set, otherwise why not.
    QString open(const QString &path);
    void close();
    // Writes the bytes behind those not yet taken; nothing once the port has failed.
    void write(const QByteArray &bytes);
    // Bytes given that the port has not yet sent; the driver's share is 0 where it cannot tell.
    int backlog() const;
    void dropInput();
    // Waits until the port has sent what it was given, for at most the given milliseconds.
    void drain(int ms);

signals:
    void received(const QByteArray &bytes);
    void written(); // every byte given has gone to the driver
    // The port hung up or refused a write, and is closed. Told from the event loop after a write, so that
    // no writer finds the port closed under its feet.
    void failed(const QString &why);

private:
    void readAll();
    bool flush();
    void fail(const QString &why);

    int fd_ = -1;
    QString path_;
    std::unique_ptr<QSocketNotifier, void (*)(QSocketNotifier *)> reader_{nullptr, nullptr};
    std::unique_ptr<QSocketNotifier, void (*)(QSocketNotifier *)> writer_{nullptr, nullptr};
    QByteArray outgoing_;
    bool failing_ = false;
};
