#include "stand_in_radio.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The radio's own Morse, for its keyer's timing: dits and dahs of the characters the tests send.
const char *patternOf(char character)
{
    static const char *const letters[] = {
        ".-", "-...", "-.-.", "-..",  ".",   "..-.", "--.", "....", "..",   ".---", "-.-",  ".-..", "--",
        "-.", "---",  ".--.", "--.-", ".-.", "...",  "-",   "..-",  "...-", ".--",  "-..-", "-.--", "--.."};
    static const char *const digits[] = {"-----", ".----", "..---", "...--", "....-",
                                         ".....", "-....", "--...", "---..", "----."};
    if (character >= 'A' && character <= 'Z')
        return letters[character - 'A'];
    if (character >= '0' && character <= '9')
        return digits[character - '0'];
    return character == '/' ? "-..-." : character == '?' ? "..--.." : "";
}

} // namespace

StandInRadio::StandInRadio(int capacity) : capacity_(capacity)
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        std::abort();
    path_ = QString::fromUtf8(ptsname(master_));
    slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
    termios raw{};
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
}

void StandInRadio::start()
{
    thread_ = std::thread([this] { loop(); });
}

StandInRadio::~StandInRadio()
{
    finish();
    if (!pulled_) {
        ::close(master_);
        ::close(slave_);
    }
}

void StandInRadio::finish()
{
    ending_ = true;
    if (thread_.joinable())
        thread_.join();
}

void StandInRadio::pullCable()
{
    pullRequested_ = true;
}

void StandInRadio::loop()
{
    while (!ending_) {
        {
            std::scoped_lock lock(mutex_);
            keyDue();
        }
        if (pullRequested_ && !pulled_) {
            ::close(master_);
            ::close(slave_);
            slave_ = -1;
            pulled_ = true;
        }
        if (pulled_) {
            ::usleep(5000);
            continue;
        }
        pollfd ready{master_, POLLIN, 0};
        if (::poll(&ready, 1, 2) <= 0 || !(ready.revents & POLLIN))
            continue;
        char bytes[256];
        const ssize_t count = ::read(master_, bytes, sizeof bytes);
        if (count <= 0)
            continue;
        std::unique_lock lock(mutex_);
        input_.append(bytes, count);
        while (const std::optional<QByteArray> command = takeCommand(input_)) {
            lock.unlock();
            handle(*command);
            lock.lock();
        }
    }
}

void StandInRadio::handle(const QByteArray &command)
{
    QByteArray reply;
    {
        std::scoped_lock lock(mutex_);
        commands_.push_back(command);
        if (silentAfterPieces_ >= 0 && int(pieces_.size()) >= silentAfterPieces_)
            return;
        reply = answer(command);
    }
    write(reply);
}

// pieces() keeps the command's text as sent; the keyer keys what the protocol makes of it.
void StandInRadio::takePiece(const QByteArray &text, const QByteArray &keyed)
{
    if (pieces_.empty())
        firstPieceAt_ = Clock::now();
    pieces_.push_back(text);
    overflowed_ = overflowed_ || isFull();
    if (buffer_.isEmpty())
        keyingFrom_ = Clock::now();
    buffer_ += keyed;
}

void StandInRadio::stopKeying()
{
    ++stops_;
    buffer_.clear();
}

void StandInRadio::setSpeed(int wpm)
{
    speed_ = wpm;
    speeds_.push_back(wpm);
}

int StandInRadio::unitsOf(char character) const
{
    if (character == ' ')
        return 4;
    int units = 2;
    for (const char *element = patternOf(character); *element; ++element)
        units += *element == '-' ? 4 : 2;
    return units;
}

// Keys the buffer's characters whose time has come, each from the end of the one before.
void StandInRadio::keyDue()
{
    const auto now = Clock::now();
    while (!buffer_.isEmpty()) {
        const auto length = std::chrono::microseconds(unitsOf(buffer_[0]) * 1'200'000 / speed_);
        if (keyingFrom_ + length > now)
            return;
        keyingFrom_ += length;
        keyed_.push_back({buffer_[0], keyingFrom_});
        buffer_.remove(0, 1);
    }
}

void StandInRadio::write(const QByteArray &bytes)
{
    if (!bytes.isEmpty() && !pulled_ && ::write(master_, bytes.constData(), bytes.size()) < 0)
        return; // Hamlib has closed the port; it asks again after opening it
}

std::vector<QByteArray> StandInRadio::commands() const
{
    std::scoped_lock lock(mutex_);
    return commands_;
}

std::vector<QByteArray> StandInRadio::pieces() const
{
    std::scoped_lock lock(mutex_);
    return pieces_;
}

std::vector<int> StandInRadio::speeds() const
{
    std::scoped_lock lock(mutex_);
    return speeds_;
}

QByteArray StandInRadio::keyedText() const
{
    std::scoped_lock lock(mutex_);
    QByteArray text;
    for (const Keyed &keyed : keyed_)
        text += keyed.character;
    return text;
}

std::vector<StandInRadio::Keyed> StandInRadio::keyed() const
{
    std::scoped_lock lock(mutex_);
    return keyed_;
}

QByteArray StandInRadio::buffered() const
{
    std::scoped_lock lock(mutex_);
    return buffer_;
}

bool StandInRadio::overflowed() const
{
    std::scoped_lock lock(mutex_);
    return overflowed_;
}

StandInRadio::Clock::time_point StandInRadio::firstPieceAt() const
{
    std::scoped_lock lock(mutex_);
    return firstPieceAt_;
}

int StandInRadio::stops() const
{
    std::scoped_lock lock(mutex_);
    return stops_;
}
