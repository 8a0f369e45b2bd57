#include "preferences/keying_lines.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int DTR = 2;
constexpr int RTS = 4;

struct LinesCase
{
    bool dtr, dtrReverse, rts, rtsReverse;
    int keyDown, keyUp; // modem-control bits high in each state
};

class KeyingLinesTest : public testing::TestWithParam<LinesCase>
{
};

TEST_P(KeyingLinesTest, ShowsTheLinesTheKeyerDrives)
{
    const LinesCase &c = GetParam();
    const KeyingLines lines(c.dtr, c.dtrReverse, c.rts, c.rtsReverse);
    EXPECT_EQ(lines.dtrKeyDown(), bool(c.keyDown & DTR));
    EXPECT_EQ(lines.rtsKeyDown(), bool(c.keyDown & RTS));
    EXPECT_EQ(lines.dtrKeyUp(), bool(c.keyUp & DTR));
    EXPECT_EQ(lines.rtsKeyUp(), bool(c.keyUp & RTS));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(AllSixteen, KeyingLinesTest, testing::Values(
    LinesCase{0, 0, 0, 0, 0, 0}, LinesCase{0, 0, 0, 1, 0, 4}, LinesCase{0, 0, 1, 0, 4, 0}, LinesCase{0, 0, 1, 1, 0, 4},
    LinesCase{0, 1, 0, 0, 0, 2}, LinesCase{0, 1, 0, 1, 0, 6}, LinesCase{0, 1, 1, 0, 4, 2}, LinesCase{0, 1, 1, 1, 0, 6},
    LinesCase{1, 0, 0, 0, 2, 0}, LinesCase{1, 0, 0, 1, 2, 4}, LinesCase{1, 0, 1, 0, 6, 0}, LinesCase{1, 0, 1, 1, 2, 4},
    LinesCase{1, 1, 0, 0, 0, 2}, LinesCase{1, 1, 0, 1, 0, 6}, LinesCase{1, 1, 1, 0, 4, 2}, LinesCase{1, 1, 1, 1, 0, 6}),
    [](const testing::TestParamInfo<LinesCase> &info) {
        const LinesCase &c = info.param;
        return "Dtr" + std::to_string(c.dtr) + "Reverse" + std::to_string(c.dtrReverse) + "_Rts" +
               std::to_string(c.rts) + "Reverse" + std::to_string(c.rtsReverse);
    });
// clang-format on

TEST(KeyingLines, SummaryAndTableNameEachState)
{
    const KeyingLines lines(true, false, false, true);
    EXPECT_EQ(lines.summary().toStdString(), "Key up: DTR low, RTS high / Key down: DTR high, RTS low");
    const QString table = lines.table();
    EXPECT_LT(table.indexOf(QStringLiteral("Key up")), table.indexOf(QStringLiteral("Key down")));
    EXPECT_EQ(table.count(QStringLiteral(">high<")), 2);
    EXPECT_EQ(table.count(QStringLiteral(">low<")), 2);
}

} // namespace
