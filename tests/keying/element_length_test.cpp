#include "keying/wait_schedule.h"
#include "keying_fixture.h"

#include <algorithm>

namespace {

using namespace keying;

constexpr std::int64_t ms = 1'000'000;
const QString text = QStringLiteral("PARIS PARIS");

// Lengths at 12 wpm with the registered ratios, in ms: each key-down, then the gap to the next one.
std::vector<double> idealLengths()
{
    std::vector<double> lengths;
    double gap = 0;
    for (const QChar character : text) {
        const char *pattern = codetable[uchar(character.toLatin1())];
        if (pattern[0] == ' ') {
            gap += 400;
            continue;
        }
        for (const char *element = pattern; *element; ++element) {
            if (!lengths.empty())
                lengths.push_back(gap);
            lengths.push_back(*element == '.' ? 100 : 300);
            gap = element[1] ? 100 : 300;
        }
    }
    return lengths;
}

enum class Where { BeforeAKeyDown, DuringAKeyDown, DuringAnElementGap, DuringALetterGap, DuringAWordSpace };

struct StallRow
{
    const char *name;
    Where where;
    double stallMs;
};

class StallTest : public KeyingTest, public ::testing::WithParamInterface<StallRow>
{
protected:
    // Key-down and gap lengths as keyed, in the order of idealLengths().
    std::vector<double> keyedLengths() const
    {
        std::vector<double> lengths;
        double lastUp = -1;
        for (const auto &[down, up] : keyDownPeriods()) {
            if (lastUp >= 0)
                lengths.push_back(down - lastUp);
            lengths.push_back(up - down);
            lastUp = up;
        }
        return lengths;
    }

    void stallAt(double virtualMs)
    {
        const auto stall = std::int64_t(GetParam().stallMs * ms);
        if (GetParam().where != Where::BeforeAKeyDown) {
            clock.at(virtualMs, [this, stall] { clock.advance(stall); });
            return;
        }
        line.beforeSet = [this, virtualMs, stall, done = false](int bits) mutable {
            if (!done && bits == rtsdtr_on && clock.elapsedMs() >= virtualMs) {
                done = true;
                clock.advance(stall);
            }
        };
    }
};

// A stall of the whole process lengthens the key-down or gap it falls in. A short one is made up over the
// following elements, none cut by more than a millisecond; a longer one shortens nothing: every later
// element and gap keeps its length, and the text ends late by the stall alone.
TEST_P(StallTest, LaterElementsAndGapsKeepTheirLength)
{
    store->setValue(KLKSerialDTRKey, true);
    start();
    switch (GetParam().where) {
    case Where::BeforeAKeyDown:
    case Where::DuringALetterGap:
        stallAt(1400); // the first key-down of A
        break;
    case Where::DuringAKeyDown:
        stallAt(500); // the first dah of P ends
        break;
    case Where::DuringAnElementGap:
        stallAt(600);
        break;
    case Where::DuringAWordSpace:
        stallAt(5000);
        break;
    }
    sendAndWait(text);

    const std::vector<double> ideal = idealLengths();
    const std::vector<double> keyed = keyedLengths();
    ASSERT_EQ(keyed.size(), ideal.size());
    std::vector<double> errors;
    for (std::size_t i = 0; i < ideal.size(); ++i)
        errors.push_back(keyed[i] - ideal[i]);
    const bool madeUp = GetParam().stallMs * ms <= WaitSchedule::stallLimit;
    EXPECT_GE(*std::min_element(errors.begin(), errors.end()), -1.0);
    EXPECT_EQ(std::count_if(errors.begin(), errors.end(), [](double e) { return e > 0; }), 1);
    if (!madeUp) {
        EXPECT_EQ(std::count_if(errors.begin(), errors.end(), [](double e) { return e != 0; }), 1);
    }
    EXPECT_EQ(line.calls().back().atMs, 9600 + (madeUp ? 0 : GetParam().stallMs));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Stalls, StallTest, ::testing::Values(
    StallRow{"BeforeAKeyDown", Where::BeforeAKeyDown, 60},
    StallRow{"DuringAKeyDown", Where::DuringAKeyDown, 60},
    StallRow{"DuringAnElementGap", Where::DuringAnElementGap, 60},
    StallRow{"DuringALetterGap", Where::DuringALetterGap, 60},
    StallRow{"DuringAWordSpace", Where::DuringAWordSpace, 60},
    StallRow{"LongerThanADahDuringAGap", Where::DuringAnElementGap, 450},
    StallRow{"ShorterThanADitBeforeAKeyDown", Where::BeforeAKeyDown, 20},
    StallRow{"MadeUpBeforeAKeyDown", Where::BeforeAKeyDown, 8},
    StallRow{"MadeUpDuringAWordSpace", Where::DuringAWordSpace, 10},
    StallRow{"JustAboveTheJitterDuringAKeyDown", Where::DuringAKeyDown, 1.5}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(KeyingTest, WakeUpJitterIsTakenOutOfTheNextWait)
{
    store->setValue(KLKSerialDTRKey, true);
    start();
    clock.onSleep = [this] { clock.advance(700'000); }; // every wait wakes 0.7 ms late
    sendAndWait(text);
    const auto periods = keyDownPeriods();
    ASSERT_FALSE(periods.empty());
    EXPECT_NEAR(periods.back().first, 9200.0, 1.0); // no drift: the last key-down is on time
    for (std::size_t i = 1; i < periods.size(); ++i)
        EXPECT_GE(periods[i].first - periods[i - 1].second, 100.0 - 1.0);
}

} // namespace
