#include "keying_fixture.h"

#include <cstring>

namespace {

using keying::codetable;

struct Entry
{
    int code;
    const char *pattern;
};

class MorseTableTest : public KeyingTest, public ::testing::WithParamInterface<Entry>
{
};

TEST_P(MorseTableTest, EntryHoldsItsPattern)
{
    start();
    EXPECT_STREQ(codetable[GetParam().code], GetParam().pattern) << "code " << GetParam().code;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(LettersAndDigits, MorseTableTest, ::testing::Values(
    Entry{'A', ".-"},    Entry{'B', "-..."},  Entry{'C', "-.-."},  Entry{'D', "-.."},   Entry{'E', "."},
    Entry{'F', "..-."},  Entry{'G', "--."},   Entry{'H', "...."},  Entry{'I', ".."},    Entry{'J', ".---"},
    Entry{'K', "-.-"},   Entry{'L', ".-.."},  Entry{'M', "--"},    Entry{'N', "-."},    Entry{'O', "---"},
    Entry{'P', ".--."},  Entry{'Q', "--.-"},  Entry{'R', ".-."},   Entry{'S', "..."},   Entry{'T', "-"},
    Entry{'U', "..-"},   Entry{'V', "...-"},  Entry{'W', ".--"},   Entry{'X', "-..-"},  Entry{'Y', "-.--"},
    Entry{'Z', "--.."},  Entry{'0', "-----"}, Entry{'1', ".----"}, Entry{'2', "..---"}, Entry{'3', "...--"},
    Entry{'4', "....-"}, Entry{'5', "....."}, Entry{'6', "-...."}, Entry{'7', "--..."}, Entry{'8', "---.."},
    Entry{'9', "----."}));

INSTANTIATE_TEST_SUITE_P(Signs, MorseTableTest, ::testing::Values(
    Entry{32, " "},          Entry{33, "....-."},    Entry{34, ".-..-."},    Entry{35, "-.---"},
    Entry{37, "%"},          Entry{38, "....--."},   Entry{39, ".----."},    Entry{40, "-.--."},
    Entry{41, "-.--.-"},     Entry{42, "-----."},    Entry{43, ".-.-."},     Entry{44, "--..--"},
    Entry{45, "-....-"},     Entry{46, ".-.-.-"},    Entry{47, "-..-."},     Entry{58, "---..."},
    Entry{59, "-.-.-."},     Entry{60, "....-.-.."}, Entry{61, "-...-"},     Entry{62, "....---."},
    Entry{63, "..--.."},     Entry{64, ".--.-."},    Entry{91, "....-.."},   Entry{92, "-....."},
    Entry{93, "....-...."},  Entry{94, "....--.-."}, Entry{95, "..--.-"},    Entry{123, "....-.--"},
    Entry{124, "...-.."},    Entry{125, "....--..-"}, Entry{126, "....--"}));

INSTANTIATE_TEST_SUITE_P(WordSpaceByDefault, MorseTableTest, ::testing::Values(
    Entry{0, " "}, Entry{9, " "}, Entry{10, " "}, Entry{31, " "}, Entry{36, " "}, Entry{96, " "},
    Entry{97, " "}, Entry{101, " "}, Entry{122, " "}, Entry{127, " "}, Entry{0xC3, " "}, Entry{0xA9, " "},
    Entry{200, " "}, Entry{255, " "}, Entry{256, " "}, Entry{511, " "}));
// clang-format on

TEST_F(KeyingTest, MorseTableHoldsSixtySixPatternsAndNoEmptyEntry)
{
    start();
    int patterns = 0;
    for (const char *pattern : codetable) {
        ASSERT_NE(pattern, nullptr);
        ASSERT_NE(pattern[0], '\0');
        patterns += std::strcmp(pattern, " ") != 0;
    }
    EXPECT_EQ(patterns, 66);
}

TEST_F(KeyingTest, MorseTablePatternsUseOnlyDitsAndDahsUpToNineElements)
{
    start();
    std::vector<int> nineElements;
    for (int code = 0; code < keying::codeTableSize; ++code) {
        const std::string pattern = codetable[code];
        if (pattern == " " || pattern == "%")
            continue;
        EXPECT_EQ(pattern.find_first_not_of(".-"), std::string::npos) << "code " << code;
        EXPECT_LE(pattern.size(), 9u);
        if (pattern.size() == 9)
            nineElements.push_back(code);
    }
    EXPECT_EQ(nineElements, (std::vector<int>{'<', ']', '^', '}'}));
}

TEST_F(KeyingTest, MorseTableSecondFillGivesTheSameTable)
{
    SerialController &serial = start();
    std::vector<const char *> first(std::begin(codetable), std::end(codetable));
    serial.output().codeInit();
    EXPECT_EQ(std::vector<const char *>(std::begin(codetable), std::end(codetable)), first);
}

} // namespace
