#include "kenwood_stand_in.h"

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

// The answers of a TS-590S on 14.025 MHz in CW, for the commands that only read.
QByteArray readAnswer(const QByteArray &command)
{
    static const std::pair<const char *, const char *> answers[] = {
        {"ID", "ID021;"},         {"PS", "PS1;"},
        {"FV", "FV1.04;"},        {"IF", "IF00014025000      000000003000000000000;"},
        {"AI", "AI0;"},           {"FA", "FA00014025000;"},
        {"FB", "FB00014025000;"}, {"FR", "FR0;"},
        {"FT", "FT0;"},           {"MD", "MD3;"},
        {"DA", "DA0;"},
    };
    for (const auto &[read, reply] : answers) {
        if (command == read)
            return reply;
    }
    return {};
}

} // namespace

KenwoodStandIn::KenwoodStandIn(int capacity) : capacity_(capacity)
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
    thread_ = std::thread([this] { loop(); });
}

KenwoodStandIn::~KenwoodStandIn()
{
    ending_ = true;
    thread_.join();
    if (!pulled_) {
        ::close(master_);
        ::close(slave_);
    }
}

void KenwoodStandIn::pullCable()
{
    pullRequested_ = true;
}

void KenwoodStandIn::loop()
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
        for (qsizetype end; (end = input_.indexOf(';')) >= 0;) {
            const QByteArray command = input_.left(end);
            input_.remove(0, end + 1);
            lock.unlock();
            handle(command);
            lock.lock();
        }
    }
}

void KenwoodStandIn::handle(const QByteArray &command)
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

QByteArray KenwoodStandIn::answer(const QByteArray &command)
{
    if (command == "KS")
        return "KS" + QByteArray::number(speed_).rightJustified(3, '0') + ';';
    if (command.startsWith("KS")) {
        speed_ = command.mid(2).toInt();
        speeds_.push_back(speed_);
        return {};
    }
    if (command == "KY")
        return buffer_.size() >= capacity_ ? "KY1;" : "KY0;";
    if (command.startsWith("KY ")) {
        takePiece(command.mid(3));
        return {};
    }
    if (command.size() > 2 && readAnswer(command.left(2)).size() > 0)
        return {}; // a set, as FR0 or AI0: no answer
    const QByteArray reply = readAnswer(command);
    return reply.isEmpty() ? QByteArray("?;") : reply;
}

void KenwoodStandIn::takePiece(const QByteArray &text)
{
    if (pieces_.empty())
        firstPieceAt_ = Clock::now();
    pieces_.push_back(text);
    overflowed_ = overflowed_ || buffer_.size() >= capacity_;
    QByteArray keyed = text;
    while (keyed.startsWith(' '))
        keyed.remove(0, 1);
    const bool spaceAfter = keyed.endsWith(' ');
    while (keyed.endsWith(' '))
        keyed.chop(1);
    if (buffer_.isEmpty())
        keyingFrom_ = Clock::now();
    buffer_ += keyed + (spaceAfter ? " " : "");
}

int KenwoodStandIn::unitsOf(char character) const
{
    if (character == ' ')
        return 4;
    int units = 2;
    for (const char *element = patternOf(character); *element; ++element)
        units += *element == '-' ? 4 : 2;
    return units;
}

// Keys the buffer's characters whose time has come, each from the end of the one before.
void KenwoodStandIn::keyDue()
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

void KenwoodStandIn::write(const QByteArray &bytes)
{
    if (!bytes.isEmpty() && !pulled_ && ::write(master_, bytes.constData(), bytes.size()) < 0)
        return; // Hamlib has closed the port; it asks again after opening it
}

std::vector<QByteArray> KenwoodStandIn::commands() const
{
    std::scoped_lock lock(mutex_);
    return commands_;
}

std::vector<QByteArray> KenwoodStandIn::pieces() const
{
    std::scoped_lock lock(mutex_);
    return pieces_;
}

std::vector<int> KenwoodStandIn::speeds() const
{
    std::scoped_lock lock(mutex_);
    return speeds_;
}

QByteArray KenwoodStandIn::keyedText() const
{
    std::scoped_lock lock(mutex_);
    QByteArray text;
    for (const Keyed &keyed : keyed_)
        text += keyed.character;
    return text;
}

std::vector<KenwoodStandIn::Keyed> KenwoodStandIn::keyed() const
{
    std::scoped_lock lock(mutex_);
    return keyed_;
}

QByteArray KenwoodStandIn::buffered() const
{
    std::scoped_lock lock(mutex_);
    return buffer_;
}

bool KenwoodStandIn::overflowed() const
{
    std::scoped_lock lock(mutex_);
    return overflowed_;
}

KenwoodStandIn::Clock::time_point KenwoodStandIn::firstPieceAt() const
{
    std::scoped_lock lock(mutex_);
    return firstPieceAt_;
}
