#include "console/screen_frame.h"

ScreenFrame::ScreenFrame(QObject *parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    timer_.setInterval(length);
    connect(&timer_, &QTimer::timeout, this, &ScreenFrame::ended);
}

void ScreenFrame::request()
{
    if (!timer_.isActive())
        timer_.start();
}
