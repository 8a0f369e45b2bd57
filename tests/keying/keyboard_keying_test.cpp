#include "keying_fixture.h"
#include "list_source.h"

#include <chrono>
#include <thread>

namespace {

using namespace keying;
using namespace std::chrono_literals;

class KeyboardKeyingTest : public KeyingTest
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        store->setValue(KLKSerialDTRKey, true); // 12 wpm: dit 100 ms, dah 300
        start();
        controller->setTextSource(&source);
        controller->setTransmissionListener(&listener);
    }
    KeyboardText &typed() { return controller->keyboardText(); }
    void type(const QString &text)
    {
        ASSERT_TRUE(typed().setText(text));
        controller->cwSendQueued();
    }
    // The worker keys on the virtual clock; the test waits in real time until it has echoed the log.
    void waitForLog(const QString &log)
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (console.log() != log && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        ASSERT_EQ(console.log(), log);
    }
    void endBurst()
    {
        typed().wake();
        controller->joinWorkers();
    }

    ListSource source;
    RecordingListener listener;
    Gate gate;
};

TEST_F(KeyboardKeyingTest, TypingSlowerThenFasterThanTheKeyerKeysOnePassInOrder)
{
    type(QStringLiteral("c")); // the worker keys it and waits for the next
    waitForLog(QStringLiteral("<T>C"));
    store->setValue(KLKWpmKey, 24);
    type(QStringLiteral("cq de")); // the rest waits behind the keyer
    waitForLog(QStringLiteral("<T>CQ DE"));
    endBurst();

    const std::vector<KeyedPass> passes = listener.passes();
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].text, QStringLiteral("CQ DE"));
    EXPECT_FALSE(passes[0].stopped);
    const auto periods = keyDownPeriods();
    ASSERT_EQ(periods.size(), 12u);
    EXPECT_EQ(periods.front().second - periods.front().first, 300.0); // C's dah at 12 wpm
    EXPECT_EQ(periods.back().second - periods.back().first, 50.0);    // E at 24 wpm, from the next character
    EXPECT_EQ(typed().taken(), 5);
}

TEST_F(KeyboardKeyingTest, EditsChangeOnlyWhatWaitsAndAStopDropsIt)
{
    clock.onSleep = [this] { gate.pass(); };
    type(QStringLiteral("cq"));
    gate.waitUntilReached(); // inside C's first element
    EXPECT_FALSE(typed().setText(QStringLiteral("xq")));
    EXPECT_TRUE(typed().setText(QStringLiteral("c")));
    EXPECT_TRUE(typed().setText(QStringLiteral("ce")));
    controller->cwSendStop();
    gate.open();
    controller->joinWorkers();

    EXPECT_EQ(console.log(), QStringLiteral("<T>C"));
    ASSERT_EQ(listener.passes().size(), 1u);
    EXPECT_TRUE(listener.passes()[0].stopped);
    EXPECT_EQ(typed().text(), QStringLiteral("c"));
    EXPECT_EQ(line.calls().back().what, 'c');
}

// A logger's text waits until the burst has ended; its stop request leaves the operator's burst alone.
TEST_F(KeyboardKeyingTest, QueuedTextsWaitForTheBurstAndTheirStopLeavesIt)
{
    source.add({1, stepsOf("K"), 0});
    type(QStringLiteral("ab"));
    waitForLog(QStringLiteral("<T>AB"));
    controller->cwStopQueued();
    endBurst();
    EXPECT_TRUE(source.keyed().empty());
    ASSERT_EQ(controller->cwSendQueued(), 0);
    controller->joinWorkers();

    EXPECT_EQ(console.log(), QStringLiteral("<T>AB\n<T>K"));
    const std::vector<KeyedPass> passes = listener.passes();
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_FALSE(passes[0].stopped);
}

} // namespace
