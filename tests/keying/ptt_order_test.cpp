#include "kernel_line.h"
#include "keying/keying_line.h"
#include "keying_fixture.h"
#include "list_source.h"

#include <limits>
#include <sys/ioctl.h>

namespace {

using namespace keying;

// ms. The tail is longer than a beacon's pause of one second and shorter than one of two.
constexpr int lead = 40;
constexpr int tail = 1500;
constexpr double shortTail = double(KeyingLine::shortestTail) / 1e6;
constexpr double dit = 100;       // at the stored 12 wpm
constexpr double letterGap = 300; // after the last element of a character
constexpr double never = std::numeric_limits<double>::infinity();

// One stretch of PTT on: when it went on, its first key-down, its last key-up, when it went off.
struct PttPeriod
{
    double on = -1, firstDown = -1, lastUp = -1, off = -1;
    int downs = 0;
};

using PttParam = std::tuple<Wiring, int, bool, bool>; // keying lines, PTT line, PTT active-low, open-at-start

std::string pttName(const ::testing::TestParamInfo<PttParam> &info)
{
    const auto &[w, pttLine, activeLow, openAtStart] = info.param;
    return w.name() + (pttLine == TIOCM_DTR ? "PttDTR" : "PttRTS") + (activeLow ? "Low" : "High") +
           portMode(openAtStart);
}

class PttOrderTest : public KeyingTest, public ::testing::WithParamInterface<PttParam>
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        const auto &[w, pttLine, activeLow, openAtStart] = GetParam();
        w.store(*store, openAtStart);
        store->setValue(KLKSerialPTTKey,
                        pttLine == TIOCM_DTR ? QStringLiteral("DTR") : QStringLiteral("RTS"));
        store->setValue(KLKSerialPTTReverseKey, activeLow);
        store->setValue(KLKPTTLeadKey, qint64(lead));
        store->setValue(KLKPTTTailKey, qint64(tail));
        port.beforeSet = [this](int) {
            if (clock.elapsedMs() >= actAt_) {
                actAt_ = never;
                action_();
            }
        };
    }

    // Runs the action on the worker, just before its first request on the line at or after the time.
    void actAt(double ms, std::function<void()> action)
    {
        action_ = std::move(action);
        actAt_ = ms;
    }

    // One run of Keylark: a text; a beacon that pauses less than the tail and one that pauses longer,
    // each stopped in the element of its second pass; a text that Quit ends in its element.
    void session()
    {
        controller = std::make_unique<SerialController>(
            *store, [this]() -> ConsoleLog * { return &console; }, &port, &clock);
        sendAndWait(QStringLiteral("E"));
        beacon(1, lead + dit + letterGap + 1000);
        beacon(2, lead + dit + tail + 2000 + lead);
        Gate gate;
        actAt(clock.elapsedMs() + lead, [&gate] { gate.pass(); });
        ASSERT_EQ(controller->cwSendString(QStringLiteral("E")), 0);
        gate.waitUntilReached();
        controller->cwSendStop(); // Quit stops first, then ends the controller
        gate.open();
        controller.reset();
        port.exitProcess();
    }

    void beacon(int pause, double secondKeyDown)
    {
        store->setValue(KLKBeaconDelayKey, qint64(pause));
        actAt(clock.elapsedMs() + secondKeyDown, [this] { controller->cwSendStop(); });
        controller->cwBeaconTransmission();
        sendAndWait(QStringLiteral("E"));
    }

    bool pttOn(int lines) const { return (lines & ptt_line) == ptt_on; }
    int rest() const { return rtsdtr_off | ptt_off; }

    // The index just after Keylark first put the port at rest: before it, the kernel's raise at the very
    // first open may show anything.
    std::size_t settled(const std::vector<KernelLine::State> &states) const
    {
        for (std::size_t i = 0; i < states.size(); ++i)
            if (states[i].event == 's' && states[i].requested == rest() && states[i].lines == rest())
                return i + 1;
        return states.size();
    }

    // The stretches of PTT on; inside one, the requests after the one that switched PTT on key down and up
    // in turn. Checks on the way that the key is never down while PTT is off and that only Keylark's own
    // requests move PTT.
    std::vector<PttPeriod> periods(const std::vector<KernelLine::State> &states, std::size_t from) const
    {
        std::vector<PttPeriod> found;
        bool on = false;
        bool down = false;
        for (std::size_t i = from; i < states.size(); ++i) {
            const KernelLine::State &state = states[i];
            EXPECT_FALSE(keyed(state.lines, rtsdtr_on, rtsdtr_off) && !pttOn(state.lines))
                << "keyed with PTT off at event " << i;
            if (pttOn(state.lines) != on) {
                EXPECT_EQ(state.event, 's') << "PTT moved by the kernel at event " << i;
                on = !on;
                if (on)
                    found.push_back({state.atMs});
                else
                    found.back().off = state.atMs;
                continue;
            }
            if (!on || state.event != 's')
                continue;
            down = !down;
            PttPeriod &period = found.back();
            if (down && period.downs++ == 0)
                period.firstDown = state.atMs;
            if (!down)
                period.lastUp = state.atMs;
        }
        return found;
    }

    KernelLine port{&clock};

private:
    double actAt_ = never;
    std::function<void()> action_;
};

// Over every wiring, both PTT lines and polarities and both port modes, through two runs of Keylark: PTT
// goes on the lead-in before the first key-down and off the tail after the last key-up, stays on across a
// pause shorter than the tail, and goes off a short tail after a stop or Quit; the lines rest after each.
TEST_P(PttOrderTest, PttFramesEveryKeyDownWithItsLeadAndTail)
{
    session();
    const std::size_t restart = port.states().size();
    session();
    const auto states = port.states();
    const std::vector<PttPeriod> found = periods(states, settled(states));

    // The text, the beacon pausing inside its tail, the two passes of the other, Quit.
    const double tails[] = {tail, shortTail, tail, shortTail, shortTail};
    const int downs[] = {1, 2, 1, 1, 1};
    ASSERT_EQ(found.size(), 10u);
    for (std::size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(found[i].firstDown - found[i].on, lead);
        EXPECT_DOUBLE_EQ(found[i].off - found[i].lastUp, tails[i % 5]);
        EXPECT_EQ(found[i].downs, downs[i % 5]);
    }
    EXPECT_GE(found[5].on, states[restart].atMs);
    EXPECT_EQ(port.lines(), rest());
    EXPECT_EQ(port.attributes.c_cflag & HUPCL, 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryWiring, PttOrderTest,
                         ::testing::Combine(::testing::ValuesIn(allWirings),
                                            ::testing::Values(TIOCM_DTR, TIOCM_RTS), ::testing::Bool(),
                                            ::testing::Bool()),
                         pttName);

class PttRefusedTest : public PttOrderTest
{
};

// A PTT request the port refuses keys nothing, and the next send asks for PTT again with its lead-in.
TEST_P(PttRefusedTest, NothingIsKeyedAndTheNextSendAsksAgain)
{
    controller = std::make_unique<SerialController>(
        *store, [this]() -> ConsoleLog * { return &console; }, &port, &clock);
    port.setError = EIO;
    port.failSetBits = rtsdtr_off | ptt_on;
    port.failures = 1;
    sendAndWait(QStringLiteral("E"));
    sendAndWait(QStringLiteral("E"));
    const auto states = port.states();
    const std::vector<PttPeriod> found = periods(states, settled(states));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_DOUBLE_EQ(found[0].firstDown - found[0].on, lead);
    EXPECT_EQ(found[0].downs, 1);
}

INSTANTIATE_TEST_SUITE_P(BothPolaritiesAndPortModes, PttRefusedTest,
                         ::testing::Combine(::testing::Values(allWirings[0]), ::testing::Values(TIOCM_RTS),
                                            ::testing::Bool(), ::testing::Bool()),
                         pttName);

} // namespace
