#pragma once

#include "eventually.h"
#include "keying/keying_fixture.h"
#include "keying/list_source.h"
#include "network/network_keying_service.h"

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QUdpSocket>

inline const QByteArray escape("\x1b");

// The real keying engine on the virtual clock and the recording line, fed by the service; requests are
// handed to the service as the socket would hand them, or sent over a real socket.
class ServiceTest : public KeyingTest
{
protected:
    struct Reply
    {
        QString text;
        quint16 port;
        friend bool operator==(const Reply &, const Reply &) = default;
    };

    void SetUp() override
    {
        KeyingTest::SetUp();
        store->setValue(KLKSerialDTRKey, true);
        store->setValue(KLKWpmKey, qint64(20)); // dit 60 ms, dah 180, letter gap 180, word gap 420
        start();
        service = std::make_unique<NetworkKeyingService>(*store, *controller, &clock);
        QObject::connect(service.get(), &NetworkKeyingService::replied, service.get(),
                         [this](const QByteArray &reply, const QHostAddress &address, quint16 port) {
                             replies.append(QString::fromLatin1(reply));
                             sent.push_back({QString::fromLatin1(reply), port});
                             repliedTo = {address, port};
                             logAtReply.append(console.log());
                         });
    }

    void TearDown() override
    {
        if (holding)
            release(); // a test that failed while the worker was held
        service.reset();
        KeyingTest::TearDown();
    }

    void send(const QByteArray &datagram, quint16 port = 40000,
              const QHostAddress &from = QHostAddress::LocalHost)
    {
        service->handleDatagram(datagram, from, port);
    }

    // Until nothing waits or keys and every report of the worker has reached the service.
    void settle()
    {
        EXPECT_TRUE(
            QTest::qWaitFor([this] { return service->queue().isEmpty() && controller->cwIsSending() == 0; }));
        controller->joinWorkers();
        QCoreApplication::processEvents();
    }

    // Holds the worker just before its nth request on the line (the first is the key-up at the open).
    void holdBeforeSet(int n)
    {
        line.beforeSet = [this, n](int) {
            if (++sets == n)
                hold();
        };
    }

    // Holds the next worker at its first wait, inside its first element, on the air or in practice.
    void holdAtFirstWait()
    {
        clock.onSleep = [this, first = clock.sleeps() + 1] {
            if (clock.sleeps() == first)
                hold();
        };
    }

    // Whether the worker is held, once the events that start it have been handled.
    bool workerHeld()
    {
        return QTest::qWaitFor([this] { return holding.load(); });
    }

    void release()
    {
        if (!released.exchange(true))
            gate.open();
    }

    // Lengths in ms of the key-downs on the line.
    std::vector<double> marks() const
    {
        std::vector<double> lengths;
        for (const auto &[down, up] : keyDownPeriods())
            lengths.push_back(up - down);
        return lengths;
    }

    QStringList linesStartingWith(const QString &start)
    {
        return diagnostics().filter(
            QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(start)));
    }

    quint16 listen(bool everywhere = false)
    {
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost, 0);
        const quint16 port = probe.localPort();
        probe.close();
        store->setValue(KLKNetworkPortKey, qint64(port));
        store->setValue(KLKNetworkAllInterfacesKey, everywhere);
        store->setValue(KLKNetworkKeyingKey, true);
        EXPECT_EQ(service->state(), NetworkKeyingService::State::Listening);
        return port;
    }

    std::unique_ptr<NetworkKeyingService> service;
    QStringList replies;
    std::vector<Reply> sent;
    QStringList logAtReply;
    std::pair<QHostAddress, quint16> repliedTo;
    Gate gate;
    std::atomic<int> sets{0};
    std::atomic<bool> holding{false};
    std::atomic<bool> released{false};

private:
    void hold()
    {
        holding = true;
        gate.pass();
    }
};

// A logger's end of the socket.
class Client
{
public:
    explicit Client(const QHostAddress &from = QHostAddress::LocalHost) { bound_ = socket_.bind(from, 0); }
    bool bound() const { return bound_; }
    void send(const QByteArray &datagram, quint16 port, const QHostAddress &to = QHostAddress::LocalHost)
    {
        socket_.writeDatagram(datagram, to, port);
    }
    // The replies that have come, in order.
    QStringList replies()
    {
        while (socket_.hasPendingDatagrams())
            received_.append(QString::fromLatin1(socket_.receiveDatagram().data()));
        return received_;
    }

private:
    QUdpSocket socket_;
    QStringList received_;
    bool bound_ = false;
};
