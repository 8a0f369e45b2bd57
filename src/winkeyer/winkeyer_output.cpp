#include "winkeyer/winkeyer_output.h"

#include "keying/diagnostics.h"
#include "keying/element_timeline.h"
#include "keying/keying_progress.h"
#include "keying/line_output.h"
#include "keying/shared_flags.h"
#include "keying/text_source.h"
#include "keying/wait_clock.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string_view>

using namespace keying;
using winkeyer::keyerHas;
using winkeyer::upperCase;

namespace {

// Looked at this often while the worker waits, so that a stop raised without a call of stop() is seen.
constexpr std::chrono::milliseconds stopPoll{20};

bool stopRequested()
{
    return sendStopFlag != 0;
}

// Keylark keys a character of no sign as a word space.
bool spaceInKeylark(char character)
{
    const char *pattern = codetable[uchar(character)];
    return character == ' ' || (pattern && std::string_view(pattern) == " ");
}

bool isLetter(char character)
{
    return character >= 'A' && character <= 'Z';
}

void reportNoPort()
{
    Diagnostics::out(QStringLiteral("*** Keylark : No port is chosen for the WinKeyer. Please choose one in "
                                    "Preferences, General, and restart this program."));
}

void add(WinKeyerOutput::KeyerText &text, WinkeyerItem item, const QByteArray &echo)
{
    text.echoes.push_back(echo);
    item.tag = int(text.echoes.size());
    text.items.push_back(item);
}

// Adds what went between two '%'.
void addJoined(WinKeyerOutput::KeyerText &text, const QByteArray &letters)
{
    const QByteArray echo = '%' + letters + '%';
    if (letters.size() == 2 && isLetter(letters[0]) && isLetter(letters[1]))
        add(text, WinkeyerItem::merged(letters[0], letters[1]), echo);
    else if (letters.size() == 1 && keyerHas(letters[0]))
        add(text, WinkeyerItem::character(letters[0]), echo);
    else if (!letters.isEmpty())
        text.leftOut += echo;
}

} // namespace

WinKeyerOutput::WinKeyerOutput(SettingsStore &store, WinkeyerTiming timing, ElementTimeline *timeline)
    : store_(store), timing_(timing), timeline_(timeline), service_(*this, timing)
{
}

WinKeyerOutput::~WinKeyerOutput() = default;

WinKeyerOutput::KeyerText WinKeyerOutput::keyerText(const QByteArray &characters)
{
    KeyerText text;
    QByteArray joined;
    bool joining = false;
    for (const char byte : characters) {
        const char character = upperCase(byte);
        if (character == '%') {
            if (joining)
                addJoined(text, joined);
            joined.clear();
            joining = !joining;
        } else if (joining) {
            joined += character;
        } else if (keyerHas(character)) {
            add(text, WinkeyerItem::character(character), QByteArray(1, character));
        } else if (spaceInKeylark(character)) {
            add(text, WinkeyerItem::character(' '), QByteArray(1, character));
        } else {
            text.leftOut += character;
        }
    }
    if (joining && !joined.isEmpty())
        text.leftOut += '%' + joined;
    return text;
}

bool WinKeyerOutput::startUp(bool practising)
{
    port_ = store_.stringValue(KLKWinKeyerPortKey).trimmed();
    if (port_.isEmpty()) {
        reportNoPort();
        return true; // every transmission on the air says why it cannot key
    }
    Diagnostics::out(QStringLiteral("#.. Keylark : Keying the WinKeyer on %1.").arg(port_));
    if (!practising)
        service_.open(port_, settings());
    return true;
}

// A keyer that failed is opened again by the text itself: the service reopens a closed keyer.
bool WinKeyerOutput::begin()
{
    speedStep_ = 0;
    if (port_.isEmpty()) {
        reportNoPort();
        return false;
    }
    return true;
}

void WinKeyerOutput::stop()
{
    service_.clear();
    std::scoped_lock lock(mutex_);
    changed_.notify_all();
}

void WinKeyerOutput::settingChanged(const QString &key, bool)
{
    if (key == KLKWpmKey || key == KLKTimeDahKey)
        service_.configure(settings());
}

void WinKeyerOutput::shutDown()
{
    service_.clear();
    service_.close();
}

// The keyer's ratio is the dah's length against Keylark's three dits, in fiftieths. The knob spans Keylark's
// speeds. The keyer keys at the speed Keylark sets, never at the knob's own (speed 0), so that a knob
// followed sets Keylark's speed and Keylark sets the keyer's, and one ignored changes nothing: the keyer
// sends a knob byte only when the knob moves, never for a speed set, so no loop can arise.
WinkeyerSettings WinKeyerOutput::settings() const
{
    const double dah = KLKRatioRange.clamp(store_.doubleValue(KLKTimeDahKey));
    return {.wpm = int(KLKWpmRange.clamp(store_.intValue(KLKWpmKey))),
            .weighting = 50 + weighting_ / 2,
            .ratio = std::clamp(int(std::lround(dah * 50 / 3)), 33, 66),
            .knobLowest = int(KLKWpmRange.minimum),
            .knobRange = int(KLKWpmRange.maximum - KLKWpmRange.minimum)};
}

// The text between two tune steps goes to the keyer as one text; a speed step becomes a buffered speed
// change at its place. Half spaces are the serial line's alone: the keyer spaces its own letters.
bool WinKeyerOutput::keyPiece(const KeyingPiece &piece, KeyingProgress &progress)
{
    constexpr int stepLimit = int(KLKWpmRange.maximum - KLKWpmRange.minimum);
    const auto started = std::chrono::steady_clock::now();
    if (piece.newSpeed)
        speedStep_ = 0;
    weigh(piece.weighting);
    const int base = int(KLKWpmRange.clamp(piece.speed > 0 ? piece.speed : store_.intValue(KLKWpmKey)));
    const auto speed = [&] { return int(KLKWpmRange.clamp(double(base) + speedStep_)); };
    KeyerText text;
    QByteArray characters;
    const auto collect = [&] {
        KeyerText more = keyerText(characters);
        characters.clear();
        text.leftOut += more.leftOut;
        for (WinkeyerItem &item : more.items)
            add(text, item, more.echoes[item.tag - 1]);
    };
    // Each text to the keyer starts at the stored speed.
    const auto startText = [&] {
        if (speed() != int(KLKWpmRange.clamp(store_.intValue(KLKWpmKey))))
            text.items.push_back(WinkeyerItem::speed(speed()));
    };
    startText();
    bool whole = true;
    for (const KeyingStep &step : piece.steps) {
        if (step.kind == KeyingStep::Kind::Character) {
            characters += char(step.value);
        } else if (step.kind == KeyingStep::Kind::Speed) {
            collect();
            speedStep_ = std::clamp(speedStep_ + step.value, -stepLimit, stepLimit);
            text.items.push_back(WinkeyerItem::speed(speed()));
        } else if (step.kind == KeyingStep::Kind::Tune) {
            collect();
            whole = whole && keyText(std::exchange(text, {}), progress) && tune(step.value);
            startText();
        }
    }
    collect();
    whole = whole && keyText(std::move(text), progress);
    progress.speedKeyed(speed());
    progress.timeKeyed(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
            .count());
    return whole && !stopRequested();
}

// The keyer's weighting is 50 at a dit as long as its gap; each step of it moves 2 % of a dit from the gap
// to the element. The keyer keys one piece at a time, so the piece's weighting holds for it alone.
void WinKeyerOutput::weigh(int weighting)
{
    weighting = std::clamp(weighting, -KeyingPiece::maxWeighting, KeyingPiece::maxWeighting);
    if (weighting_.exchange(weighting) != weighting)
        service_.configure(settings());
}

// Hands the text to the keyer and echoes each sign as the keyer echoes it, until the text ends. A stop
// clears the keyer, which ends the text; should that end not come, the worker waits no longer than the
// keyer's answer.
bool WinKeyerOutput::keyText(KeyerText text, KeyingProgress &progress)
{
    if (!text.leftOut.isEmpty())
        Diagnostics::out(QStringLiteral("#.. Keylark : The WinKeyer has no sign for \"%1\"; left out.")
                             .arg(QString::fromLatin1(text.leftOut)));
    if (text.items.empty())
        return true;
    if (stopRequested())
        return false;
    std::unique_lock lock(mutex_);
    const int before = sent_++;
    lock.unlock();
    service_.send(text.items);
    lock.lock();
    std::optional<std::chrono::steady_clock::time_point> giveUp;
    for (;;) {
        while (!heard_.empty()) {
            const Heard event = heard_.front();
            heard_.pop_front();
            if (event.ended != before)
                continue; // of a text given up before
            if (event.tag == 0) {
                if (event.end == End::Failed || event.end == End::BrokenIn)
                    sendStopFlag = 1; // nothing more of this transmission goes on
                return event.end == End::Keyed;
            }
            lock.unlock();
            for (const char byte : text.echoes[event.tag - 1])
                progress.characterKeyed(uchar(byte));
            lock.lock();
        }
        const auto now = std::chrono::steady_clock::now();
        if (stopRequested() && !giveUp)
            giveUp = now + std::chrono::milliseconds(2 * timing_.answer);
        if (giveUp && now >= giveUp)
            return false;
        changed_.wait_for(lock, stopPoll);
    }
}

// Keys the carrier for the seconds, or until a stop; the keyer itself keys up at its tune limit.
bool WinKeyerOutput::tune(int seconds)
{
    if (stopRequested())
        return false;
    const int ms = std::clamp(seconds, 0, KeyingPiece::maxTuneSeconds) * 1000;
    service_.tune(ms);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock lock(mutex_);
    while (!stopRequested() && std::chrono::steady_clock::now() < until)
        changed_.wait_for(lock, stopPoll);
    lock.unlock();
    service_.tune(0);
    return !stopRequested();
}

void WinKeyerOutput::keyerOpened(int firmware)
{
    Diagnostics::out(QStringLiteral("#.. Keylark : WinKeyer version %1.%2 on %3.")
                         .arg(firmware / 10)
                         .arg(firmware % 10)
                         .arg(port_));
}

void WinKeyerOutput::keyerFailed(const QString &reason)
{
    showKey(false); // a keyer gone tells no key-up
    Diagnostics::out(QStringLiteral("*** Keylark : The WinKeyer failed: %1. Check that it is plugged in and "
                                    "that Preferences, General names its port; the next send tries it again.")
                         .arg(reason));
}

// A speed change carries no tag: it echoes nothing.
void WinKeyerOutput::signKeyed(const WinkeyerItem &item)
{
    if (item.tag == 0)
        return;
    std::scoped_lock lock(mutex_);
    hear({ended_, item.tag, End::Keyed});
}

void WinKeyerOutput::textEnded(End end)
{
    {
        std::scoped_lock lock(mutex_);
        hear({ended_++, 0, end});
    }
    if (end != End::BrokenIn)
        return;
    Diagnostics::out(QStringLiteral("#.. Keylark : The WinKeyer's paddles broke in: the text stopped."));
    if (OutputListener *listener = operator_)
        listener->brokenIn();
}

void WinKeyerOutput::paddleKeyed(char character)
{
    if (OutputListener *listener = operator_)
        listener->paddleKeyed(character);
}

void WinKeyerOutput::statusChanged(WinkeyerStatus status)
{
    showKey(status.keyDown);
    if (status.busy || status.breakIn)
        return;
    if (OutputListener *listener = operator_)
        listener->paddlesIdle();
}

// The setting is written on the store's own thread, and comes back to the keyer as the speed Keylark sets.
void WinKeyerOutput::knobMoved(int wpm)
{
    if (!store_.boolValue(KLKWinKeyerFollowsKnobKey))
        return;
    const qint64 speed = qint64(KLKWpmRange.clamp(wpm));
    QMetaObject::invokeMethod(
        &store_, [store = &store_, speed] { store->setValue(KLKWpmKey, speed); }, Qt::QueuedConnection);
}

// In practice the practice line feeds the timeline, from the worker: the keyer's edges stay out of it then.
void WinKeyerOutput::showKey(bool down)
{
    if (!timeline_ || down == keyDown_ || (down && store_.boolValue(KLKPracticeModeKey)))
        return;
    keyDown_ = down;
    timeline_->publish(
        {.edge = down ? KeyEvent::Edge::Down : KeyEvent::Edge::Up, .instant = WaitClock::system().now()});
}

void WinKeyerOutput::hear(const Heard &event)
{
    heard_.push_back(event);
    changed_.notify_all();
}
