#include "keyer_fixture.h"

#include <QLocale>

namespace {

struct SendCase
{
    const char *name;
    QString message;
    QString group;
    Settings settings;
    QString sent;
};

void PrintTo(const SendCase &row, std::ostream *out)
{
    *out << row.name;
}

class KeyerSend : public KeyerFixture, public testing::WithParamInterface<SendCase>
{
};

TEST_P(KeyerSend, ExpandsUpperCasesAndHandsOver)
{
    const SendCase &row = GetParam();
    storeAll(row.settings);
    keyer.sendMessage(row.message, row.group);
    EXPECT_EQ(controller.requests, QStringList{QStringLiteral("send:") + row.sent});
}

const QString MacroM = QStringLiteral("macroM");

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, KeyerSend, testing::Values(
    SendCase{"ExpandedValueUpperCased", QStringLiteral("cq de $M"), G1, {{MacroM, QStringLiteral("alpha")}},
             QStringLiteral("CQ DE ALPHA")},
    SendCase{"TypedSmallTokenNotExpanded", QStringLiteral("$m"), G1, {{MacroM, QStringLiteral("alpha")}},
             QStringLiteral("$M")},
    SendCase{"GroupPassedOn", QStringLiteral("$P"), G4,
             {{groupMacroKey(G4, u'P'), QStringLiteral("ja1")}, {groupMacroKey(G1, u'P'), QStringLiteral("x")}},
             QStringLiteral("JA1")},
    SendCase{"FullCaseMapping", QString::fromUtf8("straße é"), G1, {}, QString::fromUtf8("STRASSE É")},
    SendCase{"EmptyStillHandedOver", QString(), G1, {}, QString()},
    SendCase{"ExpandsToNothing", QStringLiteral("$R"), G1, {}, QString()}),
    [](const testing::TestParamInfo<SendCase> &info) { return std::string(info.param.name); });
// clang-format on

// A stored function-key message is expanded, upper-cased into the input line, and expanded again when
// sent: the small-letter token it held becomes a token on the way.
TEST_F(KeyerFixture, StoredSmallTokenExpandsOnTheSecondPass)
{
    store.setValue(MacroM, QStringLiteral("alpha"));
    const QString inputLine = keyer.replaceAllMacro(QStringLiteral("qrz $m"), G1).toUpper();
    EXPECT_EQ(inputLine, QStringLiteral("QRZ $M"));
    keyer.sendMessage(inputLine, G1);
    EXPECT_EQ(controller.requests, QStringList{QStringLiteral("send:QRZ ALPHA")});
}

TEST_F(KeyerFixture, UpperCasingIgnoresTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    keyer.sendMessage(QStringLiteral("qrz de jr1iii"), G1);
    QLocale::setDefault(saved);
    EXPECT_EQ(controller.requests, QStringList{QStringLiteral("send:QRZ DE JR1III")});
}

TEST_F(KeyerFixture, RefusedSendReturnsNormally)
{
    controller.sendResult = -1;
    keyer.sendMessage(QStringLiteral("test"), G1);
    keyer.sendMessage(QStringLiteral("test"), G1);
    EXPECT_EQ(controller.requests, QStringList(2, QStringLiteral("send:TEST")));
}

class KeyerBusy : public KeyerFixture, public testing::WithParamInterface<std::pair<int, bool>>
{
};

TEST_P(KeyerBusy, SendingForAnyNonZeroFlag)
{
    controller.busyFlag = GetParam().first;
    EXPECT_EQ(keyer.isSending(), GetParam().second);
    EXPECT_TRUE(controller.requests.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Flags, KeyerBusy,
                         testing::Values(std::pair{0, false}, std::pair{1, true}, std::pair{2, true},
                                         std::pair{-1, true}));

TEST_F(KeyerFixture, RequestsPassThroughOneForOne)
{
    keyer.sendStop();
    keyer.beaconSend();
    keyer.sendClear();
    keyer.sendStop();
    EXPECT_EQ(controller.requests, (QStringList{QStringLiteral("stop"), QStringLiteral("beacon"),
                                                QStringLiteral("clear"), QStringLiteral("stop")}));
    EXPECT_TRUE(reads.isEmpty());
}

} // namespace
