#include "keying/paddle_echo.h"

#include "keying/shared_flags.h"

#include <utility>

using namespace keying;

PaddleEcho::PaddleEcho(ConsoleLookup console, std::function<void()> stop)
    : console_(std::move(console)), stop_(std::move(stop))
{
}

ConsoleLog *PaddleEcho::console() const
{
    return console_ ? console_() : nullptr;
}

void PaddleEcho::passBegins()
{
    std::scoped_lock lock(mutex_);
    closeLine();
    keylarkPass_ = true;
}

void PaddleEcho::passEnded()
{
    std::scoped_lock lock(mutex_);
    keylarkPass_ = false;
    if (waiting_.isEmpty())
        return;
    write(std::exchange(waiting_, {}), waitedFrom_);
    if (std::exchange(idleWhileWaiting_, false))
        closeLine();
}

void PaddleEcho::finish()
{
    std::scoped_lock lock(mutex_);
    if (!waiting_.isEmpty())
        write(std::exchange(waiting_, {}), waitedFrom_);
    closeLine();
}

void PaddleEcho::paddleKeyed(char character)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::scoped_lock lock(mutex_);
    if (!keylarkPass_) {
        write(QByteArray(1, character), now);
        return;
    }
    if (waiting_.isEmpty())
        waitedFrom_ = now;
    waiting_ += character;
}

void PaddleEcho::paddlesIdle()
{
    std::scoped_lock lock(mutex_);
    if (keylarkPass_)
        idleWhileWaiting_ = !waiting_.isEmpty();
    else
        closeLine();
}

void PaddleEcho::brokenIn()
{
    stop_();
    if (ConsoleLog *log = console())
        log->brokenIn();
}

// The prompt shows the local time of the line's first character, as Keylark's own lines do.
void PaddleEcho::write(const QByteArray &characters, const QDateTime &start)
{
    ConsoleLog *log = console();
    if (!line_) {
        if (G_transmitCount != 0 && log)
            log->appendPaddleText(QStringLiteral("\n"));
        ++G_transmitCount;
        line_ = KeyedPass{.start = start, .paddle = true};
        if (log)
            log->appendPaddlePrompt(start.toLocalTime().time().toString(QStringLiteral("HH:mm:ss")) +
                                    QStringLiteral("  ") + mark);
    }
    const QString text = QString::fromLatin1(characters).toUpper();
    line_->text += text;
    if (log)
        log->appendPaddleText(text);
}

void PaddleEcho::closeLine()
{
    if (!line_)
        return;
    if (TransmissionListener *listener = listener_)
        listener->passKeyed(*line_);
    line_.reset();
}
