#include "widgets/steady_scroll_bar.h"

#include <QStyle>
#include <QStyleOptionSlider>

#include <utility>

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
}

// A log that adds a line and drops its oldest moves the range twice, and only the end matters: the look is
// compared once the changes of this turn of the event loop are over.
void SteadyScrollBar::sliderChange(SliderChange change)
{
    if (!shown_) {
        QScrollBar::sliderChange(change);
        return;
    }
    if (std::exchange(lookDue_, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this, change] {
            lookDue_ = false;
            if (look() != *shown_)
                QScrollBar::sliderChange(change);
        },
        Qt::QueuedConnection);
}

void SteadyScrollBar::paintEvent(QPaintEvent *event)
{
    shown_ = look();
    QScrollBar::paintEvent(event);
}

// The slider's place and size, and the arrows, which a style greys out at either end.
SteadyScrollBar::Look SteadyScrollBar::look() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum()};
}
