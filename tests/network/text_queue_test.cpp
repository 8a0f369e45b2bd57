#include "network/text_queue.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

KeyingPiece piece(std::uint64_t id)
{
    return {id, {{KeyingStep::Kind::Character, 'E'}}};
}

TEST(TextQueueTest, HoldsPiecesInOrderWithinItsRoom)
{
    TextQueue queue;
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

TEST(TextQueueTest, EveryPieceCostsAtLeastOne)
{
    TextQueue queue;
    for (int id = 1; id <= TextQueue::capacity; ++id)
        ASSERT_TRUE(queue.push(piece(id), 0));
    EXPECT_FALSE(queue.push(piece(0), 0));
}

TEST(TextQueueTest, DropEmptiesItAndNamesTheLastPieceItHeld)
{
    TextQueue queue;
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

} // namespace
