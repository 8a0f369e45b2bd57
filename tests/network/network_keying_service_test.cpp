#include "eventually.h"
#include "keying/keying_fixture.h"
#include "keying/list_source.h"
#include "network/network_keying_service.h"

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QUdpSocket>

namespace {

using namespace keying;

const QByteArray escape("\x1b");

// The real keying engine on the virtual clock and the recording line, fed by the service; requests are
// handed to the service as the socket would hand them.
class ServiceTest : public KeyingTest
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        store->setValue(KLKSerialDTRKey, true);
        store->setValue(KLKWpmKey, qint64(20)); // dit 60 ms, dah 180, letter gap 180, word gap 420
        start();
        service = std::make_unique<NetworkKeyingService>(*store, *controller);
        connect();
    }

    void TearDown() override
    {
        service.reset();
        KeyingTest::TearDown();
    }

    void connect()
    {
        QObject::connect(service.get(), &NetworkKeyingService::replied, service.get(),
                         [this](const QByteArray &reply, const QHostAddress &address, quint16 port) {
                             replies.append(QString::fromLatin1(reply));
                             repliedTo = {address, port};
                             logAtReply.append(console.log());
                         });
    }

    void send(const QByteArray &datagram)
    {
        service->handleDatagram(datagram, QHostAddress::LocalHost, 40000);
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
                gate.pass();
        };
    }

    QStringList linesStartingWith(const QString &start)
    {
        return diagnostics().filter(
            QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(start)));
    }

    std::unique_ptr<NetworkKeyingService> service;
    QStringList replies;
    QStringList logAtReply;
    std::pair<QHostAddress, quint16> repliedTo;
    Gate gate;
    std::atomic<int> sets{0};
};

TEST_F(ServiceTest, TextsQueueAndJoinOnePassAtKeylarksTiming)
{
    holdBeforeSet(1);
    send("cq");
    gate.waitUntilReached();
    send(" de");
    send(" ab1cd");
    gate.open();
    settle();
    EXPECT_EQ(console.log(), QStringLiteral("<T>CQ DE AB1CD"));
    const auto periods = keyDownPeriods();
    ASSERT_EQ(periods.size(), 4u + 4 + 3 + 1 + 2 + 4 + 5 + 4 + 3);
    // Q ends 60 ms after its last key-down; a word gap later D begins, as within one text.
    EXPECT_EQ(periods[8].first - periods[7].second, 420.0);
}

TEST_F(ServiceTest, RepliesGoBackToTheSenderOnceTheTextIsKeyed)
{
    holdBeforeSet(1); // both texts wait, so that they join one line of the log
    send("e^");
    gate.waitUntilReached();
    send(escape + "hdone");
    send("t");
    gate.open();
    settle();
    EXPECT_EQ(replies, (QStringList{"e\r\n", "hdone\r\n"}));
    ASSERT_EQ(logAtReply.size(), 2);
    EXPECT_TRUE(logAtReply[0].startsWith(QStringLiteral("<T>E"))); // sent once E was keyed
    EXPECT_EQ(logAtReply[1], QStringLiteral("<T>ET"));
    EXPECT_EQ(repliedTo.first, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(repliedTo.second, 40000);
    send("e");
    settle();
    EXPECT_EQ(replies.size(), 2); // the stored reply went with the text after it, once
}

class StopTest : public ServiceTest, public ::testing::WithParamInterface<bool>
{
};

// ESC "4" from the logger, or Stop from the operator, in the middle of the first of two texts.
TEST_P(StopTest, StopsWithinOneElementDropsTheQueueAndAnswersBreak)
{
    holdBeforeSet(4); // the key-down of P's second element
    send("paris^");
    send("second^");
    gate.waitUntilReached();
    if (GetParam())
        send(escape + "4");
    else
        controller->cwSendStop();
    gate.open();
    settle();
    EXPECT_EQ(console.log(), QStringLiteral("<T>P"));
    EXPECT_EQ(keyDownPeriods().size(), 2u); // the element begun, and no other
    EXPECT_EQ(replies, QStringList{"break\r\n"});
    EXPECT_TRUE(service->queue().isEmpty());
    EXPECT_EQ(line.sets().back().bits, rtsdtr_off);
    send("e");
    settle();
    EXPECT_EQ(console.log(), QStringLiteral("<T>P\n<T>E")); // a text after the stop keys as usual
}

INSTANTIATE_TEST_SUITE_P(ByLoggerOrOperator, StopTest, ::testing::Bool());

TEST_F(ServiceTest, OperatorsTransmissionKeysWholeBeforeTheLoggersText)
{
    clock.onSleep = [this] {
        if (clock.sleeps() == 1)
            gate.pass();
    };
    ASSERT_EQ(controller->cwSendString(QStringLiteral("PARIS")), 0);
    gate.waitUntilReached();
    send("cq^");
    send(escape + "4"); // a logger's abort leaves the operator's text alone
    send("cq^");
    gate.open();
    settle();
    EXPECT_EQ(console.log(), QStringLiteral("<T>PARIS\n<T>CQ"));
    EXPECT_EQ(replies, (QStringList{"break\r\n", "cq\r\n"}));
}

struct SpeedCase
{
    QByteArray value;
    int wpm;
    QString line; // the start of the line it gives, if any
};

class SpeedTest : public ServiceTest, public ::testing::WithParamInterface<SpeedCase>
{
};

TEST_P(SpeedTest, SpeedRequestSetsKeylarksSpeedWithinItsRange)
{
    send(escape + "2" + GetParam().value);
    EXPECT_EQ(store->intValue(KLKWpmKey), GetParam().wpm);
    const QStringList lines = linesStartingWith(QStringLiteral("#.. Keylark : A logger"));
    EXPECT_EQ(lines.size(), GetParam().line.isEmpty() ? 0 : 1) << lines.join('\n').toStdString();
    if (!lines.isEmpty()) {
        EXPECT_TRUE(lines[0].startsWith(GetParam().line)) << lines[0].toStdString();
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Speeds, SpeedTest, ::testing::Values(
    SpeedCase{"25",  25, {}},
    SpeedCase{"40",  40, {}},
    SpeedCase{"5",   5,  {}},
    SpeedCase{"45",  40, "#.. Keylark : A logger asked for 45 wpm; Keylark keys at 40 wpm"},
    SpeedCase{"4",   5,  "#.. Keylark : A logger asked for 4 wpm; Keylark keys at 5 wpm"},
    SpeedCase{"70",  20, "#.. Keylark : A logger's request ESC \"2\" with the value \"70\" was ignored: it takes a speed of 4 to 60 wpm."},
    SpeedCase{"ab\x01", 20, "#.. Keylark : A logger's request ESC \"2\" with the value \"ab?\" was ignored"}));
// clang-format on

TEST_F(ServiceTest, ResetRestoresTheStartingSpeedAndWeighting)
{
    send(escape + "230");
    send(escape + "750");
    send("e");
    settle();
    EXPECT_EQ(keyDownPeriods().back().second - keyDownPeriods().back().first, 40.0 + 20); // 30 wpm, +50 %
    send(escape + "0");
    EXPECT_EQ(store->intValue(KLKWpmKey), 20);
    send("e");
    settle();
    EXPECT_EQ(keyDownPeriods().back().second - keyDownPeriods().back().first, 60.0);
}

TEST_F(ServiceTest, RefusedAndIgnoredRequestsSayOnceWhatTheyAreAndKeyNothing)
{
    for (const char *rest : {"5", "5", "8ttyS0", "3800", "3600", "6", "a1", "zz", "z", "", "", "c11"})
        send(escape + rest);
    settle();
    const QStringList lines = linesStartingWith(QStringLiteral("#.. Keylark : A logger"));
    EXPECT_EQ(lines,
              (QStringList{
                  "#.. Keylark : A logger asked Keylark to quit; refused: only the operator quits Keylark.",
                  "#.. Keylark : A logger asked Keylark to key another device; refused: the port is "
                  "chosen in Preferences.",
                  "#.. Keylark : A logger's request to set the tone was ignored: Keylark keys only the line.",
                  "#.. Keylark : A logger's request to set word mode was ignored: Keylark keys only the "
                  "line.",
                  "#.. Keylark : A logger's request to set PTT was ignored: Keylark keys only the line.",
                  "#.. Keylark : A logger's request ESC \"z\" is unknown; ignored.",
                  "#.. Keylark : A logger's request held nothing after ESC; ignored.",
                  "#.. Keylark : A logger's request ESC \"c\" with the value \"11\" was ignored: it takes 0 "
                  "to 10 seconds of tuning."}));
    EXPECT_EQ(line.count('o'), 0);
    EXPECT_TRUE(console.calls().isEmpty());
}

TEST_F(ServiceTest, TuneRequestKeysACarrierThatAbortEnds)
{
    send(escape + "c2");
    settle();
    EXPECT_EQ(keyDownPeriods(), (std::vector<std::pair<double, double>>{{0, 2000}}));
    EXPECT_EQ(linesStartingWith(QStringLiteral("#.. Keylark : Tuning for 2 s")).size(), 1);

    line.clear();
    holdBeforeSet(2); // the carrier's key-down
    send(escape + "c10");
    gate.waitUntilReached();
    send(escape + "4");
    gate.open();
    settle();
    const auto periods = keyDownPeriods();
    ASSERT_EQ(periods.size(), 1u);
    EXPECT_LE(periods[0].second - periods[0].first, 20.0);
}

// A flood while the worker is held: the queue never holds more than its room and says so once.
TEST_F(ServiceTest, FloodStaysWithinTheQueueWithOneLine)
{
    holdBeforeSet(1);
    send("e");
    gate.waitUntilReached();
    const QByteArray text(100, 'e');
    for (int count = 0; count < 1000; ++count) {
        send(text + "^");
        ASSERT_LE(service->queue().used(), TextQueue::capacity);
    }
    EXPECT_EQ(linesStartingWith(QStringLiteral("#.. Keylark : Network queue full")).size(), 1);
    EXPECT_EQ(replies.count(QStringLiteral("break\r\n")), 1000 - TextQueue::capacity / 101);
    send(escape + "4");
    gate.open();
    settle();
    EXPECT_EQ(console.log(), QStringLiteral("<T>")); // stopped before its first character
    EXPECT_TRUE(keyDownPeriods().empty());
}

TEST_F(ServiceTest, TextLongerThanTheQueueIsDroppedWithALineThatSaysSo)
{
    send(QByteArray(5000, 't') + "^");
    send(QByteArray(6000, 't'));
    settle();
    EXPECT_EQ(diagnostics(),
              QStringList{"#.. Keylark : A logger's text of 5000 bytes is longer than the network "
                          "queue holds (4096 bytes); text dropped."});
    EXPECT_EQ(replies, QStringList{"break\r\n"});
    EXPECT_TRUE(keyDownPeriods().empty());
}

struct HostileCase
{
    QByteArray datagram;
    QString keyed; // what the log shows after its timestamp; null when nothing starts
};

class HostileTest : public ServiceTest, public ::testing::WithParamInterface<HostileCase>
{
};

TEST_P(HostileTest, KeysNothingButTheTextsOwnCharacters)
{
    send(GetParam().datagram);
    settle();
    EXPECT_EQ(console.log(),
              GetParam().keyed.isNull() ? QString() : QStringLiteral("<T>") + GetParam().keyed);
    EXPECT_TRUE(line.sets().empty() || line.sets().back().bits == rtsdtr_off);
    EXPECT_LE(diagnostics().size(), 1);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Datagrams, HostileTest, ::testing::Values(
    HostileCase{"",                                   {}},
    HostileCase{QByteArray(3, '\0'),                  {}},
    HostileCase{QByteArray("e\0t", 3),                "E"},
    HostileCase{"\x80\xfe\xff",                       ""},
    HostileCase{"\x1b",                               {}},
    HostileCase{"\x1b\x1b\x1b",                       {}},
    HostileCase{"\x1b" "2\xff\xff",                   {}},
    HostileCase{"\x1b" "c999999999999999999999",      {}},
    HostileCase{QByteArray(300, 't'),                 QString(300, u'T')},
    HostileCase{QByteArray(5000, 't'),                {}}));   // more than the queue holds: dropped
// clang-format on

// ---- The socket ----

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
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

TEST_F(ServiceTest, AllInterfacesAreAnExplicitChoiceThatSaysWhatItMeans)
{
    store->setValue(KLKNetworkPortKey, qint64(freePort()));
    store->setValue(KLKNetworkAllInterfacesKey, true);
    store->setValue(KLKNetworkKeyingKey, true);
    ASSERT_EQ(service->state(), NetworkKeyingService::State::Listening);
    EXPECT_TRUE(service->stateText().contains(QStringLiteral("all interfaces")));
    EXPECT_EQ(
        linesStartingWith(QStringLiteral("#.. Keylark : Network keying listens on all interfaces")).size(),
        1);
}

} // namespace
