#include "keying/transmission_echo.h"

#include "keying/shared_flags.h"

#include <algorithm>

using namespace keying;

namespace {

// Bytes above 127 are parts of a UTF-8 sequence sent one by one; each shows as U+FFFD so the log stays
// valid text.
QChar echoOf(unsigned char byte)
{
    return byte > 127 ? QChar(QChar::ReplacementCharacter) : QChar(byte);
}

} // namespace

TransmissionEcho::TransmissionEcho(ConsoleLookup console, std::function<void()> stop)
    : console_(console), paddles_(std::move(console), std::move(stop))
{
}

void TransmissionEcho::setListener(TransmissionListener *listener)
{
    listener_ = listener;
    paddles_.setListener(listener);
}

ConsoleLog *TransmissionEcho::console() const
{
    return console_ ? console_() : nullptr;
}

void TransmissionEcho::beginPass()
{
    paddles_.passBegins();
    if (G_transmitCount != 0)
        keyingLog('\n');
    pass_ = KeyedPass{};
    pass_.start = keyingDateLog();
    ++G_transmitCount;
    waited_ = 0;
}

void TransmissionEcho::endPass(bool stopped, bool practice)
{
    pass_.stopped = stopped;
    pass_.practice = practice;
    TransmissionListener *listener = listener_;
    if (listener && !pass_.text.isEmpty())
        listener->passKeyed(pass_);
    paddles_.passEnded();
}

void TransmissionEcho::characterKeyed(unsigned char code)
{
    keyingLog(char(code));
    pass_.text += echoOf(code);
}

// The speed may change while a pass keys: the pass keeps its slowest and its fastest.
void TransmissionEcho::speedKeyed(int wpm)
{
    pass_.slowest = pass_.slowest == 0 ? wpm : std::min(pass_.slowest, wpm);
    pass_.fastest = std::max(pass_.fastest, wpm);
}

void TransmissionEcho::timeKeyed(std::int64_t milliseconds)
{
    waited_ += milliseconds;
}

// The prompt shows the local time; the instant returned is in UTC.
QDateTime TransmissionEcho::keyingDateLog()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString stamp =
        now.toLocalTime().time().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ");
    if (ConsoleLog *log = console())
        log->appendPrompt(stamp);
    return now;
}

void TransmissionEcho::keyingLog(char character)
{
    if (ConsoleLog *log = console())
        log->appendText(QString(echoOf(uchar(character))));
}
