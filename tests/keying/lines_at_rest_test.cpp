#include "keying_fixture.h"

#include <algorithm>
#include <sys/ioctl.h>

namespace {

using namespace keying;

constexpr int bothLines = TIOCM_DTR | TIOCM_RTS;

// A serial port as the Linux serial core drives it: the first open raises DTR and RTS unless the stored
// speed is B0; the last close, and the end of the process holding the port, drop both while HUPCL is set;
// a change of speed to B0 drops both, one away from B0 raises them (RTS only without flow control). Its
// termios and its lines outlive the process, as the kernel keeps them for a port that stays plugged in.
class KernelLine : public RecordingLine
{
public:
    struct State
    {
        char event;    // 'o'pen, 't'ermios, 's'et lines, 'c'lose, e'x'it
        int requested; // the bits of a set
        int lines;     // DTR and RTS after the event
    };

    explicit KernelLine(VirtualClock *clock) : RecordingLine(clock) {}

    int open(const char *path, int flags) override
    {
        const int fd = RecordingLine::open(path, flags);
        if (fd >= 0 && openFiles_++ == 0 && cfgetospeed(&attributes) != B0)
            lines_ |= bothLines;
        log('o');
        return fd;
    }
    int duplicate(int fd, int lowest) override
    {
        const int copy = RecordingLine::duplicate(fd, lowest);
        openFiles_ += copy >= 0;
        return copy;
    }
    int setAttributes(int fd, const termios *wanted) override
    {
        const bool wasB0 = cfgetospeed(&attributes) == B0;
        RecordingLine::setAttributes(fd, wanted);
        const bool isB0 = cfgetospeed(&attributes) == B0;
        if (!wasB0 && isB0)
            lines_ = 0;
        else if (wasB0 && !isB0)
            lines_ |= TIOCM_DTR | (attributes.c_cflag & CRTSCTS ? 0 : TIOCM_RTS);
        log('t');
        return 0;
    }
    int setModemLines(int fd, int bits) override
    {
        const int result = RecordingLine::setModemLines(fd, bits);
        if (result == 0)
            lines_ = bits & bothLines;
        log('s', bits);
        return result;
    }
    int close(int fd) override
    {
        RecordingLine::close(fd);
        if (--openFiles_ == 0)
            hangUp('c');
        return 0;
    }
    // The process ends: the kernel closes what it still holds.
    void exitProcess()
    {
        if (openFiles_ == 0)
            return;
        openFiles_ = 0;
        hangUp('x');
    }

    std::vector<State> states() const
    {
        std::scoped_lock lock(mutex_);
        return states_;
    }
    int lines() const { return lines_; }

private:
    void hangUp(char event)
    {
        if (attributes.c_cflag & HUPCL)
            lines_ = 0;
        log(event);
    }
    void log(char event, int requested = 0)
    {
        std::scoped_lock lock(mutex_);
        states_.push_back({event, requested, lines_});
    }

    std::atomic<int> lines_{0};
    int openFiles_ = 0;
    mutable std::mutex mutex_;
    std::vector<State> states_;
};

// The transmitter is keyed when an active-high line is raised or an active-low line dropped.
bool keyed(int lines, int on, int off)
{
    return (lines & on) != 0 || (~lines & off) != 0;
}

struct Wiring
{
    bool dtr, dtrReverse, rts, rtsReverse;
};

using RestParam = std::tuple<Wiring, bool>; // the four line settings, open-at-start

std::string wiringName(const ::testing::TestParamInfo<RestParam> &info)
{
    const auto &[w, openAtStart] = info.param;
    std::string name;
    for (bool bit : {w.dtr, w.dtrReverse, w.rts, w.rtsReverse})
        name += bit ? '1' : '0';
    return name + (openAtStart ? "OpenAtStart" : "PerTransmission");
}

class LinesAtRestTest : public KeyingTest, public ::testing::WithParamInterface<RestParam>
{
protected:
    void SetUp() override
    {
        KeyingTest::SetUp();
        const auto &[w, openAtStart] = GetParam();
        const std::pair<QString, bool> settings[] = {{KLKSerialDTRKey, w.dtr},
                                                     {KLKSerialDTRReverseKey, w.dtrReverse},
                                                     {KLKSerialRTSKey, w.rts},
                                                     {KLKSerialRTSReverseKey, w.rtsReverse}};
        for (const auto &[key, set] : settings)
            store->setValue(key, set);
        store->setValue(KLKSerialStartUpOpenKey, openAtStart);
        store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
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

// clang-format off
const Wiring allWirings[] = {
    {false, false, false, false}, {false, false, false, true}, {false, false, true, false},
    {false, false, true, true},   {false, true, false, false}, {false, true, false, true},
    {false, true, true, false},   {false, true, true, true},   {true, false, false, false},
    {true, false, false, true},   {true, false, true, false},  {true, false, true, true},
    {true, true, false, false},   {true, true, false, true},   {true, true, true, false},
    {true, true, true, true}};
// clang-format on

INSTANTIATE_TEST_SUITE_P(SixteenWirings, LinesAtRestTest,
                         ::testing::Combine(::testing::ValuesIn(allWirings), ::testing::Bool()), wiringName);

} // namespace
