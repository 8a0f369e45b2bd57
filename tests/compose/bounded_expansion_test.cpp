#include "keyer_fixture.h"

namespace {

qsizetype utf8Size(const QString &text)
{
    return text.toUtf8().size();
}

QStringList stdoutLines(const std::string &captured)
{
    return QString::fromStdString(captured).split(u'\n', Qt::SkipEmptyParts);
}

class BoundedExpansion : public KeyerFixture
{
protected:
    QString expandCapturingStdout(const QString &text)
    {
        testing::internal::CaptureStdout();
        const QString result = keyer.replaceAllMacro(text, G1);
        lines = stdoutLines(testing::internal::GetCapturedStdout());
        return result;
    }

    // Each of the ten setting-backed letters holds 200 copies of the next one's token; the last holds "73 ".
    // Unbounded, "$M" would ask for 200^10 copies.
    void storeSelfMultiplyingMacros()
    {
        const QString chain = QStringLiteral("MOHJCRPNTY");
        for (qsizetype i = 0; i < chain.size(); ++i) {
            const QChar letter = chain.at(i);
            const QString value = i + 1 < chain.size() ? (QStringLiteral("$") + chain.at(i + 1)).repeated(200)
                                                       : QStringLiteral("73 ");
            const bool global = GlobalMacroLetters.contains(letter);
            store.setValue(global ? globalMacroKey(letter) : groupMacroKey(G1, letter), value);
        }
    }

    QStringList lines;
};

TEST_F(BoundedExpansion, SelfMultiplyingMacrosStopAtOneTransmission)
{
    storeSelfMultiplyingMacros();
    const QString result = expandCapturingStdout(QStringLiteral("$M"));
    EXPECT_EQ(result, QStringLiteral("73 ").repeated(Keyer::MaxExpansionBytes / 3));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().startsWith(QStringLiteral("#.. Keylark : "))) << lines.first().toStdString();
}

TEST_F(BoundedExpansion, SendMessageHandsOverTheBoundedText)
{
    storeSelfMultiplyingMacros();
    testing::internal::CaptureStdout();
    keyer.sendMessage(QStringLiteral("cq $M"), G1);
    lines = stdoutLines(testing::internal::GetCapturedStdout());
    ASSERT_EQ(controller.requests.size(), 1);
    const QString sent = controller.requests.first().mid(QStringLiteral("send:").size());
    EXPECT_EQ(utf8Size(sent), Keyer::MaxExpansionBytes);
    EXPECT_TRUE(sent.startsWith(QStringLiteral("CQ 73 73 ")));
    EXPECT_EQ(lines.size(), 1);
}

struct BoundCase
{
    const char *name;
    QString text;
    QString macroM;
    QString expected;
    int lines;
};

void PrintTo(const BoundCase &row, std::ostream *out)
{
    *out << row.name;
}

class BoundedValues : public BoundedExpansion, public testing::WithParamInterface<BoundCase>
{
};

TEST_P(BoundedValues, KeepWhatFitsAtAWholeCharacter)
{
    const BoundCase &row = GetParam();
    store.setValue(QStringLiteral("macroM"), row.macroM);
    EXPECT_EQ(expandCapturingStdout(row.text), row.expected);
    EXPECT_EQ(lines.size(), row.lines);
}

QString times(const char *text, qsizetype count)
{
    return QString::fromUtf8(text).repeated(count);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, BoundedValues, testing::Values(
    BoundCase{"FillsExactly",      QStringLiteral("$M"), times("x", 4095), times("x", 4095), 0},
    BoundCase{"OneByteOver",       QStringLiteral("$M"), times("x", 4096), times("x", 4095), 1},
    BoundCase{"TwoByteCharacters", QStringLiteral("$M"), times("é", 3000), times("é", 2047), 1},
    BoundCase{"TwoByteFillsExactly", QStringLiteral("a$M"), times("é", 3000), QStringLiteral("a") + times("é", 2047), 1},
    BoundCase{"SurrogatePairs",    QStringLiteral("$M"), times("😀", 2000), times("😀", 1023), 1},
    BoundCase{"KeepsTextBefore",   QStringLiteral("cq $M"), times("x", 5000), QStringLiteral("cq ") + times("x", 4092), 1},
    BoundCase{"LongTextNoToken",   times("x", 5000), QStringLiteral("abc"), times("x", 5000), 0},
    BoundCase{"LongTextShrinks",   times("x", 5000) + QStringLiteral("$M"), QString(), times("x", 5000), 0},
    BoundCase{"LongTextSameSize",  times("x", 5000) + QStringLiteral("$M"), QStringLiteral("ab"),
              times("x", 5000) + QStringLiteral("ab"), 0}),
    [](const testing::TestParamInfo<BoundCase> &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(BoundedExpansion, ReplaceMacroAloneIsBoundedToo)
{
    QString text = QStringLiteral("$M").repeated(3000);
    testing::internal::CaptureStdout();
    keyer.replaceMacro(text, QStringLiteral("$M"), QStringLiteral("abc"));
    lines = stdoutLines(testing::internal::GetCapturedStdout());
    EXPECT_EQ(text, QStringLiteral("abc").repeated(1365));
    EXPECT_EQ(lines.size(), 1);
}

} // namespace
