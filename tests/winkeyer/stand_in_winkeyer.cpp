#include "stand_in_winkeyer.h"

#include "winkeyer/winkeyer_protocol.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <utility>

using namespace winkeyer;

namespace {

// Parameter bytes after a command's first byte (and after an admin command's second).
int parametersOf(const QByteArray &command)
{
    switch (std::uint8_t(command[0])) {
    case admin:
        return command.size() > 1 && command[1] == adminEcho ? 2 : 1;
    case setSpeed:
    case setWeighting:
    case 0x06: // pause
    case keyImmediate:
    case setMode:
    case setRatio:
    case bufferedSpeed:
        return 1;
    case 0x04: // PTT lead and tail
    case mergeLetters:
        return 2;
    case setKnob:
        return 3;
    default:
        return 0;
    }
}

// A dit is one unit, a dah three, one between two elements and three after the sign; a word space six.
double ditsOf(const QByteArray &letters)
{
    double dits = 2;
    for (char letter : letters) {
        for (const char *element = patternOf(letter); element && *element; ++element)
            dits += *element == '.' ? 2 : 4;
    }
    return dits;
}

} // namespace

StandInWinkeyer::StandInWinkeyer(const QString &link)
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        return;
    link_ = link.isEmpty() ? folder_.filePath(QStringLiteral("winkeyer")) : link;
    if (symlink(ptsname(master_), link_.toLocal8Bit().constData()) != 0)
        link_.clear();
}

StandInWinkeyer::~StandInWinkeyer()
{
    unplug();
}

bool StandInWinkeyer::waitFor(const std::function<bool()> &done, int stepMs)
{
    const QDeadlineTimer deadline(10'000);
    while (true) {
        pump();
        if (done())
            return true;
        if (deadline.hasExpired())
            return false;
        if (keying && answer != Answer::Silent)
            advance(stepMs);
        pollfd watch{master_, POLLIN, 0};
        poll(&watch, master_ >= 0 ? 1 : 0, 2);
    }
}

void StandInWinkeyer::serve(const std::function<bool()> &more)
{
    QElapsedTimer clock;
    clock.start();
    while (more()) {
        pump();
        if (answer != Answer::Silent)
            advance(double(clock.nsecsElapsed()) / 1e6);
        clock.start();
        pollfd watch{master_, POLLIN, 0};
        poll(&watch, master_ >= 0 ? 1 : 0, 2);
    }
}

void StandInWinkeyer::keySigns(int count)
{
    while (count > 0 && !buffer_.empty()) {
        double unbounded = 1e12;
        count -= keyOne(&unbounded) ? 1 : 0;
        tellStatus();
    }
}

void StandInWinkeyer::paddle(const std::string &text)
{
    breakIn_ = true;
    buffer_.clear();
    signLeft_ = 0;
    tellStatus();
    if (mode & modePaddleEcho)
        reply(QByteArray::fromStdString(text));
    breakIn_ = false;
    tellStatus();
}

void StandInWinkeyer::turnKnob(int value)
{
    reply(QByteArray(1, char(0x80 | value)));
}

void StandInWinkeyer::unplug()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
    if (!link_.isEmpty())
        unlink(link_.toLocal8Bit().constData());
}

void StandInWinkeyer::setXoffAbove(int entries)
{
    xoffAbove_ = entries;
    tellStatus();
}

void StandInWinkeyer::pump()
{
    char bytes[256];
    long count = 0;
    while (master_ >= 0 && (count = ::read(master_, bytes, sizeof bytes)) > 0) {
        received.append(bytes, count);
        if (log)
            log("host", QByteArray(bytes, count));
        for (long i = 0; i < count; ++i)
            take(std::uint8_t(bytes[i]));
    }
}

void StandInWinkeyer::take(std::uint8_t byte)
{
    if (answer == Answer::Silent)
        return;
    command_.append(char(byte));
    if (command_.size() > parametersOf(command_))
        run(std::exchange(command_, {}));
}

void StandInWinkeyer::run(const QByteArray &command)
{
    const auto first = std::uint8_t(command[0]);
    const int value = command.size() > 1 ? std::uint8_t(command[1]) : 0;
    if (first >= 0x20 || first == mergeLetters || first == bufferedSpeed || first == cancelBufferedSpeed) {
        if (first >= 0x20)
            written += char(first);
        if (first == mergeLetters)
            written += "<" + command.mid(1).toStdString() + ">";
        if (int(buffer_.size()) >= capacity)
            ++lost;
        else
            buffer_.push_back(command);
    } else if (first == admin && value == adminEcho) {
        reply(QByteArray(1, char(command[2] + (answer == Answer::WrongEcho ? 1 : 0))));
    } else if (first == admin) {
        hostOpen = value == adminHostOpen;
        buffer_.clear();
        if (hostOpen)
            reply(QByteArray(1, char(23)));
    } else if (first == setSpeed) {
        wpm = speed_ = value;
    } else if (first == setWeighting) {
        weighting = value;
    } else if (first == setRatio) {
        ratio = value;
    } else if (first == setMode) {
        mode = value;
    } else if (first == setKnob) {
        knobLowest = value;
        knobRange = std::uint8_t(command[2]);
    } else if (first == keyImmediate) {
        keyDown = value != 0;
    } else if (first == clearBuffer) {
        ++clears;
        buffer_.clear();
        signLeft_ = 0;
        speed_ = wpm;
    } else if (first == requestStatus) {
        lastStatus_ = -1;
    }
    tellStatus();
}

void StandInWinkeyer::reply(const QByteArray &bytes)
{
    if (master_ >= 0 && ::write(master_, bytes.constData(), size_t(bytes.size())) != bytes.size())
        std::abort(); // a pseudo-terminal takes a few bytes at once
}

void StandInWinkeyer::advance(double ms)
{
    while (!buffer_.empty() && ms > 0) {
        keyOne(&ms);
        tellStatus();
    }
}

bool StandInWinkeyer::keyOne(double *budget)
{
    const QByteArray entry = buffer_.front();
    const auto first = std::uint8_t(entry[0]);
    if (first == bufferedSpeed || first == cancelBufferedSpeed) {
        speed_ = first == bufferedSpeed ? std::uint8_t(entry[1]) : wpm;
        buffer_.pop_front();
        return false;
    }
    const QByteArray letters = first == mergeLetters ? entry.mid(1) : entry;
    if (signLeft_ <= 0)
        signLeft_ = ditsOf(letters) * 1200.0 / speed_;
    if (*budget < signLeft_) {
        signLeft_ -= *budget;
        *budget = 0;
        return false;
    }
    *budget -= signLeft_;
    signLeft_ = 0;
    buffer_.pop_front();
    keyed += first == mergeLetters ? "<" + letters.toStdString() + ">" : letters.toStdString();
    keyedWpm.push_back(speed_);
    if (log)
        log("keyed", entry);
    if (mode & modeSerialEcho)
        reply(letters);
    return true;
}

void StandInWinkeyer::tellStatus()
{
    if (!hostOpen)
        return;
    const bool xoff = int(buffer_.size()) > xoffAbove_;
    xoffRaised = xoffRaised || xoff;
    const int status = 0xC0 | keyDown << 3 | !buffer_.empty() << 2 | breakIn_ << 1 | int(xoff);
    if (status != lastStatus_)
        reply(QByteArray(1, char(status)));
    lastStatus_ = status;
}
