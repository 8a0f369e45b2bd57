#include "service_fixture.h"

#include <QNetworkInterface>

namespace {

using namespace keying;

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// An address of this computer that is not a loopback one: what another computer's datagram comes from.
QHostAddress outsideAddress()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback() &&
            !address.isLinkLocal())
            return address;
    }
    return {};
}

TEST_F(ServiceTest, ListensOnThisComputerAndAnswersOverUdp)
{
    EXPECT_EQ(service->state(), NetworkKeyingService::State::Off);
    EXPECT_TRUE(service->stateText().isEmpty());
    const quint16 port = freePort();
    store->setValue(KLKNetworkPortKey, qint64(port));
    store->setValue(KLKNetworkKeyingKey, true);
    ASSERT_EQ(service->state(), NetworkKeyingService::State::Listening);
    EXPECT_EQ(service->stateText(), QStringLiteral("Network: 127.0.0.1 port %1").arg(port));
    EXPECT_EQ(service->port(), port);

    QUdpSocket client;
    ASSERT_TRUE(client.bind(QHostAddress::LocalHost, 0));
    client.writeDatagram("e^", QHostAddress::LocalHost, port);
    EXPECT_EVENTUALLY(client.hasPendingDatagrams());
    EXPECT_EQ(client.receiveDatagram().data(), QByteArray("e\r\n"));
    EXPECT_EQ(console.log(), QStringLiteral("<T>E"));

    store->setValue(KLKNetworkKeyingKey, false);
    EXPECT_EQ(service->state(), NetworkKeyingService::State::Off);
    EXPECT_EQ(service->port(), 0);
    EXPECT_EQ(linesStartingWith(QStringLiteral("#.. Keylark : Network keying is off.")).size(), 1);
}

TEST_F(ServiceTest, PortInUseLeavesKeylarkRunningWithoutTheService)
{
    QUdpSocket other;
    ASSERT_TRUE(other.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    const quint16 port = other.localPort();
    store->setValue(KLKNetworkPortKey, qint64(port));
    store->setValue(KLKNetworkKeyingKey, true);
    EXPECT_EQ(service->state(), NetworkKeyingService::State::Failed);
    EXPECT_EQ(service->stateText(), QStringLiteral("Network keying off: port %1 is in use").arg(port));
    EXPECT_EQ(
        linesStartingWith(QStringLiteral("*** Keylark : Network keying cannot listen on 127.0.0.1 port %1 "
                                         "(another program uses it); Keylark goes on without network keying.")
                              .arg(port))
            .size(),
        1);
    send("e"); // the engine still keys what reaches it
    settle();
    EXPECT_EQ(console.log(), QStringLiteral("<T>E"));
}

TEST_F(ServiceTest, PortOutsideItsRangeIsRefusedWithALine)
{
    store->setValue(KLKNetworkPortKey, qint64(80));
    store->setValue(KLKNetworkKeyingKey, true);
    EXPECT_EQ(service->state(), NetworkKeyingService::State::Failed);
    EXPECT_EQ(
        linesStartingWith(QStringLiteral("*** Keylark : Network keying port 80 is outside 1024 to 65535"))
            .size(),
        1);
}

struct BurstCase
{
    const char *name;
    QByteArray datagram;
    int count;
    qsizetype held; // once the burst and a last "e^" are read, with the worker holding the first text
};

class BurstTest : public ServiceTest, public ::testing::WithParamInterface<BurstCase>
{
};

// However many datagrams come at once, every one is read: a logger's abort after them is heard, and stops
// Keylark before it keys anything more.
TEST_P(BurstTest, EveryDatagramIsReadAndAnAbortAfterThemStops)
{
    holdBeforeSet(1);
    const quint16 port = listen();
    Client logger;
    for (int count = 0; count < GetParam().count; ++count)
        logger.send(GetParam().datagram, port);
    logger.send("e^", port);
    EXPECT_EVENTUALLY_EQ(service->held(), GetParam().held);
    for (int turn = 0; turn < 10; ++turn) // the interface thread's turns after the burst, before the abort
        QCoreApplication::processEvents();
    logger.send(escape + "4", port);
    EXPECT_EVENTUALLY_EQ(logger.replies(), QStringList{"break\r\n"});
    EXPECT_EQ(service->held(), 0);
    release();
    settle();
    EXPECT_TRUE(keyDownPeriods().empty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Bursts, BurstTest, ::testing::Values(
    BurstCase{"Texts65",     "paris ",             65,  64 * 7 + 2 + 3},
    BurstCase{"Texts200",    "e",                  200, 199 * 2 + 2 + 3},
    BurstCase{"Hostile130",  "\x1b" "2\xff\xff",   130, 3},
    BurstCase{"Empty100",    "",                   100, 3}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

struct ChangeCase
{
    const char *name;
    QString key;
    QVariant before; // invalid: as it is
    QVariant after;  // invalid: another free port
    QHostAddress bound;
};

class ChangeTest : public ServiceTest, public ::testing::WithParamInterface<ChangeCase>
{
};

// A change of where the service listens, of practice mode, of the port or of its lines drops every text
// that waits and stops the one that keys: every client that waits hears "break" before the socket closes,
// and nothing queued before the change keys after it, in practice or on the air.
TEST_P(ChangeTest, DropsWhatWaitsWithBreakToEachClientBeforeTheSocketCloses)
{
    if (GetParam().before.isValid())
        store->setValue(GetParam().key, GetParam().before);
    const bool practice = store->boolValue(KLKPracticeModeKey);
    holdAtFirstWait();
    const quint16 port = listen();
    Client first;
    Client second;
    first.send("paris^", port);
    ASSERT_TRUE(workerHeld());
    second.send("second^", port);
    first.send(escape + "hlater", port);
    EXPECT_EVENTUALLY_EQ(service->held(),
                         7 + (7 + 8) + 8); // the replies of both texts, the second text, the stored reply
    store->setValue(GetParam().key,
                    GetParam().after.isValid() ? GetParam().after : QVariant(qint64(freePort())));
    EXPECT_EVENTUALLY_EQ(first.replies(), QStringList{"break\r\n"});
    EXPECT_EVENTUALLY_EQ(second.replies(), QStringList{"break\r\n"});
    EXPECT_EQ(service->held(), 0);
    release();
    settle();
    EXPECT_EQ(console.log(), QStringLiteral("<T>P"));
    EXPECT_EQ(keyDownPeriods().size(), practice ? 0u : 1u); // the element begun, and no other
    EXPECT_EQ(service->address(), GetParam().bound);
    if (GetParam().bound.isNull())
        return;
    Client third;
    third.send("e^", service->port());
    EXPECT_EVENTUALLY_EQ(third.replies(), QStringList{"e\r\n"});
    EXPECT_EQ(console.log(), QStringLiteral("<T>P\n<T>E"));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Changes, ChangeTest, ::testing::Values(
    ChangeCase{"TurnedOff",      KLKNetworkKeyingKey,        {},    false,            {}},
    ChangeCase{"OtherPort",      KLKNetworkPortKey,          {},    {},               QHostAddress::LocalHost},
    ChangeCase{"AllInterfaces",  KLKNetworkAllInterfacesKey, false, true,             QHostAddress::Any},
    ChangeCase{"OutOfPractice",  KLKPracticeModeKey,         true,  false,            QHostAddress::LocalHost},
    ChangeCase{"IntoPractice",   KLKPracticeModeKey,         false, true,             QHostAddress::LocalHost},
    ChangeCase{"OtherDevice",    KLKSerialDeviceKey,         {},    "/dev/ttyUSB9",   QHostAddress::LocalHost},
    ChangeCase{"OpenAtStart",    KLKSerialStartUpOpenKey,    {},    true,             QHostAddress::LocalHost},
    ChangeCase{"OtherLine",      KLKSerialRTSKey,            {},    true,             QHostAddress::LocalHost}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

class BindTest : public ServiceTest, public ::testing::WithParamInterface<bool>
{
};

// The socket is bound to 127.0.0.1 unless all interfaces are chosen. A datagram from another address of
// this computer, as from another computer, never reaches a service on 127.0.0.1, and reaches one on all
// interfaces only to be refused with a line.
TEST_P(BindTest, BindsTheChosenAddressAndOutsideSendersKeyNothing)
{
    const bool everywhere = GetParam();
    const quint16 port = listen(everywhere);
    EXPECT_EQ(service->stateText().contains(QStringLiteral("all interfaces")), everywhere);
    EXPECT_EQ(service->address(),
              everywhere ? QHostAddress(QHostAddress::Any) : QHostAddress(QHostAddress::LocalHost));
    const QHostAddress outside = outsideAddress();
    if (outside.isNull())
        return; // a computer with no address but its loopback ones has no outside to try
    Client stranger(outside);
    ASSERT_TRUE(stranger.bound());
    stranger.send("e^", port, outside);
    Client local;
    local.send("t^", port);
    EXPECT_EVENTUALLY_EQ(local.replies(), QStringList{"t\r\n"});
    EXPECT_EQ(console.log(), QStringLiteral("<T>T"));
    EXPECT_TRUE(stranger.replies().isEmpty());
    EXPECT_EQ(linesStartingWith(
                  QStringLiteral("#.. Keylark : Requests from %1 are ignored").arg(outside.toString()))
                  .size(),
              everywhere ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Addresses, BindTest, ::testing::Bool());

struct SenderCase
{
    const char *name;
    bool everywhere;
    QString list;
    QString sender;
    bool keys;
};

class SenderTest : public ServiceTest, public ::testing::WithParamInterface<SenderCase>
{
};

// With all interfaces, this computer and the listed addresses and networks may key; nobody else may,
// neither key nor abort nor set a speed.
TEST_P(SenderTest, OnlyThisComputerAndTheListedSendersKey)
{
    store->setValue(KLKNetworkAllInterfacesKey, GetParam().everywhere);
    store->setValue(KLKNetworkAllowedSendersKey, GetParam().list);
    const QHostAddress sender(GetParam().sender);
    send(escape + "230", 40000, sender);
    send("e^", 40000, sender);
    settle();
    EXPECT_EQ(console.log(), GetParam().keys ? QStringLiteral("<T>E") : QString());
    EXPECT_EQ(replies, GetParam().keys ? QStringList{"e\r\n"} : QStringList{});
    EXPECT_EQ(store->intValue(KLKWpmKey), GetParam().keys ? 30 : 20);
    EXPECT_EQ(linesStartingWith(QStringLiteral("#.. Keylark : Requests from")).size(),
              GetParam().keys ? 0 : 1);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Senders, SenderTest, ::testing::Values(
    SenderCase{"Loopback",         true,  "",                          "127.0.0.1",        true},
    SenderCase{"LoopbackIPv6",     true,  "",                          "::1",              true},
    SenderCase{"MappedLoopback",   true,  "",                          "::ffff:127.0.0.1", true},
    SenderCase{"Unlisted",         true,  "",                          "192.0.2.9",        false},
    SenderCase{"Listed",           true,  "192.0.2.9",                 "192.0.2.9",        true},
    SenderCase{"ListedMapped",     true,  "192.0.2.9",                 "::ffff:192.0.2.9", true},
    SenderCase{"InNetwork",        true,  "10.0.0.1\n192.0.2.0/24",    "192.0.2.77",       true},
    SenderCase{"OutsideNetwork",   true,  "192.0.2.0/24",              "198.51.100.1",     false},
    SenderCase{"IPv6Network",      true,  "2001:db8::/32",             "2001:db8::5",      true},
    SenderCase{"OutsideIPv6",      true,  "2001:db8::/32",             "2001:db9::5",      false},
    SenderCase{"NotAnAddress",     true,  "host.example 192.0.2.300",  "192.0.2.9",        false},
    SenderCase{"OnlyOnAll",        false, "192.0.2.9",                 "192.0.2.9",        false}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

} // namespace
