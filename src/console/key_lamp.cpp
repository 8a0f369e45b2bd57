#include "console/key_lamp.h"

#include "console/screen_frame.h"
#include "keying/timeline_follower.h"
#include "widgets/lamp.h"

#include <utility>

KeyLamp::KeyLamp(ElementTimeline *timeline, Lamp &lamp, ScreenFrame &frame, QObject *parent)
    : QObject(parent), lamp_(lamp), frame_(frame)
{
    connect(&frame_, &ScreenFrame::ended, this, &KeyLamp::showState);
    if (!timeline)
        return;
    const auto heard = [this](const KeyEvent &event) {
        down_ = event.edge == KeyEvent::Edge::Down;
        sawDown_ = sawDown_ || down_;
    };
    follower_ = std::make_unique<TimelineFollower>(*timeline, heard, [this] { showFrame(); });
}

// Once a frame while edges come, on the follower's thread: the lamp is posted only when it changes, and an
// element shorter than a frame still lights it for one.
void KeyLamp::showFrame()
{
    const bool lit = down_ || (std::exchange(sawDown_, false) && !posted_);
    if (lit == posted_)
        return;
    posted_ = lit;
    QMetaObject::invokeMethod(
        this,
        [this, lit] {
            latest_ = lit;
            litSince_ = litSince_ || lit;
            frame_.request();
        },
        Qt::QueuedConnection);
}

// When the screen frame ends, on the interface thread: a key-down that came and went within the frame still
// lights the lamp, for one frame.
void KeyLamp::showState()
{
    const bool lit = latest_ || (litSince_ && !lamp_.isLit());
    litSince_ = false;
    lamp_.setLit(lit);
    if (lit != latest_)
        frame_.request();
}

KeyLamp::~KeyLamp() = default;

void KeyLamp::stopFollowing()
{
    follower_.reset();
    latest_ = litSince_ = false;
    lamp_.setLit(false);
}
