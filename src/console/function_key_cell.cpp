#include "console/function_key_cell.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

FunctionKeyCell::FunctionKeyCell(const QString &keyName, QWidget *parent)
    : QPushButton(parent), keyName_(keyName), label_(keyName)
{
    keepKeyNameShown();
    nameForReaders();
}

void FunctionKeyCell::setLabel(const QString &label)
{
    label_ = label;
    showLabel();
    nameForReaders();
}

void FunctionKeyCell::setMessage(const QString &message)
{
    message_ = message;
    showLabel();
}

void FunctionKeyCell::setCurrentMessage(const QString &message)
{
    setAccessibleDescription(message.isEmpty() ? tr("No message stored") : message);
}

// Room for "F12" and the button's frame in the font the button has, and never less than at the usual
// font size.
QSize FunctionKeyCell::sizeHint() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const int text = fontMetrics().horizontalAdvance(QStringLiteral("F12"));
    const int margins = 2 * style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this) + 8;
    return {std::max(48, text + margins), QPushButton::sizeHint().height()};
}

QSize FunctionKeyCell::minimumSizeHint() const
{
    return {sizeHint().width(), QPushButton::minimumSizeHint().height()};
}

void FunctionKeyCell::changeEvent(QEvent *event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        keepKeyNameShown();
}

// However narrow the row, "F12" stays whole.
void FunctionKeyCell::keepKeyNameShown()
{
    QStyleOptionButton option;
    initStyleOption(&option);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("F12")) +
                    2 * style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this) + 4);
    showLabel();
}

void FunctionKeyCell::nameForReaders()
{
    setAccessibleName(label_.isEmpty() || label_ == keyName_ ? keyName_ : tr("%1, %2").arg(keyName_, label_));
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
