#include "winkeyer/winkeyer_session.h"

#include <algorithm>
#include <utility>

using namespace winkeyer;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int value : values)
        result.append(char(value));
    return result;
}

WinkeyerSettings clamped(WinkeyerSettings settings)
{
    settings.wpm = std::clamp(settings.wpm, 5, 99);
    settings.weighting = std::clamp(settings.weighting, 10, 90);
    settings.ratio = std::clamp(settings.ratio, 33, 66);
    settings.knobLowest = std::clamp(settings.knobLowest, 5, 99);
    settings.knobRange = std::clamp(settings.knobRange, 1, 63);
    return settings;
}

} // namespace

WinkeyerSession::WinkeyerSession(WinkeyerListener &listener, WinkeyerTiming timing)
    : listener_(listener), timing_(timing), port_(this), watch_(this), tuneTimer_(this), pace_(this)
{
    connect(&port_, &WinkeyerPort::received, this, &WinkeyerSession::receive);
    connect(&port_, &WinkeyerPort::written, this, &WinkeyerSession::feed);
    connect(&port_, &WinkeyerPort::failed, this, &WinkeyerSession::fail);
    for (QTimer *timer : {&watch_, &tuneTimer_, &pace_})
        timer->setSingleShot(true);
    connect(&watch_, &QTimer::timeout, this, &WinkeyerSession::watchExpired);
    connect(&tuneTimer_, &QTimer::timeout, this, &WinkeyerSession::keyUp);
    connect(&pace_, &QTimer::timeout, this, &WinkeyerSession::feed);
}

WinkeyerSession::~WinkeyerSession()
{
    release();
}

void WinkeyerSession::open(const QString &path, const WinkeyerSettings &settings)
{
    close();
    path_ = path;
    settings_ = clamped(settings);
    start();
}

void WinkeyerSession::configure(const WinkeyerSettings &settings)
{
    const WinkeyerSettings previous = settings_;
    settings_ = clamped(settings);
    if (state_ == State::Ready)
        writeSettings(&previous);
}

void WinkeyerSession::send(const std::vector<WinkeyerItem> &items)
{
    if (clearing_)
        endClear();
    queue_.append(items);
    if (!textActive_ && queue_.empty()) {
        listener_.textEnded(WinkeyerListener::End::Keyed); // nothing the keyer could send
        return;
    }
    if (!textActive_) {
        textActive_ = true;
        beginText();
    }
    if (state_ == State::Closed) {
        start();
        return;
    }
    feed();
    endIfKeyed(); // a text of speed changes alone has nothing to wait for
}

// The echoes of signs sent before the clear reached the keyer may still be on their way: they come before
// the keyer tells that it is idle, and the text ends then. A status byte that still says busy was sent
// before the keyer had the clear.
void WinkeyerSession::clear()
{
    queue_.dropWaiting();
    pendingTune_ = 0;
    if (state_ == State::Ready) {
        if (tuneTimer_.isActive())
            keyUp();
        write(bytes({clearBuffer, requestStatus}));
    }
    if (!textActive_)
        return;
    clearing_ = true;
    if (state_ == State::Ready && queue_.awaitingEcho())
        watch_.start(timing_.answer);
    else
        endClear();
}

void WinkeyerSession::endClear()
{
    queue_.clear();
    end(WinkeyerListener::End::Cleared);
}

void WinkeyerSession::tune(int ms)
{
    ms = std::clamp(ms, 0, timing_.tuneLimit);
    if (ms == 0) {
        pendingTune_ = 0;
        if (tuneTimer_.isActive())
            keyUp();
        return;
    }
    if (state_ != State::Ready) {
        pendingTune_ = ms;
        if (state_ == State::Closed)
            start();
        return;
    }
    write(bytes({keyImmediate, 1}));
    tuneTimer_.start(ms);
}

void WinkeyerSession::close()
{
    if (state_ == State::Ready) {
        if (tuneTimer_.isActive())
            keyUp();
        write(bytes({clearBuffer, admin, adminHostClose}));
        port_.drain(timing_.answer);
    }
    queue_.clear();
    if (textActive_)
        end(WinkeyerListener::End::Cleared);
    release();
}

void WinkeyerSession::start()
{
    const QString failure = port_.open(path_);
    if (!failure.isEmpty()) {
        fail(failure);
        return;
    }
    state_ = State::Resetting;
    watch_.start(timing_.resetWait);
}

// Null commands first: they end any command a keyer still in host mode was half way through.
void WinkeyerSession::detect()
{
    port_.dropInput();
    state_ = State::Detecting;
    write(bytes({nullCommand, nullCommand, nullCommand, admin, adminEcho, probe}));
    watch_.start(timing_.answer);
}

void WinkeyerSession::receive(const QByteArray &bytes)
{
    for (qsizetype i = 0; i < bytes.size() && state_ != State::Closed; ++i)
        handle(std::uint8_t(bytes[i]));
}

void WinkeyerSession::handle(std::uint8_t byte)
{
    if (state_ == State::Detecting || state_ == State::HostOpening) {
        answer(byte);
        return;
    }
    if (state_ != State::Ready)
        return;
    probing_ = false;
    if (textActive_)
        watch_.start(timing_.quiet);
    if (WinkeyerStatus::isStatus(byte))
        statusArrived(WinkeyerStatus::of(byte));
    else if (WinkeyerStatus::isKnob(byte))
        listener_.knobMoved(settings_.knobLowest + (byte & 0x3F));
    else if (byte < 0x80)
        echoArrived(char(byte));
}

// Status and knob bytes are passed over: a keyer left in host mode may still send them.
void WinkeyerSession::answer(std::uint8_t byte)
{
    if (byte >= 0x80)
        return;
    if (state_ == State::HostOpening) {
        if (byte >= 10 && byte <= 99)
            hostOpened(byte);
        else
            fail(QStringLiteral("The device on %1 answered host open with %2: not a WinKeyer")
                     .arg(path_)
                     .arg(byte));
        return;
    }
    if (byte != probe) {
        fail(QStringLiteral("The device on %1 answered the echo test with 0x%2: not a WinKeyer")
                 .arg(path_, QString::number(byte, 16)));
        return;
    }
    state_ = State::HostOpening;
    write(bytes({admin, adminHostOpen}));
    watch_.start(timing_.answer);
}

void WinkeyerSession::hostOpened(int firmware)
{
    state_ = State::Ready;
    watch_.stop();
    status_ = {};
    writeSettings(nullptr);
    write(bytes({requestStatus}));
    listener_.keyerOpened(firmware);
    if (pendingTune_ > 0)
        tune(std::exchange(pendingTune_, 0));
    if (textActive_) {
        beginText();
        feed();
    }
}

void WinkeyerSession::statusArrived(WinkeyerStatus status)
{
    const WinkeyerStatus previous = std::exchange(status_, status);
    if (status != previous)
        listener_.statusChanged(status);
    if (clearing_) {
        if (!status.busy)
            endClear();
        return;
    }
    if (!textActive_)
        return;
    if (status.breakIn && !previous.breakIn) {
        queue_.clear();
        end(WinkeyerListener::End::BrokenIn);
        return;
    }
    if (!status.busy)
        settle();
    feed();
    endIfKeyed();
}

// The keyer tells the paddles' characters from the host's by its break-in bit alone.
void WinkeyerSession::echoArrived(char character)
{
    if (status_.breakIn) {
        listener_.paddleKeyed(character);
        return;
    }
    std::vector<WinkeyerItem> keyed;
    if (!textActive_ || !queue_.echo(character, keyed))
        return; // the echo of a sign sent just before a clear
    report(keyed);
    feed();
    endIfKeyed();
}

void WinkeyerSession::watchExpired()
{
    switch (state_) {
    case State::Resetting:
        detect();
        break;
    case State::Detecting:
    case State::HostOpening:
        fail(QStringLiteral("No answer from a WinKeyer on %1").arg(path_));
        break;
    case State::Ready:
        quietExpired();
        break;
    case State::Closed:
        break;
    }
}

// A keyer that answers nothing asked of it has gone; one that stays idle with its text unechoed round
// after round would leave the transmission waiting for ever.
void WinkeyerSession::quietExpired()
{
    if (clearing_)
        endClear();
    if (!textActive_)
        return;
    if (probing_) {
        fail(QStringLiteral("The WinKeyer on %1 stopped answering").arg(path_));
        return;
    }
    const bool idle = !status_.busy && !status_.xoff && !wroteSinceQuiet_;
    std::vector<WinkeyerItem> keyed;
    idleRounds_ = idle && !queue_.settle(keyed) ? idleRounds_ + 1 : 0;
    report(keyed);
    endIfKeyed();
    if (!textActive_)
        return;
    if (idleRounds_ >= 2) {
        fail(QStringLiteral("The WinKeyer on %1 went idle without echoing its text").arg(path_));
        return;
    }
    wroteSinceQuiet_ = false;
    probing_ = true;
    write(bytes({requestStatus}));
    watch_.start(timing_.answer);
}

// Each text starts at the set speed, whatever speed changes an earlier one left in the keyer.
void WinkeyerSession::beginText()
{
    if (state_ != State::Ready)
        return;
    write(bytes({setSpeed, settings_.wpm}));
    watch_.start(timing_.quiet);
}

void WinkeyerSession::keyUp()
{
    tuneTimer_.stop();
    write(bytes({keyImmediate, 0}));
}

void WinkeyerSession::writeSettings(const WinkeyerSettings *previous)
{
    QByteArray out;
    if (!previous)
        out += bytes({setMode, modePaddleEcho | modeSerialEcho});
    if (!previous || previous->wpm != settings_.wpm)
        out += bytes({setSpeed, settings_.wpm});
    if (!previous || previous->weighting != settings_.weighting)
        out += bytes({setWeighting, settings_.weighting});
    if (!previous || previous->ratio != settings_.ratio)
        out += bytes({setRatio, settings_.ratio});
    if (!previous || previous->knobLowest != settings_.knobLowest ||
        previous->knobRange != settings_.knobRange)
        out += bytes({setKnob, settings_.knobLowest, settings_.knobRange, 0});
    write(out);
}

void WinkeyerSession::write(const QByteArray &bytes)
{
    port_.write(bytes);
}

// Text goes out one sign at a time while the port's own queue is nearly empty, so that a clear reaches the
// keyer behind a few bytes at most, and a sign's bytes are never split by a clear.
void WinkeyerSession::feed()
{
    while (state_ == State::Ready) {
        if (port_.backlog() > paceBacklog) {
            pace_.start(timing_.pace);
            return;
        }
        const std::optional<WinkeyerItem> item = queue_.take(status_.xoff || status_.breakIn);
        if (!item)
            return;
        wroteSinceQuiet_ = true;
        write(item->bytes());
    }
}

void WinkeyerSession::settle()
{
    std::vector<WinkeyerItem> keyed;
    queue_.settle(keyed);
    report(keyed);
}

void WinkeyerSession::report(const std::vector<WinkeyerItem> &keyed)
{
    for (const WinkeyerItem &item : keyed)
        listener_.signKeyed(item);
}

void WinkeyerSession::endIfKeyed()
{
    if (textActive_ && !clearing_ && !queue_.awaitingEcho() && !status_.busy) {
        queue_.clear();
        end(WinkeyerListener::End::Keyed);
    }
}

void WinkeyerSession::end(WinkeyerListener::End end)
{
    textActive_ = false;
    clearing_ = false;
    probing_ = false;
    idleRounds_ = 0;
    if (state_ == State::Ready)
        watch_.stop();
    listener_.textEnded(end);
}

void WinkeyerSession::fail(const QString &reason)
{
    release();
    queue_.clear();
    pendingTune_ = 0;
    listener_.keyerFailed(reason);
    if (textActive_)
        end(WinkeyerListener::End::Failed);
}

void WinkeyerSession::release()
{
    port_.close();
    for (QTimer *timer : {&watch_, &tuneTimer_, &pace_})
        timer->stop();
    state_ = State::Closed;
    status_ = {};
}
