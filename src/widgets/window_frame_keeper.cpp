#include "widgets/window_frame_keeper.h"

#include <QEvent>
#include <QWidget>

namespace {

constexpr int saveDelay = 500; // ms after the last move or resize

} // namespace

WindowFrameKeeper::WindowFrameKeeper(QWidget &window, Load load, Save save)
    : window_(window), load_(std::move(load)), save_(std::move(save))
{
    pending_.setSingleShot(true);
    pending_.setInterval(saveDelay);
    connect(&pending_, &QTimer::timeout, this, &WindowFrameKeeper::save);
    window_.installEventFilter(this);
}

WindowFrameKeeper::~WindowFrameKeeper()
{
    if (pending_.isActive())
        save();
}

bool WindowFrameKeeper::restore()
{
    const QByteArray frame = QByteArray::fromBase64(load_().toLatin1());
    return !frame.isEmpty() && window_.restoreGeometry(frame);
}

void WindowFrameKeeper::save()
{
    pending_.stop();
    save_(QString::fromLatin1(window_.saveGeometry().toBase64()));
}

bool WindowFrameKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &window_)
        return false;
    if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && window_.isVisible())
        pending_.start();
    else if (event->type() == QEvent::Close)
        save();
    return false;
}
