#include "keying/transmission.h"

#include "keying/diagnostics.h"
#include "keying/practice_line.h"
#include "keying/shared_flags.h"
#include "keying/wait_clock.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <cstring>

namespace keying {

int initialized = -1;

} // namespace keying

using namespace keying;

Transmission::Transmission(SettingsStore &store, ConsoleLookup console, WaitClock *clock)
    : store_(store), clock_(clock ? *clock : WaitClock::system()),
      echo_(std::move(console), [this] { stopByPaddles(); }),
      practice_(store_, std::make_unique<PracticeLine>(), clock_, timeline_), workers_(clock == nullptr)
{
}

Transmission::~Transmission()
{
    QObject::disconnect(settingsWatch_);
    shutdown();
}

void Transmission::attach(std::unique_ptr<KeyingOutput> output)
{
    output_ = std::move(output);
    output_->setOutputListener(&echo_.paddles());
    startUp();
    settingsWatch_ = QObject::connect(&store_, &SettingsStore::changed, &store_,
                                      [this](const QString &key) { settingChanged(key); });
}

void Transmission::startUp()
{
    if (!output_->startUp(practising()))
        return;
    sendStopFlag = 0;
    beaconFlag = 0;
    initialized = 1;
}

int Transmission::cwSendString(const QString &text)
{
    if (initialized == -1 && !practising()) {
        Diagnostics::out(
            QStringLiteral("*** Keylark : Serial initialize error. Please restart this program."),
            Diagnostic::Failure::SerialInitialize);
        return -1;
    }
    if (closing_)
        return -1;
    sendStopFlag = 0;
    ++unclaimed_;
    workers_.start([this, text] { sendCWThread(text); });
    return 0;
}

void Transmission::shutdown()
{
    closing_ = true;
    raiseStop();
    joinWorkers();
    if (output_)
        output_->shutDown();
    echo_.paddles().finish();
}

int Transmission::cwIsSending() const
{
    return G_thread;
}

void Transmission::cwSendStop()
{
    requestStop();
}

void Transmission::raiseStop()
{
    sendStopFlag = 1;
    if (KeyingOutput *output = keyingOutput_)
        output->stop();
    keyboard_.wake();
}

// Stop, Esc and a send of the operator's also drop the queued pieces that wait.
void Transmission::requestStop()
{
    raiseStop();
    dropSourcePieces();
}

// The keyer dropped Keylark's text itself: a clear now could cut the operator's own sending short.
void Transmission::stopByPaddles()
{
    sendStopFlag = 1;
    keyboard_.wake();
    dropSourcePieces();
}

void Transmission::dropSourcePieces()
{
    keyboard_.dropPieces();
    std::scoped_lock lock(sourceMutex_);
    if (source_)
        source_->dropPieces();
}

void Transmission::setTextSource(TextSource *source)
{
    std::scoped_lock lock(sourceMutex_);
    source_ = source;
}

// A worker that has been started but has not yet claimed the output counts as a transmission, so that a
// queued text never takes the output from under a send of the operator's.
int Transmission::cwSendQueued()
{
    if ((initialized == -1 && !practising()) || closing_)
        return -1;
    if (G_thread != 0 || unclaimed_ != 0)
        return 1;
    sendStopFlag = 0;
    ++unclaimed_;
    workers_.start([this] { sendQueuedThread(); });
    return 0;
}

void Transmission::cwStopQueued()
{
    if (keyingQueued_)
        raiseStop();
}

void Transmission::cwHoldPtt(bool on)
{
    pttHoldFlag = on ? 1 : 0;
}

void Transmission::cwSendClear()
{
    G_transmitCount = 0;
}

void Transmission::cwBeaconTransmission()
{
    beaconFlag = 1;
}

bool Transmission::cwBeaconArmed() const
{
    return beaconFlag != 0;
}

int Transmission::cwBeaconPauseLeft() const
{
    return beaconPauseLeft_;
}

void Transmission::cwBeaconDisarm()
{
    beaconFlag = 0;
}

void Transmission::setTransmissionListener(TransmissionListener *listener)
{
    echo_.setListener(listener);
}

void Transmission::sendCWThread(const QString &text)
{
    int idle = 0;
    const bool claimed = G_thread.compare_exchange_strong(idle, 1);
    --unclaimed_;
    if (!claimed) {
        requestStop();
        sendCWCancel();
        return;
    }
    {
        std::scoped_lock lock(sessionMutex_);
        transmitText(text);
    }
    beaconFlag = 0;
    G_thread = 0;
    releaseOutput();
}

// A queued transmission keys the pieces of the source from the first it finds until none waits; it never
// stops another transmission and never repeats as a beacon.
void Transmission::sendQueuedThread()
{
    int idle = 0;
    const bool claimed = G_thread.compare_exchange_strong(idle, 1);
    --unclaimed_;
    if (!claimed)
        return; // the running transmission goes on; the source asks again once it has ended
    if (std::optional<KeyingPiece> typed = takeTyped()) {
        keyTypedBurst(std::move(*typed));
        G_thread = 0;
        releaseOutput();
        return;
    }
    keyingQueued_ = true;
    if (std::optional<KeyingPiece> piece = takePiece()) {
        std::scoped_lock lock(sessionMutex_);
        if (openForTransmission()) {
            if (keyedHere(*piece))
                keyQueuedPieces(std::move(*piece));
            else
                dropSourcePieces();
            restAfterTransmission();
        } else {
            dropSourcePieces(); // one open error for them all, not one for each
        }
    }
    keyingQueued_ = false;
    G_thread = 0;
    releaseOutput();
}

// The output's PTT tail runs once the transmission has ended, so that a text sent during it starts a
// transmission of its own, keyed on with PTT still on, instead of stopping this one.
void Transmission::releaseOutput()
{
    if (!output_)
        return;
    ++releasing_;
    {
        std::scoped_lock lock(sessionMutex_);
        output_->release([] { return G_thread != 0; });
    }
    --releasing_;
}

void Transmission::sendCWCancel()
{
    if (ConsoleLog *log = echo_.console())
        log->lineInClear();
}

// Practice mode is read once a transmission: a change of the mode stops the transmission in progress (see
// settingChanged).
void Transmission::transmitText(const QString &text)
{
    const KeyingPiece piece = pieceOf(text);
    if (!openForTransmission())
        return;
    transmit(piece);
    restAfterTransmission();
}

// The text as UTF-8 up to its first zero byte; a text too long for the buffer is cut after its last whole
// character that fits.
KeyingPiece Transmission::pieceOf(const QString &text)
{
    char buffer[textBufferSize];
    const QByteArray bytes = text.toUtf8();
    qsizetype length = bytes.size();
    if (std::size_t(length) < textBufferSize) {
        std::memcpy(buffer, bytes.constData(), length + 1);
    } else {
        length = textBufferSize - 1;
        while (length > 0 && (uchar(bytes[length]) & 0xC0) == 0x80)
            --length;
        std::memcpy(buffer, bytes.constData(), length);
        buffer[length] = '\0';
        Diagnostics::out(
            QStringLiteral("#.. Keylark : Text longer than %1 bytes; sending its first %2 bytes.")
                .arg(textBufferSize - 1)
                .arg(length));
    }
    KeyingPiece piece;
    piece.steps.reserve(std::strlen(buffer));
    for (const char *byte = buffer; *byte != '\0'; ++byte)
        piece.steps.push_back({KeyingStep::Kind::Character, uchar(*byte)});
    return piece;
}

// In practice the transmission keys the practice line and the output on the air is left as it is.
// PTT left on for a transmission that follows goes off first when that one is practice.
bool Transmission::openForTransmission()
{
    KeyingOutput *output = practising() ? &practice_ : output_.get();
    if (output != output_.get() && output_)
        output_->release({});
    keyingOutput_ = output;
    if (output->begin())
        return true;
    keyingOutput_ = nullptr;
    return false;
}

void Transmission::restAfterTransmission()
{
    beaconPauseLeft_ = 0;
    keyingOutput_.load()->end();
    keyingOutput_ = nullptr;
}

bool Transmission::practising() const
{
    return store_.boolValue(KLKPracticeModeKey);
}

// What was sent for practice must not go on on the air, nor the other way round. Other settings go to the
// output on the air, which applies them at once while no transmission runs.
void Transmission::settingChanged(const QString &key)
{
    if (key == KLKPracticeModeKey && (G_thread != 0 || releasing_ != 0)) {
        raiseStop();
        return;
    }
    std::unique_lock lock(sessionMutex_, std::try_to_lock);
    output_->settingChanged(key, !lock.owns_lock());
}

void Transmission::transmit(const KeyingPiece &text)
{
    while (sendPass(text)) {
        if (beaconFlag == 0)
            return;
        const int delay = store_.intValue(KLKBeaconDelayKey);
        if (delay <= 0 && echo_.waited() == 0) {
            Diagnostics::out(QStringLiteral("#.. Keylark : Beacon ended: the text takes no time to send."));
            return;
        }
        if (delay > 0)
            keyingOutput_.load()->pausing(delay);
        for (int second = 0; second < delay; ++second) {
            beaconPauseLeft_ = delay - second;
            clock_.sleepSecond();
            if (stopRequested())
                return;
        }
        beaconPauseLeft_ = 0;
    }
}

// One pass over the text; false when a stop request ended it before its last character began.
bool Transmission::sendPass(const KeyingPiece &text)
{
    echo_.beginPass();
    bool whole = true;
    if (!text.steps.empty())
        whole = !stopRequested() && keyingOutput_.load()->keyPiece(text, echo_);
    endPass(whole);
    return whole;
}

void Transmission::endPass(bool whole)
{
    echo_.endPass(!whole || stopRequested(), keyingOutput_ == &practice_);
}

bool Transmission::stopRequested() const
{
    return sendStopFlag != 0 || closing_;
}

std::optional<KeyingPiece> Transmission::takePiece()
{
    if (stopRequested())
        return std::nullopt;
    std::scoped_lock lock(sourceMutex_);
    return source_ ? source_->takePiece() : std::nullopt;
}

// One pass, with one timestamp, over the first piece and every piece that waits once the one before it
// has been keyed: a logger's text typed a few characters at a time joins the running line of the log.
void Transmission::keyQueuedPieces(KeyingPiece piece)
{
    echo_.beginPass();
    for (;;) {
        if (!keyingOutput_.load()->keyPiece(piece, echo_) || stopRequested())
            break;
        {
            std::scoped_lock lock(sourceMutex_);
            if (source_)
                source_->pieceKeyed(piece.id);
        }
        std::optional<KeyingPiece> next = takePiece();
        if (!next)
            break;
        if (!keyedHere(*next)) {
            dropSourcePieces();
            break;
        }
        piece = std::move(*next);
    }
    endPass(!stopRequested());
}

// What was queued in practice is never keyed on the air, nor the other way round, whenever the mode changed.
bool Transmission::keyedHere(const KeyingPiece &piece) const
{
    return piece.practice == (keyingOutput_ == &practice_);
}

std::optional<KeyingPiece> Transmission::takeTyped()
{
    if (stopRequested())
        return std::nullopt;
    std::optional<KeyingPiece> piece = keyboard_.takePiece();
    if (piece)
        piece->practice = practising();
    return piece;
}

// What is typed keys as one pass while the operator goes on typing; the queued pieces wait behind it.
void Transmission::keyTypedBurst(KeyingPiece piece)
{
    std::scoped_lock lock(sessionMutex_);
    if (!openForTransmission()) {
        keyboard_.dropPieces();
        keyboard_.endBurst();
        return;
    }
    echo_.beginPass();
    while (keyedHere(piece) && keyingOutput_.load()->keyPiece(piece, echo_) && !stopRequested()) {
        std::optional<KeyingPiece> next = takeTyped();
        if (!next && keyboard_.awaitPiece())
            next = takeTyped();
        if (!next)
            break;
        piece = std::move(*next);
    }
    endPass(!stopRequested());
    keyboard_.endBurst();
    restAfterTransmission();
}
