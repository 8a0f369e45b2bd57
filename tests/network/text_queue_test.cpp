#include "keying/keying_doubles.h"
#include "network/text_queue.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

KeyingPiece piece(std::uint64_t id)
{
    return {id, {{KeyingStep::Kind::Character, 'E'}}};
}

class TextQueueTest : public ::testing::Test
{
protected:
    VirtualClock clock;
    TextQueue queue{clock};
};

TEST_F(TextQueueTest, HoldsPiecesInOrderWithinItsRoom)
{
    EXPECT_TRUE(queue.push(piece(1), 4000));
    EXPECT_TRUE(queue.push(piece(2), 96));
    EXPECT_FALSE(queue.push(piece(3), 1)); // full: nothing more, not even one byte
    EXPECT_EQ(queue.used(), TextQueue::capacity);
    EXPECT_EQ(queue.takePiece()->id, 1u);
    EXPECT_EQ(queue.used(), 96);
    EXPECT_FALSE(queue.push(piece(4), 4001));
    EXPECT_TRUE(queue.push(piece(5), 4000));
    EXPECT_EQ(queue.takePiece()->id, 2u);
    EXPECT_EQ(queue.takePiece()->id, 5u);
    EXPECT_FALSE(queue.takePiece());
    EXPECT_TRUE(queue.isEmpty());
}

TEST_F(TextQueueTest, EveryPieceCostsAtLeastOne)
{
    for (int id = 1; id <= TextQueue::capacity; ++id)
        ASSERT_TRUE(queue.push(piece(id), 0));
    EXPECT_FALSE(queue.push(piece(0), 0));
}

TEST_F(TextQueueTest, DropEmptiesItAndNamesTheLastPieceItHeld)
{
    QSignalSpy dropped(&queue, &TextQueue::dropped);
    QSignalSpy keyed(&queue, &TextQueue::keyed);
    queue.push(piece(7), 10);
    queue.push(piece(8), 10);
    queue.pieceKeyed(7);
    queue.dropPieces();
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_FALSE(queue.takePiece());
    ASSERT_EQ(dropped.size(), 1);
    EXPECT_EQ(dropped.at(0).at(0).toULongLong(), 8u);
    ASSERT_EQ(keyed.size(), 1);
    EXPECT_EQ(keyed.at(0).at(0).toULongLong(), 7u);
}

struct AgeCase
{
    const char *name;
    // p pushes the next piece, t takes one, k reports the last taken keyed, e expires, a digit waits that
    // many times ten seconds, a "+" one second more
    const char *script;
    std::vector<quint64> taken;
    std::vector<quint64> expired; // the last id of each expiry
};

class AgeTest : public TextQueueTest, public ::testing::WithParamInterface<AgeCase>
{
};

// A text that waits more than twenty seconds while none of the queue keys is never taken; the time it
// waits behind the queue's own texts while they key does not count.
TEST_P(AgeTest, TextsThatWaitTooLongAreDroppedNotKeyed)
{
    QSignalSpy expired(&queue, &TextQueue::expired);
    std::vector<quint64> taken;
    quint64 pushed = 0;
    for (const char *step = GetParam().script; *step != '\0'; ++step) {
        if (*step == 'p')
            queue.push(piece(++pushed), 2);
        else if (*step == 't') {
            if (std::optional<KeyingPiece> piece = queue.takePiece())
                taken.push_back(piece->id);
        } else if (*step == 'k')
            queue.pieceKeyed(taken.back());
        else if (*step == 'e')
            queue.expire();
        else if (*step == '+')
            clock.advance(1'000'000'000);
        else
            clock.advance((*step - '0') * 10'000'000'000);
    }
    EXPECT_EQ(taken, GetParam().taken);
    std::vector<quint64> expiredIds;
    for (const QList<QVariant> &signal : expired)
        expiredIds.push_back(signal.at(0).toULongLong());
    EXPECT_EQ(expiredIds, GetParam().expired);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Waits, AgeTest, ::testing::Values(
    AgeCase{"JustInTime",         "p2t",        {1},       {}},
    AgeCase{"TooLate",            "p2+t",       {},        {1}},
    AgeCase{"OnlyTheOldest",      "p1pp1+t",    {2},       {1}},
    AgeCase{"BehindItsOwnTexts",  "ppt9kt",     {1, 2},    {}},
    AgeCase{"NotWhileOneKeys",    "ppt9e",      {1},       {}},
    AgeCase{"FromTheLastMove",    "ppt9k2+t",   {1},       {2}},
    AgeCase{"AfterAStuckPiece",   "ppt2+t",     {1},       {2}}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

} // namespace
