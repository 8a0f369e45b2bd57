#include "settings/setting_value.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

struct Conversion
{
    QVariant value;
    int asInt;
    double asDouble;
    bool asBool;
};

void PrintTo(const Conversion &c, std::ostream *os)
{
    *os << c.value.typeName() << " " << c.value.toString().toStdString();
}

class ConversionRules : public ::testing::TestWithParam<Conversion>
{
};

TEST_P(ConversionRules, ReadAsIntegerRealAndBoolean)
{
    const Conversion &c = GetParam();
    EXPECT_EQ(SettingValue::toInt(c.value), c.asInt);
    EXPECT_DOUBLE_EQ(SettingValue::toDouble(c.value), c.asDouble);
    EXPECT_EQ(SettingValue::toBool(c.value), c.asBool);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, ConversionRules, ::testing::Values(
    Conversion{QVariant(),                    0,   0.0,   false},
    Conversion{QVariant(qint64(12)),          12,  12.0,  true},
    Conversion{QVariant(qint64(0)),           0,   0.0,   false},
    Conversion{QVariant(12.9),                12,  12.9,  true},
    Conversion{QVariant(-3.7),                -3,  -3.7,  true},
    Conversion{QVariant(0.0),                 0,   0.0,   false},
    Conversion{QVariant(1e12),                INT_MAX, 1e12, true},
    Conversion{QVariant(true),                1,   1.0,   true},
    Conversion{QVariant(false),               0,   0.0,   false},
    Conversion{QVariant(QStringLiteral("3")),          3,  3.0,   true},
    Conversion{QVariant(QStringLiteral("2.5")),        2,  2.5,   true},
    Conversion{QVariant(QStringLiteral("  -7x")),      -7, -7.0,  true},
    Conversion{QVariant(QStringLiteral("+4")),         4,  4.0,   true},
    Conversion{QVariant(QStringLiteral(".5")),         0,  0.5,   false},
    Conversion{QVariant(QStringLiteral("1e3")),        1,  1000.0, true},
    Conversion{QVariant(QStringLiteral("2e")),         2,  2.0,   true},
    Conversion{QVariant(QStringLiteral("abc")),        0,  0.0,   false},
    Conversion{QVariant(QStringLiteral("nan")),        0,  0.0,   false},
    Conversion{QVariant(QStringLiteral("inf")),        0,  0.0,   false},
    Conversion{QVariant(QStringLiteral("")),           0,  0.0,   false},
    Conversion{QVariant(QStringLiteral("Yes")),        0,  0.0,   true},
    Conversion{QVariant(QStringLiteral("true")),       0,  0.0,   true},
    Conversion{QVariant(QStringLiteral("no")),         0,  0.0,   false},
    Conversion{QVariant(QStringLiteral("0")),          0,  0.0,   false},
    Conversion{QVariant(QStringLiteral("007")),        7,  7.0,   true},
    Conversion{QVariant(QStringLiteral(" -0y")),       0,  0.0,   true},
    Conversion{QVariant(QStringLiteral("99999999999")), INT_MAX, 99999999999.0, true},
    Conversion{QVariant(QStringLiteral("-2147483648")), INT_MIN, -2147483648.0, true},
    Conversion{QVariant(QStringLiteral("2147483648")),  INT_MAX, 2147483648.0,  true},
    Conversion{QVariant(QStringLiteral("-99999999999")), INT_MIN, -99999999999.0, true},
    Conversion{QVariant(QDateTime::currentDateTime()), 0, 0.0, false}));
// clang-format on

TEST(TextRule, NumbersReadAsDecimalTextAndAbsentAsEmpty)
{
    EXPECT_EQ(SettingValue::toText(QVariant(qint64(12))), QStringLiteral("12"));
    EXPECT_EQ(SettingValue::toText(QVariant(13.0)), QStringLiteral("13"));
    EXPECT_EQ(SettingValue::toText(QVariant(2.5)), QStringLiteral("2.5"));
    EXPECT_EQ(SettingValue::toText(QVariant(QStringLiteral("cq"))), QStringLiteral("cq"));
    EXPECT_TRUE(SettingValue::toText(QVariant()).isEmpty());
}

TEST(FloatRule, OverflowingTextIsInfiniteNotUndefined)
{
    EXPECT_TRUE(std::isinf(SettingValue::toDouble(QVariant(QStringLiteral("1e999")))));
    EXPECT_EQ(SettingValue::toInt(QVariant(std::nan(""))), 0);
}

} // namespace
