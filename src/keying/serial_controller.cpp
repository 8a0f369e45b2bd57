#include "keying/serial_controller.h"

#include "keying/diagnostics.h"
#include "keying/line_control.h"
#include "keying/line_system.h"
#include "keying/serial_line.h"
#include "keying/shared_flags.h"
#include "keying/wait_clock.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace keying {

const char *codetable[codeTableSize];

float wpm = 12.0f;
float dit_time = 100.0f;
float dah_time = 300.0f;
float intra_time = 100.0f;
float letter_time = 300.0f;
float word_time = 700.0f;

int initialized = -1;
int serialStartUpOpen = 0;
char devicePath[devicePathSize];

std::int64_t wholeMilliseconds(float duration)
{
    if (!std::isfinite(duration) || duration < 1.0f)
        return 0;
    if (duration >= float(longestWait))
        return longestWait;
    return std::int64_t(duration);
}

} // namespace keying

using namespace keying;

namespace {

struct CodeEntry
{
    unsigned char code;
    const char *pattern;
};

// clang-format off
const CodeEntry morseCodes[] = {
    {'A', ".-"},    {'B', "-..."},  {'C', "-.-."},  {'D', "-.."},   {'E', "."},     {'F', "..-."},
    {'G', "--."},   {'H', "...."},  {'I', ".."},    {'J', ".---"},  {'K', "-.-"},   {'L', ".-.."},
    {'M', "--"},    {'N', "-."},    {'O', "---"},   {'P', ".--."},  {'Q', "--.-"},  {'R', ".-."},
    {'S', "..."},   {'T', "-"},     {'U', "..-"},   {'V', "...-"},  {'W', ".--"},   {'X', "-..-"},
    {'Y', "-.--"},  {'Z', "--.."},
    {'0', "-----"}, {'1', ".----"}, {'2', "..---"}, {'3', "...--"}, {'4', "....-"},
    {'5', "....."}, {'6', "-...."}, {'7', "--..."}, {'8', "---.."}, {'9', "----."},
    {' ', " "},          {'!', "....-."},    {'"', ".-..-."},    {'#', "-.---"},     {'%', "%"},
    {'&', "....--."},    {'\'', ".----."},   {'(', "-.--."},     {')', "-.--.-"},    {'*', "-----."},
    {'+', ".-.-."},      {',', "--..--"},    {'-', "-....-"},    {'.', ".-.-.-"},    {'/', "-..-."},
    {':', "---..."},     {';', "-.-.-."},    {'<', "....-.-.."}, {'=', "-...-"},     {'>', "....---."},
    {'?', "..--.."},     {'@', ".--.-."},    {'[', "....-.."},   {'\\', "-....."},   {']', "....-...."},
    {'^', "....--.-."},  {'_', "..--.-"},    {'{', "....-.--"},  {'|', "...-.."},    {'}', "....--..-"},
    {'~', "....--"},
};
// clang-format on

const char wordSpace[] = " ";
constexpr int tuneSlice = 20; // ms between two looks at the stop request while the carrier is keyed

// toupper() in the "C" locale, whatever locale the application has set.
unsigned char upperCase(unsigned char byte)
{
    return byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte;
}

} // namespace

SerialController::SerialController(SettingsStore &store, ConsoleLookup console, LineSystem *line,
                                   WaitClock *clock)
    : store_(store), clock_(clock ? *clock : WaitClock::system()), schedule_(clock_),
      line_(std::make_unique<SerialLine>(store_, line ? *line : LineSystem::system(), clock_)),
      keyingLine_(line_.get()), echo_(std::move(console))
{
    init();
    lineSettingsWatch_ = QObject::connect(&store_, &SettingsStore::changed, &store_,
                                          [this](const QString &key) { lineSettingChanged(key); });
}

SerialController::~SerialController()
{
    QObject::disconnect(lineSettingsWatch_);
    shutdown();
}

void SerialController::init()
{
    ser_fd = 0;
    codeInit();
    getSerialDevice(devicePath);
    getSerialStartUpOpen();
    line_->configure();
    // Practice needs no port: a port that is opened at start is opened by the first transmission on the air.
    if (serialStartUpOpen != 0 && !practising() && !line_->open(devicePath)) {
        Diagnostics::out(QStringLiteral(
            "*** Keylark : Serial open error. Please set serial device and restart this program."));
        return;
    }
    sendStopFlag = 0;
    beaconFlag = 0;
    initialized = 1;
    cwSetWpm(12);
}

void SerialController::codeInit()
{
    std::fill(std::begin(codetable), std::end(codetable), wordSpace);
    for (const CodeEntry &entry : morseCodes)
        codetable[entry.code] = entry.pattern;
}

void SerialController::getSerialDevice(char *buffer)
{
    const QString path = store_.stringValue(KLKSerialDeviceKey);
    if (path.isNull())
        return;
    const QByteArray bytes = path.toUtf8();
    if (std::size_t(bytes.size()) >= devicePathSize) {
        Diagnostics::out(QStringLiteral("#.. Keylark : Serial device path longer than %1 bytes; ignored.")
                             .arg(devicePathSize - 1));
        return;
    }
    std::memcpy(buffer, bytes.constData(), bytes.size() + 1);
}

void SerialController::getSerialStartUpOpen()
{
    serialStartUpOpen = store_.intValue(KLKSerialStartUpOpenKey) != 0 ? 1 : 0;
}

// A speed of 4 or less keeps the speed last accepted, which always lies inside the range; a faster one than
// the range allows keys at its top.
void SerialController::cwSetWpm(int speed)
{
    if (speed > 4)
        wpm = float(KLKWpmRange.clamp(speed));
    if (!KLKWpmRange.contains(speed))
        reportOutOfRange(KLKWpmKey, KLKWpmRange, speed, wpm);
    dit_time = 1200.0f / wpm;
    dah_time = ratio(KLKTimeDahKey) * dit_time;
    intra_time = dit_time;
    letter_time = ratio(KLKTimeLetterKey) * dit_time;
    word_time = ratio(KLKTimeWordKey) * dit_time;
}

// Clamped before it is narrowed to single precision: a double beyond a float's range has no float value.
float SerialController::ratio(const QString &key)
{
    const double stored = store_.doubleValue(key);
    const double used = KLKRatioRange.clamp(stored);
    if (!KLKRatioRange.contains(stored))
        reportOutOfRange(key, KLKRatioRange, stored, used);
    return float(used);
}

void SerialController::reportOutOfRange(const QString &key, SettingRange range, double stored, double used)
{
    if (reportedKeys_.contains(key))
        return;
    reportedKeys_.insert(key);
    Diagnostics::out(QStringLiteral("#.. Keylark : \"%1\" %2 is outside %3 to %4; using %5.")
                         .arg(key, QString::number(stored, 'g', 10), QString::number(range.minimum),
                              QString::number(range.maximum), QString::number(used, 'g', 10)));
}

void SerialController::timer(float duration)
{
    schedule_.wait(wholeMilliseconds(duration), [this] { return sendStopFlag != 0 || closing_; });
}

// A queued text's speed steps move the speed within the range; a stored speed outside it is keyed and
// reported as in every transmission.
int SerialController::speedOf(int stored) const
{
    if (speedStep_ == 0 || !KLKWpmRange.contains(stored))
        return stored;
    return int(KLKWpmRange.clamp(double(stored) + speedStep_));
}

void SerialController::keying(const char *pattern)
{
    // A queued text's weighting moves time from the gap after each element to its key-down.
    const auto weight = [this] { return float(weighting_) * dit_time / 100.0f; };
    for (std::size_t i = 0; pattern[i] != '\0'; ++i) {
        cwSetWpm(speedOf(store_.intValue(KLKWpmKey)));
        echo_.speedKeyed(int(wpm));
        const char element = pattern[i];
        if (element == '%') {
            if (code_add == 0)
                timer(letter_time);
            return;
        }
        if (element == ' ') {
            const float gap = word_time - letter_time;
            timer(gap);
            return;
        }
        const float length = (element == '.' ? dit_time : dah_time) + weight();
        if (sendStopFlag != 0)
            return;
        if (!keyDown(wholeMilliseconds(length) * 1'000'000))
            return;
        timer(length);
        if (!keyUp() || sendStopFlag != 0)
            return;
        if (pattern[i + 1] != '\0')
            timer(intra_time - weight());
    }
    if (sendStopFlag != 0)
        return;
    timer((code_add != 0 ? intra_time : letter_time) - weight());
}

int SerialController::cwSendString(const QString &text)
{
    if (initialized == -1 && !practising()) {
        Diagnostics::out(
            QStringLiteral("*** Keylark : Serial initialize error. Please restart this program."));
        return -1;
    }
    if (closing_)
        return -1;
    sendStopFlag = 0;
    workers_.start([this, text] { sendCWThread(text); });
    return 0;
}

void SerialController::shutdown()
{
    closing_ = true;
    sendStopFlag = 1;
    joinWorkers();
    if (line_->isOpen())
        line_->close();
}

int SerialController::cwIsSending() const
{
    return G_thread;
}

void SerialController::cwSendStop()
{
    requestStop();
}

// Stop, Esc and a send of the operator's also drop the queued pieces that wait.
void SerialController::requestStop()
{
    sendStopFlag = 1;
    dropSourcePieces();
}

void SerialController::dropSourcePieces()
{
    std::scoped_lock lock(sourceMutex_);
    if (source_)
        source_->dropPieces();
}

void SerialController::setTextSource(TextSource *source)
{
    std::scoped_lock lock(sourceMutex_);
    source_ = source;
}

// A worker that has been started but has not yet claimed the port counts as a transmission, so that a
// queued text never takes the port from under a send of the operator's.
int SerialController::cwSendQueued()
{
    if ((initialized == -1 && !practising()) || closing_)
        return -1;
    if (G_thread != 0 || workers_.pending())
        return 1;
    sendStopFlag = 0;
    workers_.start([this] { sendQueuedThread(); });
    return 0;
}

void SerialController::cwStopQueued()
{
    if (keyingQueued_)
        sendStopFlag = 1;
}

void SerialController::cwSendClear()
{
    G_transmitCount = 0;
}

void SerialController::cwBeaconTransmission()
{
    beaconFlag = 1;
}

bool SerialController::cwBeaconArmed() const
{
    return beaconFlag != 0;
}

int SerialController::cwBeaconPauseLeft() const
{
    return beaconPauseLeft_;
}

void SerialController::cwBeaconDisarm()
{
    beaconFlag = 0;
}

void SerialController::setTransmissionListener(TransmissionListener *listener)
{
    echo_.setListener(listener);
}

void SerialController::sendCWThread(const QString &text)
{
    int idle = 0;
    if (!G_thread.compare_exchange_strong(idle, 1)) {
        requestStop();
        sendCWCancel();
        return;
    }
    {
        std::scoped_lock lock(lineMutex_);
        transmitOnTheLine(text);
    }
    beaconFlag = 0;
    G_thread = 0;
}

// A queued transmission keys the pieces of the source from the first it finds until none waits; it never
// stops another transmission and never repeats as a beacon.
void SerialController::sendQueuedThread()
{
    int idle = 0;
    if (!G_thread.compare_exchange_strong(idle, 1))
        return; // the running transmission goes on; the source asks again once it has ended
    keyingQueued_ = true;
    if (std::optional<KeyingPiece> piece = takePiece()) {
        std::scoped_lock lock(lineMutex_);
        if (openForTransmission()) {
            keyQueuedPieces(std::move(*piece));
            restAfterTransmission();
        } else {
            dropSourcePieces(); // one open error for them all, not one for each
        }
    }
    keyingQueued_ = false;
    G_thread = 0;
}

// Practice mode is read once a transmission: the port is left as it is, and a change of the mode stops the
// transmission in progress (see lineSettingChanged).
void SerialController::transmitOnTheLine(const QString &text)
{
    char buffer[textBufferSize];
    copyText(text, buffer);
    if (!openForTransmission())
        return;
    transmit(buffer);
    restAfterTransmission();
}

// In practice the transmission keys the practice line and the serial port is left as it is.
bool SerialController::openForTransmission()
{
    if (practising()) {
        keyingLine_ = &practiceLine_;
        return true;
    }
    keyingLine_ = line_.get();
    line_->configure();
    if (!openOnTheAir())
        return false;
    if (serialStartUpOpen != 0)
        line_->keyUp(); // the key-up set of the line settings just read
    return true;
}

void SerialController::restAfterTransmission()
{
    beaconPauseLeft_ = 0;
    if (keyingLine_ == &practiceLine_) {
        keyingLine_ = line_.get();
        sendStopFlag = 0;
        return;
    }
    // Every transmission ends with the line at rest, however it ended, and in the settings of now.
    if (serialStartUpOpen == 0) {
        line_->close();
        sendStopFlag = 0;
    } else {
        line_->configure();
        line_->keyUp();
    }
}

// A port opened at start that practice mode kept closed is opened by the first transmission on the air.
bool SerialController::openOnTheAir()
{
    if (line_->isOpen() || line_->open(devicePath))
        return true;
    // ser_fd stays 0: the next transmission tries the port again
    Diagnostics::out(QStringLiteral("*** Keylark : Serial open error. Please set serial device."));
    return false;
}

bool SerialController::practising() const
{
    return store_.boolValue(KLKPracticeModeKey);
}

// The line rests in the key-up state of the settings the operator sees: a change made while the port is
// open and idle takes effect at once. During a transmission the worker applies it when it ends.
void SerialController::lineSettingChanged(const QString &key)
{
    // What was sent for practice must not go on on the air, nor the other way round.
    if (key == KLKPracticeModeKey && G_thread != 0) {
        sendStopFlag = 1;
        return;
    }
    if (key != KLKSerialDTRKey && key != KLKSerialDTRReverseKey && key != KLKSerialRTSKey &&
        key != KLKSerialRTSReverseKey)
        return;
    std::unique_lock lock(lineMutex_, std::try_to_lock);
    if (!lock.owns_lock() || !line_->isOpen())
        return;
    line_->configure();
    line_->keyUp();
}

// Copies the text as UTF-8 with its terminating zero byte; a text too long for the buffer is cut after
// its last whole character that fits.
void SerialController::copyText(const QString &text, char *buffer)
{
    const QByteArray bytes = text.toUtf8();
    qsizetype length = bytes.size();
    if (std::size_t(length) < textBufferSize) {
        std::memcpy(buffer, bytes.constData(), length + 1);
        return;
    }
    length = textBufferSize - 1;
    while (length > 0 && (uchar(bytes[length]) & 0xC0) == 0x80)
        --length;
    std::memcpy(buffer, bytes.constData(), length);
    buffer[length] = '\0';
    Diagnostics::out(QStringLiteral("#.. Keylark : Text longer than %1 bytes; sending its first %2 bytes.")
                         .arg(textBufferSize - 1)
                         .arg(length));
}

void SerialController::transmit(const char *buffer)
{
    reportedKeys_.clear();
    schedule_.restart();
    while (sendPass(buffer)) {
        if (beaconFlag == 0)
            return;
        const int delay = store_.intValue(KLKBeaconDelayKey);
        if (delay <= 0 && schedule_.waited() == 0) {
            Diagnostics::out(QStringLiteral("#.. Keylark : Beacon ended: the text takes no time to send."));
            return;
        }
        for (int second = 0; second < delay; ++second) {
            beaconPauseLeft_ = delay - second;
            clock_.sleepSecond();
            if (sendStopFlag != 0 || closing_)
                return;
        }
        beaconPauseLeft_ = 0;
        if (delay > 0)
            schedule_.restart();
    }
}

// One pass over the text; false when a stop request ended it.
bool SerialController::sendPass(const char *buffer)
{
    beginPass();
    bool whole = true;
    for (const char *byte = buffer; *byte != '\0' && whole; ++byte) {
        whole = !stopRequested();
        if (whole)
            keyCharacter(uchar(*byte));
    }
    endPass(whole);
    return whole;
}

void SerialController::beginPass()
{
    code_add = 0;
    echo_.beginPass();
    schedule_.resetWaited();
}

void SerialController::endPass(bool whole)
{
    echo_.endPass(!whole || stopRequested(), keyingLine_ == &practiceLine_);
}

void SerialController::keyCharacter(unsigned char byte)
{
    const unsigned char code = upperCase(byte);
    echo_.characterKeyed(code);
    if (code == '%')
        code_add = code_add == 0 ? 1 : 0;
    keying(codetable[code]);
}

bool SerialController::stopRequested() const
{
    return sendStopFlag != 0 || closing_;
}

std::optional<KeyingPiece> SerialController::takePiece()
{
    if (stopRequested())
        return std::nullopt;
    std::scoped_lock lock(sourceMutex_);
    return source_ ? source_->takePiece() : std::nullopt;
}

// One pass, with one timestamp, over the first piece and every piece that waits once the one before it
// has been keyed: a logger's text typed a few characters at a time joins the running line of the log.
void SerialController::keyQueuedPieces(KeyingPiece piece)
{
    reportedKeys_.clear();
    schedule_.restart();
    beginPass();
    for (;;) {
        weighting_ = std::clamp(piece.weighting, -KeyingPiece::maxWeighting, KeyingPiece::maxWeighting);
        if (!keyPiece(piece))
            break;
        {
            std::scoped_lock lock(sourceMutex_);
            if (source_)
                source_->pieceKeyed(piece.id);
        }
        std::optional<KeyingPiece> next = takePiece();
        if (!next)
            break;
        piece = std::move(*next);
    }
    endPass(!stopRequested());
    speedStep_ = 0;
    weighting_ = 0;
}

bool SerialController::keyPiece(const KeyingPiece &piece)
{
    constexpr int stepLimit = int(KLKWpmRange.maximum - KLKWpmRange.minimum);
    code_add = 0; // a piece's joined signs end inside it
    for (const KeyingStep &step : piece.steps) {
        if (stopRequested())
            return false;
        switch (step.kind) {
        case KeyingStep::Kind::Character:
            keyCharacter(uchar(step.value));
            break;
        case KeyingStep::Kind::Speed:
            speedStep_ = std::clamp(speedStep_ + step.value, -stepLimit, stepLimit);
            break;
        case KeyingStep::Kind::HalfSpace:
            timer(letter_time / 2);
            break;
        case KeyingStep::Kind::Tune:
            tune(step.value);
            break;
        }
    }
    return !stopRequested();
}

// A continuous carrier, never longer than the longest tune, that a stop request ends within one slice.
void SerialController::tune(int seconds)
{
    const int slices = std::clamp(seconds, 0, KeyingPiece::maxTuneSeconds) * 1000 / tuneSlice;
    if (slices == 0 || stopRequested())
        return;
    // The planned length is the whole tune; a stop ends it early, and its key-up says when.
    if (!keyDown(std::int64_t(slices) * tuneSlice * 1'000'000))
        return;
    for (int slice = 0; slice < slices && !stopRequested(); ++slice)
        timer(float(tuneSlice));
    keyUp();
}

// Keys down and tells the schedule and the timeline; false, with the line keyed up, if it was refused.
bool SerialController::keyDown(std::int64_t plannedNs)
{
    const std::int64_t down = clock_.now();
    if (!keyingLine_->keyDown()) {
        // A refused request may still have moved the lines.
        if (!keyingLine_->keyUp())
            sendStopFlag = 1;
        return false;
    }
    schedule_.edge();
    timeline_.publish({KeyEvent::Edge::Down, down, plannedNs});
    return true;
}

// Keys up and tells the schedule and the timeline; a failure stops the transmission, for the line may
// still be keyed.
bool SerialController::keyUp()
{
    const bool keyedUp = keyingLine_->keyUp();
    schedule_.edge();
    timeline_.publish({KeyEvent::Edge::Up, clock_.now(), 0});
    if (!keyedUp)
        sendStopFlag = 1;
    return keyedUp;
}

void SerialController::sendCWCancel()
{
    if (ConsoleLog *log = echo_.console())
        log->lineInClear();
}
