#include "radio/radio_output.h"

#include "keying/diagnostics.h"
#include "keying/element_timeline.h"
#include "keying/keying_progress.h"
#include "keying/line_output.h"
#include "keying/shared_flags.h"
#include "keying/text_source.h"
#include "keying/wait_clock.h"
#include "radio/radio_alphabet.h"
#include "radio/rig_models.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <chrono>
#include <string_view>
#include <utility>

using namespace keying;

namespace {

constexpr auto openWait = RadioKeyer::openDeadline + std::chrono::seconds(5);

unsigned char upperCase(unsigned char byte)
{
    return byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte;
}

// The radio's character with Keylark's pattern, or 0 when its keyer has none.
char radioSign(const QByteArray &pattern)
{
    for (int code = 33; code < 127; ++code) {
        if (RadioAlphabet::takes(char(code)) && pattern == codetable[code])
            return char(code);
    }
    return 0;
}

bool stopRequested()
{
    return sendStopFlag != 0;
}

} // namespace

// The keyer's signals come on its own thread; it ends first, while this output is still whole.
RadioOutput::RadioOutput(SettingsStore &store, WaitClock &clock, ElementTimeline &timeline)
    : store_(store), clock_(clock), timeline_(timeline)
{
    const auto direct = Qt::DirectConnection;
    QObject::connect(
        &keyer_, &RadioKeyer::stateChanged, &keyer_, [this](auto state) { stateChanged(state); }, direct);
    QObject::connect(
        &keyer_, &RadioKeyer::characterKeyed, &keyer_,
        [this](quint64 text, int index) {
            heard({text, index, false});
        },
        direct);
    QObject::connect(
        &keyer_, &RadioKeyer::textEnded, &keyer_,
        [this](quint64 text, bool whole) {
            heard({text, -1, whole});
        },
        direct);
    QObject::connect(
        &keyer_, &RadioKeyer::cannotStopMidText, &keyer_, [this] { noteCannotStop(); }, direct);
}

RadioOutput::~RadioOutput() = default;

void RadioOutput::noteCannotStop()
{
    if (std::exchange(stopNoticeGiven_, true))
        return;
    Diagnostics::out(
        QStringLiteral("#.. Keylark : The %1's keyer cannot stop mid-word through Hamlib: it keys "
                       "the word it holds to its end.")
            .arg(radioName_));
}

KeyingOutput::Abilities RadioOutput::abilities() const
{
    const bool known = keyer_.state() == RadioKeyer::State::Ready;
    return {.stopsMidPiece = known ? keyer_.stopsMidText() : modelStops_};
}

// The status bar names what keys; in practice the radio stays closed until the first transmission on the
// air opens it.
bool RadioOutput::startUp(bool practising)
{
    readConnection();
    if (!connection_) {
        Diagnostics::out(description_);
        return true; // every transmission on the air says why it cannot key
    }
    Diagnostics::out(QStringLiteral("#.. Keylark : ") + description_ + u'.');
    keyer_.setSpeed(speed());
    if (!practising)
        keyer_.open(*connection_);
    return true;
}

// Through rigctld the model is that of the radio behind it, if the operator named it.
void RadioOutput::readConnection()
{
    connection_.reset();
    const int model = store_.intValue(KLKRadioModelKey);
    const std::optional<RigModel> found = RigModels::find(model);
    radioName_ = found ? found->name : QStringLiteral("radio");
    modelStops_ = found && found->stopsMidText;
    if (store_.boolValue(KLKRadioThroughRigctldKey)) {
        const QString host = store_.stringValue(KLKRigctldHostKey).trimmed();
        const int port = int(KLKRigctldPortRange.clamp(store_.intValue(KLKRigctldPortKey)));
        connection_ = RadioConnection::throughRigctld(host.isEmpty() ? QStringLiteral("127.0.0.1") : host,
                                                      quint16(port), found ? model : 0);
        modelStops_ = false; // known once a stop has been tried
        description_ = QStringLiteral("Keying the %1's keyer through rigctld at %2")
                           .arg(radioName_, connection_->pathname());
        return;
    }
    const QString port = store_.stringValue(KLKRadioPortKey);
    if (!found) {
        description_ =
            model == 0
                ? QStringLiteral("*** Keylark : No radio model is chosen for the radio's keyer. "
                                 "Please choose one in Preferences, General, and restart this program.")
                : QStringLiteral("*** Keylark : Hamlib has no radio model %1 that keys CW text. "
                                 "Please choose another in Preferences, General, and restart "
                                 "this program.")
                      .arg(model);
        return;
    }
    if (port.isEmpty()) {
        description_ =
            QStringLiteral("*** Keylark : No port is chosen for the %1. Please choose one in Preferences, "
                           "General, and restart this program.")
                .arg(radioName_);
        return;
    }
    const int speed = int(KLKRadioSerialSpeedRange.clamp(store_.intValue(KLKRadioSerialSpeedKey)));
    connection_ = RadioConnection::onSerialPort(model, port, speed);
    description_ = QStringLiteral("Keying the %1's keyer on %2").arg(radioName_, port);
}

bool RadioOutput::begin()
{
    speedStep_ = 0;
    pieceSpeed_ = 0;
    if (!connection_) {
        Diagnostics::out(description_);
        return false;
    }
    transmitting_ = keyer_.state() == RadioKeyer::State::Ready || openRadio();
    return transmitting_;
}

// Waits for the radio opened at start, or opens it again after a failure or for the first transmission
// after practice; the keyer's own deadlines bound the wait.
bool RadioOutput::openRadio()
{
    std::unique_lock lock(mutex_);
    if (keyer_.state() == RadioKeyer::State::Opening) {
        changed_.wait_for(lock, openWait, [this] { return keyer_.state() != RadioKeyer::State::Opening; });
        return keyer_.state() == RadioKeyer::State::Ready;
    }
    outcome_.reset();
    keyer_.open(*connection_);
    changed_.wait_for(lock, openWait, [this] { return outcome_.has_value(); });
    return outcome_ == RadioKeyer::State::Ready;
}

void RadioOutput::stateChanged(RadioKeyer::State state)
{
    if (state == RadioKeyer::State::Failed) {
        Diagnostics::out(QStringLiteral("*** Keylark : The %1's keyer failed: %2. %3")
                             .arg(radioName_, keyer_.failure(), keyer_.hint()));
        if (transmitting_)
            sendStopFlag = 1; // nothing more of this transmission goes on
    }
    if (state != RadioKeyer::State::Ready && state != RadioKeyer::State::Failed)
        return;
    std::scoped_lock lock(mutex_);
    outcome_ = state;
    changed_.notify_all();
}

void RadioOutput::heard(const Heard &event)
{
    std::scoped_lock lock(mutex_);
    heard_.push_back(event);
    changed_.notify_all();
}

void RadioOutput::stop()
{
    keyer_.stop();
    std::scoped_lock lock(mutex_);
    changed_.notify_all();
}

void RadioOutput::settingChanged(const QString &key, bool)
{
    if (key == KLKWpmKey)
        keyer_.setSpeed(speed());
}

void RadioOutput::shutDown()
{
    keyer_.stop();
    keyer_.close();
}

int RadioOutput::speed() const
{
    const int own = pieceSpeed_;
    const int stored = int(KLKWpmRange.clamp(own > 0 ? own : store_.intValue(KLKWpmKey)));
    return int(KLKWpmRange.clamp(double(stored) + speedStep_));
}

RadioOutput::RadioText RadioOutput::radioText(const QByteArray &characters)
{
    RadioText radio;
    QByteArray joined;  // the characters of a sign being joined, '%' and all
    QByteArray pattern; // and their elements
    bool joining = false;
    for (const char byte : characters) {
        const unsigned char code = upperCase(uchar(byte));
        if (code == '%') {
            joined += '%';
            if (joining) {
                if (const char sign = radioSign(pattern)) {
                    radio.text += sign;
                    radio.echoes.push_back(joined);
                } else if (!pattern.isEmpty()) {
                    radio.leftOut += joined;
                }
                joined.clear();
                pattern.clear();
            }
            joining = !joining;
        } else if (joining) {
            joined += char(code);
            pattern += codetable[code] == std::string_view(" ") ? "" : codetable[code];
        } else if (RadioAlphabet::takes(char(code)) || code == ' ' ||
                   codetable[code] == std::string_view(" ")) {
            radio.text += RadioAlphabet::takes(char(code)) ? char(code) : ' ';
            radio.echoes.push_back(QByteArray(1, char(code)));
        } else {
            radio.leftOut += char(code);
        }
    }
    if (joining && joined.size() > 1)
        radio.leftOut += joined;
    return radio;
}

// A piece's speed steps move the speed from where they stand: the text between two of them goes to the
// radio as one text, at its own speed. Tune steps and weighting are the serial line's alone.
bool RadioOutput::keyPiece(const KeyingPiece &piece, KeyingProgress &progress)
{
    constexpr int stepLimit = int(KLKWpmRange.maximum - KLKWpmRange.minimum);
    const auto started = std::chrono::steady_clock::now();
    pieceSpeed_ = piece.speed;
    if (piece.newSpeed)
        speedStep_ = 0;
    QByteArray characters;
    QByteArray leftOut;
    bool whole = true;
    const auto keyCharacters = [&] {
        const RadioText text = radioText(characters);
        leftOut += text.leftOut;
        characters.clear();
        if (!text.text.isEmpty())
            whole = whole && keyText(text, progress);
    };
    for (const KeyingStep &step : piece.steps) {
        if (step.kind == KeyingStep::Kind::Character) {
            characters += char(step.value);
        } else if (step.kind == KeyingStep::Kind::Speed) {
            keyCharacters();
            speedStep_ = std::clamp(speedStep_ + step.value, -stepLimit, stepLimit);
        }
    }
    keyCharacters();
    if (!leftOut.isEmpty())
        Diagnostics::out(QStringLiteral("#.. Keylark : The radio's keyer has no sign for \"%1\"; left out.")
                             .arg(QString::fromLatin1(leftOut)));
    progress.speedKeyed(speed());
    progress.timeKeyed(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
            .count());
    return whole && !stopRequested();
}

bool RadioOutput::keyText(const RadioText &text, KeyingProgress &progress)
{
    if (stopRequested())
        return false;
    {
        std::scoped_lock lock(mutex_);
        heard_.clear();
    }
    keyer_.setSpeed(speed());
    const quint64 id = keyer_.send(text.text);
    if (stopRequested())
        keyer_.stop(); // the stop came while the text was handed over
    lampCharacter(text.text.front(), clock_.now());
    return keyEchoes(id, text, progress);
}

// Echoes each character as the keyer estimates it went out, and keys the lamp's edges of the next one in
// between, until the text ends.
bool RadioOutput::keyEchoes(quint64 id, const RadioText &text, KeyingProgress &progress)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!heard_.empty()) {
            const Heard event = heard_.front();
            heard_.pop_front();
            if (event.text != id)
                continue;
            lock.unlock();
            publishDueEdges(clock_.now(), true);
            if (event.index < 0) {
                lock.lock();
                return event.whole;
            }
            for (const char byte : text.echoes[event.index])
                progress.characterKeyed(uchar(byte));
            if (event.index + 1 < text.text.size())
                lampCharacter(text.text[event.index + 1], clock_.now());
            lock.lock();
        }
        const std::int64_t next = edges_.empty() ? -1 : edges_.front().first;
        if (next < 0) {
            changed_.wait(lock);
            continue;
        }
        const auto wait = std::chrono::nanoseconds(std::max<std::int64_t>(0, next - clock_.now()));
        if (changed_.wait_for(lock, wait) == std::cv_status::timeout) {
            lock.unlock();
            publishDueEdges(clock_.now(), false);
            lock.lock();
        }
    }
}

// The character's elements, from the given instant at the speed of now, for the key lamp and the sidetone.
void RadioOutput::lampCharacter(char character, std::int64_t from)
{
    const char *pattern = codetable[uchar(character)];
    const std::int64_t dit = std::int64_t(1.2e9 / speed());
    std::scoped_lock lock(mutex_);
    edges_.clear();
    std::int64_t at = from;
    for (const char *element = pattern; *element == '.' || *element == '-'; ++element) {
        const std::int64_t length = *element == '-' ? 3 * dit : dit;
        edges_.emplace_back(at, length);
        edges_.emplace_back(at + length, 0);
        at += length + dit;
    }
}

// The edges due by now. all: the character ended, and its edges not yet keyed go now, late rather than
// never, so that the lamp and the sidetone show every element.
void RadioOutput::publishDueEdges(std::int64_t now, bool all)
{
    std::vector<std::pair<std::int64_t, std::int64_t>> due;
    {
        std::scoped_lock lock(mutex_);
        while (!edges_.empty() && (all || edges_.front().first <= now)) {
            due.push_back(edges_.front());
            edges_.pop_front();
        }
    }
    for (const auto &[instant, length] : due) {
        timeline_.publish(
            {length > 0 ? KeyEvent::Edge::Down : KeyEvent::Edge::Up, std::min(instant, now), length});
    }
}
