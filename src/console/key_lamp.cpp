#include "console/key_lamp.h"

#include "keying/timeline_follower.h"
#include "widgets/lamp.h"

#include <utility>

KeyLamp::KeyLamp(ElementTimeline *timeline, Lamp &lamp, QObject *parent) : QObject(parent), lamp_(lamp)
{
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
        this, [this, lit] { lamp_.setLit(lit); }, Qt::QueuedConnection);
}

KeyLamp::~KeyLamp() = default;

void KeyLamp::stopFollowing()
{
    follower_.reset();
    lamp_.setLit(false);
}
