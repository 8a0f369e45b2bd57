#include "service_fixture.h"

#include <sys/ioctl.h>

namespace {

using namespace keying;

// The key on DTR, PTT on RTS; the operator's lead-in 70 ms, tail 200 ms.
class PttRequestTest : public ServiceTest
{
protected:
    struct PttOn
    {
        double on, firstDown, off; // ms; firstDown -1 when nothing keyed
    };

    void SetUp() override
    {
        ServiceTest::SetUp();
        store->setValue(KLKSerialPTTKey, QStringLiteral("RTS"));
        store->setValue(KLKPTTLeadKey, qint64(70));
        store->setValue(KLKPTTTailKey, qint64(200));
    }

    std::vector<PttOn> pttTimes() const
    {
        std::vector<PttOn> found;
        bool on = false;
        for (const RecordingLine::Call &call : line.sets()) {
            if (bool(call.bits & TIOCM_RTS) != on) {
                on = !on;
                if (on)
                    found.push_back({call.atMs, -1, -1});
                else
                    found.back().off = call.atMs;
            }
            if ((call.bits & TIOCM_DTR) && found.back().firstDown < 0)
                found.back().firstDown = call.atMs;
        }
        return found;
    }
};

// ESC "d" sets the lead-in of the logger's texts until ESC "0"; one outside cwdaemon's range is refused.
TEST_F(PttRequestTest, PttDelaySetsTheLeadInOfTheLoggersTexts)
{
    for (const char *delay : {"d20", "d0", "0", "d51"}) {
        send(escape + delay);
        send("e");
        settle();
    }
    std::vector<double> leads;
    for (const PttOn &ptt : pttTimes())
        leads.push_back(ptt.firstDown - ptt.on);
    EXPECT_EQ(leads, (std::vector<double>{20, 0, 70, 70}));
    EXPECT_EQ(
        linesStartingWith(QStringLiteral("#.. Keylark : A logger's request ESC \"d\" with the value \"51\" "
                                         "was ignored: it takes a PTT delay of 0 to 50 ms."))
            .size(),
        1);
}

// How a voice keyer's PTT ends: ESC "a0", ESC "4", the operator's Stop, or nothing.
class PttHoldTest : public PttRequestTest, public ::testing::WithParamInterface<int>
{
};

// ESC "a1" holds PTT on with the key up until the logger lets go (then the tail, counted from PTT on,
// has passed or runs out), a stop ends it at once, and a logger that never lets go is cut off after 30 s.
TEST_P(PttHoldTest, VoiceKeyersPttHoldsUntilItEnds)
{
    const int ender = GetParam();
    if (ender < 3)
        holdBeforeSet(2); // PTT on
    send(escape + "a1");
    if (ender < 3) {
        ASSERT_TRUE(workerHeld());
        if (ender == 0)
            send(escape + "a0");
        else if (ender == 1)
            send(escape + "4");
        else
            controller->cwSendStop();
        release();
    }
    settle();
    const auto ptt = pttTimes();
    ASSERT_EQ(ptt.size(), 1u);
    const double held[] = {200, 10, 10, 30'000};
    EXPECT_EQ(ptt[0].off - ptt[0].on, held[ender]);
    EXPECT_EQ(ptt[0].firstDown, -1);
    EXPECT_EQ(linesStartingWith(QStringLiteral("#.. Keylark : PTT off after 30 s")).size(),
              ender == 3 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Enders, PttHoldTest, ::testing::Range(0, 4));

} // namespace
