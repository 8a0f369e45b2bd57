#include "keyer_fixture.h"

namespace {

QString global(char letter)
{
    return globalMacroKey(QLatin1Char(letter));
}

QString local(const QString &group, char letter)
{
    return groupMacroKey(group, QLatin1Char(letter));
}

// The greeting is pinned to "GM": zone-free text boundaries and a clock at 10:00 local time.
class Macros : public KeyerFixture
{
protected:
    Macros()
    {
        store.setValue(KLKDayOfGmKey, QStringLiteral("2008-05-01 05:00:00 +0900"));
        store.setValue(KLKDayOfGaKey, QStringLiteral("2008-05-01 12:00:00 +0900"));
        store.setValue(KLKDayOfGeKey, QStringLiteral("2008-05-01 18:00:00 +0900"));
    }
};

struct ExpansionCase
{
    const char *name;
    QString text;
    QString group;
    Settings settings;
    QString expected;
};

void PrintTo(const ExpansionCase &row, std::ostream *out)
{
    *out << row.name;
}

class MacroExpansion : public Macros, public testing::WithParamInterface<ExpansionCase>
{
};

TEST_P(MacroExpansion, ExpandsAsStoredInProcessingOrder)
{
    const ExpansionCase &row = GetParam();
    storeAll(row.settings);
    EXPECT_EQ(keyer.replaceAllMacro(row.text, row.group), row.expected);
}

QString S(const char *text)
{
    return QString::fromUtf8(text);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, MacroExpansion, testing::Values(
    ExpansionCase{"EveryOccurrence", S("CQ $M $M"), G1, {{global('M'), S("ALPHA")}}, S("CQ ALPHA ALPHA")},
    ExpansionCase{"AbsentRemoves", S("599 $R"), G1, {}, S("599 ")},
    ExpansionCase{"EmptyRemoves", S("599 $R"), G1, {{global('R'), S("")}}, S("599 ")},
    ExpansionCase{"SmallLetterIsText", S("$m"), G1, {{global('M'), S("ALPHA")}}, S("$m")},
    ExpansionCase{"OtherCharactersAreText", S("$A $1 $ $$"), G1, {}, S("$A $1 $ $$")},
    ExpansionCase{"DollarBeforeToken", S("$$M"), G1, {{global('M'), S("ALPHA")}}, S("$ALPHA")},
    ExpansionCase{"InsertedAsStored", S("hi $M!"), G1, {{global('M'), S(" alpha é ")}}, S("hi  alpha é !")},
    ExpansionCase{"NumberAsText", S("rst $C"), G1, {{global('C'), qint64(599)}}, S("rst 599")},
    ExpansionCase{"AllGlobals", S("$H/$J/$C/$R/$O/$M"), G1,
                  {{global('M'), S("m")}, {global('O'), S("o")}, {global('H'), S("h")},
                   {global('J'), S("j")}, {global('C'), S("c")}, {global('R'), S("r")}}, S("h/j/c/r/o/m")},
    ExpansionCase{"AllGroupTokens", S("$Y$T$N$P"), G2,
                  {{local(G2, 'P'), S("p")}, {local(G2, 'N'), S("n")}, {local(G2, 'T'), S("t")},
                   {local(G2, 'Y'), S("y")}}, S("ytnp")},
    ExpansionCase{"GreetingIgnoresMacroG", S("$G OM"), G1, {{global('G'), S("XX")}}, S("GM OM")},
    ExpansionCase{"GroupTwo", S("$P"), G2, {{local(G2, 'P'), S("two")}, {local(G5, 'P'), S("five")}}, S("two")},
    ExpansionCase{"GroupFive", S("$P"), G5, {{local(G2, 'P'), S("two")}, {local(G5, 'P'), S("five")}}, S("five")},
    ExpansionCase{"OtherGroupsValueUnused", S("<$P>"), G1, {{local(G2, 'P'), S("two")}}, S("<>")},
    ExpansionCase{"ChainForward", S("$M"), G1, {{global('M'), S("$O")}, {global('O'), S("ZULU")}}, S("ZULU")},
    ExpansionCase{"ChainBackward", S("$O"), G1, {{global('O'), S("$M")}, {global('M'), S("X")}}, S("$M")},
    ExpansionCase{"ChainIntoGreeting", S("$M"), G1, {{global('M'), S("$G")}}, S("GM")},
    ExpansionCase{"GlobalIntoGroup", S("$M"), G2, {{global('M'), S("$P")}, {local(G2, 'P'), S("pp")}}, S("pp")},
    ExpansionCase{"GroupIntoGlobalStays", S("$P"), G2, {{local(G2, 'P'), S("$M")}, {global('M'), S("X")}}, S("$M")},
    ExpansionCase{"GroupForward", S("$P"), G2, {{local(G2, 'P'), S("$N")}, {local(G2, 'N'), S("nn")}}, S("nn")},
    ExpansionCase{"GroupBackward", S("$N"), G2, {{local(G2, 'N'), S("$P")}, {local(G2, 'P'), S("pp")}}, S("$P")},
    ExpansionCase{"LaterPassSeesAll", S("$M $O"), G1, {{global('M'), S("$O")}, {global('O'), S("z")}}, S("z z")},
    ExpansionCase{"OwnTokenOnce", S("$M"), G1, {{global('M'), S("X$MX")}}, S("X$MX")},
    ExpansionCase{"OwnTokenPerOccurrence", S("$M-$M"), G1, {{global('M'), S("<$M>")}}, S("<$M>-<$M>")},
    ExpansionCase{"TokenAcrossEdge", S("$MM"), G1, {{global('M'), S("A$")}}, S("A$M")},
    ExpansionCase{"NoDollar", S("cq cq de jr1abc k"), G1, {{global('M'), S("ALPHA")}}, S("cq cq de jr1abc k")}),
    [](const testing::TestParamInfo<ExpansionCase> &info) { return std::string(info.param.name); });
// clang-format on

struct ReadCase
{
    const char *name;
    QString text;
    QString group;
    QStringList reads;
};

void PrintTo(const ReadCase &row, std::ostream *out)
{
    *out << row.name;
}

class MacroReads : public Macros, public testing::WithParamInterface<ReadCase>
{
};

TEST_P(MacroReads, ReadOnlyTheSettingsOfTokensPresent)
{
    const ReadCase &row = GetParam();
    keyer.replaceAllMacro(row.text, row.group);
    EXPECT_EQ(reads, row.reads);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, MacroReads, testing::Values(
    ReadCase{"NoDollar", S("cq cq de jr1abc"), G1, {}},
    ReadCase{"NoToken", S("$m $A $1 $"), G1, {}},
    ReadCase{"OneReadPerLetter", S("$M $M $M"), G1, {global('M')}},
    ReadCase{"GlobalOrder", S("$R$C$J$H$O$M"), G1,
             {global('M'), global('O'), global('H'), global('J'), global('C'), global('R')}},
    ReadCase{"GreetingReadsBoundariesOnly", S("$G"), G1, {KLKDayOfGmKey, KLKDayOfGaKey, KLKDayOfGeKey}},
    ReadCase{"GroupOrder", S("$Y$T$N$P"), G5,
             {local(G5, 'P'), local(G5, 'N'), local(G5, 'T'), local(G5, 'Y')}},
    ReadCase{"GlobalsThenGroup", S("$P$M"), G2, {global('M'), local(G2, 'P')}}),
    [](const testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(Macros, GlobalAndLocalExpandOnlyTheirOwnTokens)
{
    storeAll({{global('M'), S("m")}, {local(G2, 'P'), S("p")}});
    const QString text = S("$M $P");
    EXPECT_EQ(keyer.replaceGlobalMacro(text), S("m $P"));
    EXPECT_EQ(keyer.replaceLocalMacro(text, G2), S("$M p"));
    EXPECT_EQ(text, S("$M $P"));
}

struct ReplaceCase
{
    QString text;
    QString macro;
    QString value;
    QString expected;
};

void PrintTo(const ReplaceCase &row, std::ostream *out)
{
    *out << row.text.toStdString() << " / " << row.macro.toStdString() << " -> " << row.value.toStdString();
}

class ReplaceMacro : public Macros, public testing::WithParamInterface<ReplaceCase>
{
};

TEST_P(ReplaceMacro, ReplacesInPlaceResumingAfterTheInsertedText)
{
    const ReplaceCase &row = GetParam();
    QString text = row.text;
    keyer.replaceMacro(text, row.macro, row.value);
    EXPECT_EQ(text, row.expected);
    EXPECT_TRUE(reads.isEmpty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ReplaceMacro, testing::Values(
    ReplaceCase{S("$M$M"),  S("$M"), S("ab"),  S("abab")},
    ReplaceCase{S("$M"),    S("$M"), S("$M"),  S("$M")},
    ReplaceCase{S("$M$M"),  S("$M"), S("$M$"), S("$M$$M$")},
    ReplaceCase{S("x$MM"),  S("$M"), S("A$"),  S("xA$M")},
    ReplaceCase{S("$m $M"), S("$M"), S("z"),   S("$m z")},
    ReplaceCase{S("a$Mb"),  S("$M"), QString(), S("ab")},
    ReplaceCase{S("abc"),   S("$M"), S("z"),   S("abc")},
    ReplaceCase{S("abc"),   QString(), S("z"), S("abc")}));
// clang-format on

} // namespace
