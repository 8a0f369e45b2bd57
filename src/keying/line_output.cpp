#include "keying/line_output.h"

#include "keying/diagnostics.h"
#include "keying/element_timeline.h"
#include "keying/keying_line.h"
#include "keying/keying_progress.h"
#include "keying/shared_flags.h"
#include "keying/text_source.h"
#include "keying/wait_clock.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace keying {

const char *codetable[codeTableSize];

float wpm = 12.0f;
float dit_time = 100.0f;
float dah_time = 300.0f;
float intra_time = 100.0f;
float letter_time = 300.0f;
float word_time = 700.0f;

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
// ms the line rests after a tune, so that two tunes one after the other never join into one carrier
constexpr int tuneRest = 1000;
// ns between two looks at a stop request, and at the next transmission, while PTT waits
constexpr std::int64_t pttSlice = 5'000'000;

// toupper() in the "C" locale, whatever locale the application has set.
unsigned char upperCase(unsigned char byte)
{
    return byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte;
}

bool stopRequested()
{
    return sendStopFlag != 0;
}

} // namespace

LineOutput::LineOutput(SettingsStore &store, std::unique_ptr<KeyingLine> line, WaitClock &clock,
                       ElementTimeline &timeline)
    : store_(store), line_(std::move(line)), clock_(clock), schedule_(clock_), timeline_(timeline)
{
    codeInit();
}

LineOutput::~LineOutput() = default;

void LineOutput::codeInit()
{
    std::fill(std::begin(codetable), std::end(codetable), wordSpace);
    for (const CodeEntry &entry : morseCodes)
        codetable[entry.code] = entry.pattern;
}

KeyingOutput::Abilities LineOutput::abilities() const
{
    return {.stopsMidPiece = true, .tunes = true, .weights = true, .switchesPtt = false};
}

bool LineOutput::startUp(bool)
{
    cwSetWpm(12);
    return true;
}

bool LineOutput::begin()
{
    if (!openLine())
        return false;
    reportedKeys_.clear();
    pendingMs_ = 0;
    schedule_.restart();
    return true;
}

// A released line spends the stop request; a port that stays open keeps it until the next send clears it.
// With PTT on, the line rests once release() has switched it off.
void LineOutput::end()
{
    settle();
    speedStep_ = 0;
    weighting_ = 0;
    pieceSpeed_ = 0;
    if (line_->isPttOn())
        return;
    if (restLine())
        sendStopFlag = 0;
}

void LineOutput::release(const std::function<bool()> &followed)
{
    if (!line_->isPttOn() || !waitTail(followed))
        return;
    line_->pttOff();
    if (restLine())
        sendStopFlag = 0;
}

// The first wait after the pause starts from its own moment. PTT stays on across a pause shorter than the
// tail; a longer one, or one after a stop, begins with the tail and PTT off.
void LineOutput::pausing(int seconds)
{
    settle();
    const bool longer = std::int64_t(seconds) * 1'000'000'000 >= pttTail();
    if (line_->isPttOn() && (longer || stopRequested()) && waitTail({}))
        line_->pttOff();
    schedule_.restart();
}

// Waits until the tail after the last key-up has passed, or a stop's shortest tail; false when followed()
// says first that the next transmission keys on.
bool LineOutput::waitTail(const std::function<bool()> &followed)
{
    const std::int64_t tail = pttTail();
    for (;;) {
        const std::int64_t end = line_->keyUpAt() + (stopRequested() ? KeyingLine::shortestTail : tail);
        const std::int64_t now = clock_.now();
        if (now >= end)
            return true;
        if (followed && followed())
            return false;
        clock_.sleepUntil(std::min(end, now + pttSlice));
    }
}

std::int64_t LineOutput::pttTail() const
{
    return std::int64_t(KLKPTTTailRange.clamp(store_.intValue(KLKPTTTailKey))) * 1'000'000;
}

// PTT on and its lead-in before a key-down, unless PTT is on already. A stop during the lead-in keys nothing.
bool LineOutput::pttReady()
{
    if (!line_->hasPtt() || line_->isPttOn())
        return true;
    if (!line_->pttOn()) {
        sendStopFlag = 1;
        return false;
    }
    const std::int64_t end = clock_.now() + std::int64_t(pttLead_) * 1'000'000;
    for (std::int64_t now = clock_.now(); now < end; now = clock_.now()) {
        if (stopRequested())
            return false;
        clock_.sleepUntil(std::min(end, now + pttSlice));
    }
    schedule_.restart(); // the first element keys whole from its key-down
    return !stopRequested();
}

// A logger's voice keyer: PTT on, the key up, until the logger lets go, a stop, or the time is up.
void LineOutput::holdPtt(int seconds)
{
    if (!line_->hasPtt() || pttHoldFlag == 0 || stopRequested())
        return;
    if (!line_->pttOn()) {
        sendStopFlag = 1;
        return;
    }
    const int held = std::clamp(seconds, 0, KeyingPiece::maxPttHoldSeconds);
    const std::int64_t end = clock_.now() + std::int64_t(held) * 1'000'000'000;
    for (std::int64_t now = clock_.now(); pttHoldFlag != 0 && !stopRequested(); now = clock_.now()) {
        if (now >= end) {
            pttHoldFlag = 0; // the holds that wait behind this one end at once
            Diagnostics::out(QStringLiteral("#.. Keylark : PTT off after %1 s: a logger's PTT is held at "
                                            "most that long.")
                                 .arg(held));
            return;
        }
        clock_.sleepUntil(std::min(end, now + pttSlice));
    }
}

// A speed of 4 or less keeps the speed last accepted, which always lies inside the range; a faster one than
// the range allows keys at its top.
void LineOutput::cwSetWpm(int speed)
{
    readSettings();
    if (speed > 4)
        wpm = float(KLKWpmRange.clamp(speed));
    if (!KLKWpmRange.contains(speed))
        reportOutOfRange(KLKWpmKey, KLKWpmRange, speed, wpm);
    dit_time = 1200.0f / wpm;
    dah_time = ratio(KLKTimeDahKey, storedDah_) * dit_time;
    intra_time = dit_time;
    letter_time = ratio(KLKTimeLetterKey, storedLetter_) * dit_time;
    word_time = ratio(KLKTimeWordKey, storedWord_) * dit_time;
}

// The timing settings are read again only once the store has changed, so that an element costs no reads.
void LineOutput::readSettings()
{
    const std::uint64_t revision = store_.revision();
    if (revision == settingsRevision_)
        return;
    settingsRevision_ = revision;
    storedWpm_ = store_.intValue(KLKWpmKey);
    storedDah_ = store_.doubleValue(KLKTimeDahKey);
    storedLetter_ = store_.doubleValue(KLKTimeLetterKey);
    storedWord_ = store_.doubleValue(KLKTimeWordKey);
}

// Clamped before it is narrowed to single precision: a double beyond a float's range has no float value.
float LineOutput::ratio(const QString &key, double stored)
{
    const double used = KLKRatioRange.clamp(stored);
    if (!KLKRatioRange.contains(stored))
        reportOutOfRange(key, KLKRatioRange, stored, used);
    return float(used);
}

void LineOutput::reportOutOfRange(const QString &key, SettingRange range, double stored, double used)
{
    if (reportedKeys_.contains(key))
        return;
    reportedKeys_.insert(key);
    Diagnostics::out(QStringLiteral("#.. Keylark : \"%1\" %2 is outside %3 to %4; using %5.")
                         .arg(key, QString::number(stored, 'g', 10), QString::number(range.minimum),
                              QString::number(range.maximum), QString::number(used, 'g', 10)));
}

void LineOutput::timer(float duration)
{
    pend(duration);
    settle();
}

// A wait is made just before the next change of the line, so that what the worker does between two edges
// comes before its sleep and the edge follows the wake-up at once.
void LineOutput::pend(float duration)
{
    const std::int64_t milliseconds = wholeMilliseconds(duration);
    pendingMs_ += milliseconds;
    waitedMs_ += milliseconds;
}

// False when a stop request cut the wait short.
bool LineOutput::settle()
{
    return schedule_.wait(std::exchange(pendingMs_, 0), [] { return stopRequested(); });
}

// A queued text's speed steps move the speed within the range; a stored speed outside it is keyed and
// reported as in every transmission.
int LineOutput::speedOf(int stored) const
{
    if (speedStep_ == 0 || !KLKWpmRange.contains(stored))
        return stored;
    return int(KLKWpmRange.clamp(double(stored) + speedStep_));
}

// The speeds of the elements and gaps keyed in this piece.
void LineOutput::noteSpeed()
{
    const int speed = int(wpm);
    slowest_ = slowest_ == 0 ? speed : std::min(slowest_, speed);
    fastest_ = std::max(fastest_, speed);
}

void LineOutput::keying(const char *pattern)
{
    keyPattern(pattern);
    settle();
}

// The gap after the pattern is left pending.
void LineOutput::keyPattern(const char *pattern)
{
    // A queued text's weighting moves time from the gap after each element to its key-down.
    const auto weight = [this] { return float(weighting_) * dit_time / 100.0f; };
    for (std::size_t i = 0; pattern[i] != '\0'; ++i) {
        readSettings();
        cwSetWpm(speedOf(pieceSpeed_ > 0 ? pieceSpeed_ : storedWpm_));
        noteSpeed();
        const char element = pattern[i];
        if (element == '%') {
            if (code_add == 0)
                pend(letter_time);
            return;
        }
        if (element == ' ') {
            pend(word_time - letter_time);
            return;
        }
        const float length = (element == '.' ? dit_time : dah_time) + weight();
        settle();
        if (sendStopFlag != 0)
            return;
        if (!keyDown(wholeMilliseconds(length) * 1'000'000))
            return;
        timer(length);
        if (!keyUp() || sendStopFlag != 0)
            return;
        if (pattern[i + 1] != '\0')
            pend(intra_time - weight());
    }
    if (sendStopFlag != 0)
        return;
    pend((code_add != 0 ? intra_time : letter_time) - weight());
}

bool LineOutput::keyPiece(const KeyingPiece &piece, KeyingProgress &progress)
{
    constexpr int stepLimit = int(KLKWpmRange.maximum - KLKWpmRange.minimum);
    weighting_ = std::clamp(piece.weighting, -KeyingPiece::maxWeighting, KeyingPiece::maxWeighting);
    pieceSpeed_ = piece.speed;
    pttLead_ =
        piece.pttLead >= 0 ? piece.pttLead : int(KLKPTTLeadRange.clamp(store_.intValue(KLKPTTLeadKey)));
    if (piece.newSpeed)
        speedStep_ = 0;
    code_add = 0; // a piece's joined signs end inside it
    slowest_ = fastest_ = 0;
    waitedMs_ = 0;
    schedule_.waitRest(std::exchange(pendingMs_, 0), [] { return stopRequested(); });
    bool whole = true;
    for (const KeyingStep &step : piece.steps) {
        settle(); // the gap before the step ends here, so that a stop raised in it keeps the step off
        if (stopRequested()) {
            whole = false;
            break;
        }
        switch (step.kind) {
        case KeyingStep::Kind::Character:
            keyCharacter(uchar(step.value), progress);
            break;
        case KeyingStep::Kind::Speed:
            speedStep_ = std::clamp(speedStep_ + step.value, -stepLimit, stepLimit);
            break;
        case KeyingStep::Kind::HalfSpace:
            pend(letter_time / 2);
            break;
        case KeyingStep::Kind::Tune:
            tune(step.value);
            break;
        case KeyingStep::Kind::PttHold:
            holdPtt(step.value);
            break;
        }
    }
    if (slowest_ != 0) {
        progress.speedKeyed(slowest_);
        progress.speedKeyed(fastest_);
    }
    progress.timeKeyed(waitedMs_);
    return whole;
}

void LineOutput::keyCharacter(unsigned char byte, KeyingProgress &progress)
{
    const unsigned char code = upperCase(byte);
    unreported_ = code;
    progress_ = &progress;
    if (code == '%')
        code_add = code_add == 0 ? 1 : 0;
    keyPattern(codetable[code]);
    reportCharacter();
}

// A character is reported as it begins to go out: just after its first key-down, once the edge is out.
// One that a stop or a refused key-down kept off the line is reported all the same.
void LineOutput::reportCharacter()
{
    if (KeyingProgress *progress = std::exchange(progress_, nullptr))
        progress->characterKeyed(unreported_);
}

// A continuous carrier, never longer than the longest tune, that a stop request ends within one slice.
void LineOutput::tune(int seconds)
{
    const int slices = std::clamp(seconds, 0, KeyingPiece::maxTuneSeconds) * 1000 / tuneSlice;
    if (slices == 0 || stopRequested())
        return;
    // The planned length is the whole tune; a stop ends it early, and its key-up says when.
    if (!keyDown(std::int64_t(slices) * tuneSlice * 1'000'000))
        return;
    for (int slice = 0; slice < slices && !stopRequested(); ++slice)
        timer(float(tuneSlice));
    if (keyUp() && !stopRequested())
        timer(float(tuneRest));
}

// Keys down and tells the schedule and the timeline; false, with the line keyed up, if it was refused.
bool LineOutput::keyDown(std::int64_t plannedNs)
{
    if (!pttReady())
        return false;
    const std::int64_t down = clock_.now();
    if (!line_->keyDown()) {
        // A refused request may still have moved the lines.
        if (!line_->keyUp())
            sendStopFlag = 1;
        return false;
    }
    schedule_.edge(down);
    timeline_.publish({KeyEvent::Edge::Down, down, plannedNs});
    reportCharacter();
    return true;
}

// Keys up and tells the schedule and the timeline; a failure stops the transmission, for the line may
// still be keyed.
bool LineOutput::keyUp()
{
    const bool keyedUp = line_->keyUp();
    const std::int64_t up = clock_.now();
    schedule_.edge(up);
    timeline_.publish({KeyEvent::Edge::Up, up, 0});
    if (!keyedUp)
        sendStopFlag = 1;
    return keyedUp;
}
