#include "service_fixture.h"

namespace {

using namespace keying;

TEST_F(ServiceTest, TextsQueueAndJoinOnePassAtKeylarksTiming)
{
    holdBeforeSet(1);
    send("cq");
    ASSERT_TRUE(workerHeld());
    send(" de");
    send(" ab1cd");
    release();
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
    ASSERT_TRUE(workerHeld());
    send(escape + "hdone");
    send("t");
    release();
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
    ASSERT_TRUE(workerHeld());
    if (GetParam())
        send(escape + "4");
    else
        controller->cwSendStop();
    release();
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
    holdAtFirstWait();
    ASSERT_EQ(controller->cwSendString(QStringLiteral("PARIS")), 0);
    ASSERT_TRUE(workerHeld());
    send("cq^");
    send(escape + "4"); // a logger's abort leaves the operator's text alone
    send("cq^");
    release();
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

// The speed keys the text after the request, and shows as Keylark's speed once that text keys.
TEST_P(SpeedTest, SpeedRequestKeysTheNextTextWithinKeylarksRange)
{
    send(escape + "2" + GetParam().value);
    EXPECT_EQ(store->intValue(KLKWpmKey), 20);
    send("e");
    settle();
    EXPECT_EQ(marks(), std::vector<double>{double(1200 / GetParam().wpm)});
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

// A reset ends the logger's own speed, steps and weighting, even for texts that join a running
// transmission; the speed the operator set is left alone.
TEST_F(ServiceTest, ResetEndsTheLoggersSpeedAndWeightingAndLeavesTheOperatorsSpeed)
{
    send(escape + "230");
    send("e");
    settle();
    EXPECT_EQ(store->intValue(KLKWpmKey), 30);
    store->setValue(KLKWpmKey, qint64(24)); // the operator's own, by hand
    send(escape + "0");
    EXPECT_EQ(store->intValue(KLKWpmKey), 24);
    holdAtFirstWait();
    ASSERT_EQ(controller->cwSendString(QStringLiteral("T")), 0);
    ASSERT_TRUE(workerHeld());
    for (const QByteArray &request : {escape + "750", QByteArray("+e"), escape + "0", QByteArray("e")})
        send(request);
    release();
    settle();
    // 30 wpm; the operator's T; 26 wpm and +50 %; 24 wpm, unweighted
    EXPECT_EQ(marks(), (std::vector<double>{40, 150, 69, 50}));
    EXPECT_EQ(store->intValue(KLKWpmKey), 24);
}

// A logger's requests apply to the texts queued after them: not to the operator's transmission that
// runs, nor to the texts queued before them. A macro sent a character a datagram between speed requests
// keys each character at its own speed.
TEST_F(ServiceTest, RequestsActAtTheirPlaceInTheQueue)
{
    holdAtFirstWait();
    ASSERT_EQ(controller->cwSendString(QStringLiteral("EE")), 0);
    ASSERT_TRUE(workerHeld());
    for (const QByteArray &request : {QByteArray("e"), escape + "230", QByteArray("e"), escape + "210",
                                      QByteArray("e"), escape + "750", QByteArray("e")})
        send(request);
    EXPECT_EQ(store->intValue(KLKWpmKey), 20);
    release();
    settle();
    EXPECT_EQ(console.log(), QStringLiteral("<T>EE\n<T>EEEE"));
    EXPECT_EQ(marks(), (std::vector<double>{60, 60, 60, 40, 120, 180}));
    EXPECT_EQ(store->intValue(KLKWpmKey), 10);
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
                  "#.. Keylark : A logger's request to switch PTT was ignored: no PTT line is set "
                  "(Preferences, Advanced).",
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
    ASSERT_TRUE(workerHeld());
    send(escape + "4");
    release();
    settle();
    const auto periods = keyDownPeriods();
    ASSERT_EQ(periods.size(), 1u);
    EXPECT_LE(periods[0].second - periods[0].first, 20.0);
}

// However many tunes a logger asks for, at most ten seconds of them wait besides the one keyed; each is a
// carrier of its own, with the line at rest for a second after it, none longer than ten seconds.
TEST_F(ServiceTest, TunesWaitTenSecondsInAllAndNeverJoin)
{
    holdBeforeSet(2); // the first carrier's key-down
    send(escape + "c10");
    ASSERT_TRUE(workerHeld());
    for (int count = 0; count < 4096; ++count)
        send(escape + "c" + QByteArray::number(count % 10 + 1)); // 1, 2, 3 and 4 s fit
    EXPECT_EQ(service->queue().tuneSeconds(), TextQueue::tuneLimit);
    EXPECT_EQ(
        linesStartingWith(QStringLiteral("#.. Keylark : A logger's tune of 5 s was refused: 10 s")).size(),
        1);
    EXPECT_EQ(linesStartingWith(QStringLiteral("#.. Keylark : A logger's tune")).size(), 1);
    release();
    settle();
    EXPECT_EQ(keyDownPeriods(),
              (std::vector<std::pair<double, double>>{
                  {0, 10000}, {11000, 12000}, {13000, 15000}, {16000, 19000}, {20000, 24000}}));
}

// A logger's text that waits behind the operator's beacon is dropped after twenty seconds, with "break"
// and one line, and never keys when the beacon ends.
TEST_F(ServiceTest, TextThatWaitsBehindTheBeaconIsDroppedNotKeyedLate)
{
    Gate later;
    line.beforeSet = [&](int) {
        gate.pass();
        if (clock.elapsedMs() > 30000)
            later.pass();
    };
    controller->cwBeaconTransmission();
    ASSERT_EQ(controller->cwSendString(QStringLiteral("TT")), 0);
    gate.waitUntilReached();
    send("e^");
    release();
    later.waitUntilReached();
    EXPECT_EVENTUALLY_EQ(replies, QStringList{"break\r\n"});
    EXPECT_EQ(linesStartingWith(QStringLiteral("#.. Keylark : A logger's text waited more than 20 s")).size(),
              1);
    controller->cwBeaconDisarm();
    later.open();
    settle();
    EXPECT_FALSE(console.log().contains(u'E'));
}

// An abort from one client stops the other's texts too, and every client that waits hears "break" once,
// for a text's reply, a stored reply, or both; each client hears its own replies, a text's own first.
TEST_F(ServiceTest, EachClientHearsBreakOnceAndItsOwnReplies)
{
    holdBeforeSet(1);
    send("cq^", 40001);
    ASSERT_TRUE(workerHeld());
    send(escape + "hdone", 40002);
    send("de^", 40002);
    send(escape + "hc", 40003);
    send(escape + "4", 40001);
    EXPECT_EQ(sent, (std::vector<Reply>{{"break\r\n", 40001}, {"break\r\n", 40002}, {"break\r\n", 40003}}));
    release();
    settle();
    sent.clear();
    for (const QByteArray &request : {QByteArray("aa^"), escape + "hb", QByteArray("bb^")})
        send(request, request == "aa^" ? 40001 : 40002);
    send("c", 40003); // its stored reply went with the abort
    settle();
    EXPECT_EQ(sent, (std::vector<Reply>{{"aa\r\n", 40001}, {"bb\r\n", 40002}, {"hb\r\n", 40002}}));
    // The aborted pass keyed nothing; the texts after it key in order, in one pass or more, as each comes
    // before or after the worker ends the pass that runs.
    const QString log = console.log();
    EXPECT_EQ(log.section(u'\n', 0, 0), QStringLiteral("<T>"));
    EXPECT_EQ(log.section(u'\n', 1).remove(QStringLiteral("\n<T>")), QStringLiteral("<T>AABBC"));
    EXPECT_EQ(service->held(), 0);
}

// A flood of texts and stored replies while the worker is held: every byte kept counts, a text's own reply
// and a stored one as the text does, and the queue never holds more than its room and says so once.
TEST_F(ServiceTest, FloodStaysWithinTheQueueWithOneLine)
{
    holdBeforeSet(1);
    send("e");
    ASSERT_TRUE(workerHeld());
    for (quint16 client = 1; client <= 1000; ++client) {
        send(escape + "h" + QByteArray(1000, 'x'), client); // 1003 bytes
        send(QByteArray(150, 'e') + "^", client);           // 151, and its reply of 152
        ASSERT_LE(service->held(), TextQueue::capacity);
    }
    EXPECT_EQ(service->held(), 3 * (1003 + 303));
    EXPECT_EQ(linesStartingWith(QStringLiteral("#.. Keylark : Network queue full")).size(), 1);
    EXPECT_EQ(
        linesStartingWith(QStringLiteral("#.. Keylark : A logger's reply of 1000 bytes does not fit")).size(),
        1);
    EXPECT_EQ(replies.count(QStringLiteral("break\r\n")), 997);
    send(escape + "4");
    release();
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
                          "queue holds (4096 bytes, with the replies it asks for); text dropped."});
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

} // namespace
