#include "console/function_key_cell.h"

#include <QStyle>
#include <QStyleOptionButton>

namespace {

constexpr int narrowest = 48; // px: room for "F12" and its frame

} // namespace

FunctionKeyCell::FunctionKeyCell(const QString &label, QWidget *parent) : QPushButton(parent), label_(label)
{
    showLabel();
}

void FunctionKeyCell::setLabel(const QString &label)
{
    label_ = label;
    showLabel();
}

void FunctionKeyCell::setMessage(const QString &message)
{
    message_ = message;
    showLabel();
}

QSize FunctionKeyCell::sizeHint() const
{
    return {narrowest, QPushButton::sizeHint().height()};
}

QSize FunctionKeyCell::minimumSizeHint() const
{
    return {narrowest, QPushButton::minimumSizeHint().height()};
}

void FunctionKeyCell::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    showLabel();
}

void FunctionKeyCell::showLabel()
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const int width = room.width() - 2 * style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this);
    const QString shown = fontMetrics().elidedText(label_, Qt::ElideRight, std::max(width, 0));
    elided_ = shown != label_;
    QString escaped = shown;
    setText(escaped.replace(QLatin1Char('&'), QStringLiteral("&&")));
    setToolTip(elided_ && !message_.isEmpty() ? label_ + QLatin1Char('\n') + message_
               : elided_                      ? label_
                                              : message_);
}
