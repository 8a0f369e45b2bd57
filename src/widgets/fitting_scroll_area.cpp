#include "widgets/fitting_scroll_area.h"

FittingScrollArea::FittingScrollArea(QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    // Tab goes to the controls inside, which the area scrolls into view; the area itself is no stop.
    setFocusPolicy(Qt::NoFocus);
}

QSize FittingScrollArea::sizeHint() const
{
    if (!widget())
        return QScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return widget()->sizeHint() + QSize(frame, frame);
}
