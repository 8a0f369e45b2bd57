#include "kernel_line.h"
#include "keying_fixture.h"

#include <algorithm>
#include <sys/ioctl.h>

namespace {

using namespace keying;

using RestParam = std::tuple<Wiring, bool>; // the four line settings, open-at-start

std::string wiringName(const ::testing::TestParamInfo<RestParam> &info)
{
    const auto &[w, openAtStart] = info.param;
    return w.name() + portMode(openAtStart);
}

class LinesAtRestTest : public KeyingTest, public ::testing::WithParamInterface<RestParam>
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        const auto &[w, openAtStart] = GetParam();
        w.store(*store, openAtStart);
    }

    void startOnThePort()
    {
        controller = std::make_unique<SerialController>(
            *store, [this]() -> ConsoleLog * { return &console; }, &port, &clock);
    }

    // One run of Keylark: a transmission, a transmission stopped in its second element, then Quit.
    void session()
    {
        startOnThePort();
        sendAndWait(QStringLiteral("E"));
        const double now = clock.elapsedMs();
        clock.at(now + 150, [this] { controller->cwSendStop(); });
        sendAndWait(QStringLiteral("PARIS"));
        controller.reset();
        port.exitProcess();
    }

    // Key-down states that Keylark's own key-down did not make, from the given event on: each run of
    // events that leave the transmitter keyed without being a key-down request counts once.
    int foreignKeyDowns(std::size_t from) const
    {
        const auto states = port.states();
        int count = 0;
        bool inside = false;
        for (std::size_t i = from; i < states.size(); ++i) {
            const bool ownKeyDown = states[i].event == 's' && states[i].requested == rtsdtr_on;
            const bool foreign = keyed(states[i].lines, rtsdtr_on, rtsdtr_off) && !ownKeyDown;
            count += foreign && !inside;
            inside = foreign;
        }
        return count;
    }

    // The index just after the first key-up set that succeeded: the end of Keylark's first open.
    std::size_t afterFirstKeyUp() const
    {
        const auto states = port.states();
        for (std::size_t i = 0; i < states.size(); ++i)
            if (states[i].event == 's' && states[i].requested == rtsdtr_off && states[i].lines == rtsdtr_off)
                return i + 1;
        return states.size();
    }

    KernelLine port{&clock};
};

// On a port fresh from being plugged in, only the kernel's raise at Keylark's very first open can key an
// active-high line (no program can prevent it). From then on, through transmissions, a stop, Quit and a
// second start, the line never shows its key-down state outside an element, and it rests keyed up.
TEST_P(LinesAtRestTest, LineIsKeyedOnlyDuringElements)
{
    session();
    const std::size_t settled = afterFirstKeyUp();
    const bool activeHigh = rtsdtr_on != 0;
    EXPECT_EQ(foreignKeyDowns(0), activeHigh ? 1 : 0);
    EXPECT_EQ(foreignKeyDowns(settled), 0);
    EXPECT_EQ(port.lines(), rtsdtr_off);

    const std::size_t restart = port.states().size();
    session();
    EXPECT_EQ(foreignKeyDowns(restart), 0);
    EXPECT_EQ(port.lines(), rtsdtr_off);
    EXPECT_EQ(port.attributes.c_cflag & HUPCL, 0u);
}

// Killed without its shutdown, Keylark leaves the lines where its last key-up put them.
TEST_P(LinesAtRestTest, LinesStayAtRestWhenTheProcessIsKilledWithThePortOpen)
{
    session();
    startOnThePort();
    sendAndWait(QStringLiteral("E"));
    const std::size_t killed = port.states().size();
    port.exitProcess(); // the kernel closes the port of a killed process; the controller never shuts down
    EXPECT_EQ(foreignKeyDowns(killed), 0);
    EXPECT_EQ(port.lines(), rtsdtr_off);
}

class LineSettingsChangeTest : public KeyingTest
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        store->setValue(KLKSerialDTRKey, true);
        store->setValue(KLKSerialStartUpOpenKey, true);
        controller = std::make_unique<SerialController>(
            *store, [this]() -> ConsoleLog * { return &console; }, &port, &clock);
    }

    KernelLine port{&clock};
};

// The operator finds that the interface keys on a falling DTR: with the port open at start, the line
// rests in the new key-up state at once, not only from the next transmission on.
TEST_F(LineSettingsChangeTest, ChangeWhileIdleTakesEffectAtOnce)
{
    ASSERT_EQ(port.lines(), 0);
    store->setValue(KLKSerialDTRReverseKey, true);
    EXPECT_EQ(port.lines(), TIOCM_DTR);
    store->setValue(KLKSerialDTRReverseKey, false);
    EXPECT_EQ(port.lines(), 0);
}

// The transmission keys to its end with the settings it began with, then rests in the new key-up state.
TEST_F(LineSettingsChangeTest, ChangeDuringATransmissionTakesEffectWhenItEnds)
{
    clock.at(50, [this] { store->setValue(KLKSerialDTRReverseKey, true); });
    sendAndWait(QStringLiteral("EE"));
    std::vector<int> requests;
    for (const auto &state : port.states())
        if (state.event == 's')
            requests.push_back(state.requested);
    // at open, at the start, two dits, then the new key-up set
    EXPECT_EQ(requests, (std::vector<int>{0, 0, 2, 0, 2, 0, 2}));
    EXPECT_EQ(port.lines(), TIOCM_DTR);
}

INSTANTIATE_TEST_SUITE_P(SixteenWirings, LinesAtRestTest,
                         ::testing::Combine(::testing::ValuesIn(allWirings), ::testing::Bool()), wiringName);

} // namespace
