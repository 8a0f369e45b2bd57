#include "console/console_clock.h"

#include <QEvent>
#include <QLabel>

namespace {

constexpr int timeInterval = 500; // ms

} // namespace

ConsoleClock::ConsoleClock(QLabel &label, QObject *parent) : QObject(parent), label_(label)
{
    label_.installEventFilter(this);
    timer_.setInterval(timeInterval);
    connect(&timer_, &QTimer::timeout, this, &ConsoleClock::timerStatus);
    timer_.start();
}

void ConsoleClock::timerStatus()
{
    if (timerFlag_)
        dateUpdate();
}

void ConsoleClock::dateUpdate()
{
    setDateJST(QDateTime::currentDateTime());
}

void ConsoleClock::setDateJST(const QDateTime &date)
{
    dateJST_ = date;
    show();
    emit dateJSTChanged(date);
}

bool ConsoleClock::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &label_ && event->type() == QEvent::Resize)
        show();
    return false;
}

// The date goes first when the label is narrow; the local time and UTC always show.
void ConsoleClock::show()
{
    const QString times = dateJST_.toLocalTime().toString(QStringLiteral("HH:mm:ss")) +
                          dateJST_.toUTC().toString(QStringLiteral("  '·  UTC' HH:mm"));
    const QString full = dateJST_.toLocalTime().toString(QStringLiteral("yyyy-MM-dd  ")) + times;
    label_.setMinimumWidth(label_.fontMetrics().horizontalAdvance(times) + 4);
    label_.setText(label_.fontMetrics().horizontalAdvance(full) < label_.width() ? full : times);
}
