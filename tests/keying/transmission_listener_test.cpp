#include "keying_fixture.h"

namespace {

using namespace keying;

class ListenerTest : public KeyingTest
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        store->setValue(KLKSerialDTRKey, true);
        start().setTransmissionListener(&listener);
    }

    QStringList texts() const
    {
        QStringList result;
        for (const KeyedPass &pass : listener.passes())
            result += pass.text + (pass.stopped ? QStringLiteral(" [stopped]") : QString());
        return result;
    }

    RecordingListener listener;
};

TEST_F(ListenerTest, HearsAPassWithItsStartInUtcAndItsSpeed)
{
    const QDateTime before = QDateTime::currentDateTimeUtc();
    sendAndWait(QStringLiteral("cq de \u00e9"));
    const QDateTime after = QDateTime::currentDateTimeUtc();
    const std::vector<KeyedPass> passes = listener.passes();
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].text, QStringLiteral("CQ DE \ufffd\ufffd"));
    EXPECT_EQ(passes[0].start.timeSpec(), Qt::UTC);
    EXPECT_TRUE(passes[0].start >= before && passes[0].start <= after);
    EXPECT_EQ(passes[0].slowest, 12);
    EXPECT_EQ(passes[0].fastest, 12);
    EXPECT_FALSE(passes[0].stopped);
}

TEST_F(ListenerTest, AStoppedPassTellsWhatWasKeyed)
{
    clock.onSleep = [this] {
        if (clock.sleeps() == 3) // during the first dah of P
            controller->cwSendStop();
    };
    sendAndWait(QStringLiteral("PARIS"));
    EXPECT_EQ(texts(), QStringList{QStringLiteral("P [stopped]")});
}

TEST_F(ListenerTest, EveryPassOfABeaconIsHeardAndOnlyPassesThatKeyed)
{
    clock.onSleep = [this] {
        if (clock.sleeps() == 5) // the dit of the third pass
            controller->cwSendStop();
    };
    controller->cwBeaconTransmission();
    sendAndWait(QStringLiteral("E"));
    sendAndWait(QString());
    EXPECT_EQ(texts(),
              (QStringList{QStringLiteral("E"), QStringLiteral("E"), QStringLiteral("E [stopped]")}));
}

TEST_F(ListenerTest, ASpeedChangedDuringThePassGivesItsRange)
{
    clock.at(1000, [this] { store->setValue(KLKWpmKey, 20); }); // before the last dit of P
    sendAndWait(QStringLiteral("PARIS"));
    const std::vector<KeyedPass> passes = listener.passes();
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].slowest, 12);
    EXPECT_EQ(passes[0].fastest, 20);
}

TEST_F(ListenerTest, APassInPracticeIsMarkedSo)
{
    store->setValue(KLKPracticeModeKey, true);
    sendAndWait(QStringLiteral("E"));
    store->setValue(KLKPracticeModeKey, false);
    sendAndWait(QStringLiteral("T"));
    const std::vector<KeyedPass> passes = listener.passes();
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_TRUE(passes[0].practice);
    EXPECT_FALSE(passes[1].practice);
}

TEST_F(ListenerTest, NobodyHearsOnceTheListenerIsTakenBack)
{
    sendAndWait(QStringLiteral("E"));
    controller->setTransmissionListener(nullptr);
    sendAndWait(QStringLiteral("T"));
    EXPECT_EQ(texts(), QStringList{QStringLiteral("E")});
}

} // namespace
