#include "console/key_lamp.h"

#include "keying/timeline_follower.h"
#include "widgets/readable_colours.h"

#include <QLabel>

#include <utility>

KeyLamp::KeyLamp(ElementTimeline *timeline, QLabel &label, QObject *parent) : QObject(parent), label_(label)
{
    restyle();
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
        this, [this, lit] { show(lit); }, Qt::QueuedConnection);
}

KeyLamp::~KeyLamp() = default;

void KeyLamp::stopFollowing()
{
    follower_.reset();
    show(false);
}

void KeyLamp::show(bool lit)
{
    if (lit == lit_)
        return;
    lit_ = lit;
    restyle();
}

// Amber when lit and a quiet frame when dark; in a high-contrast theme the theme's two colours, reversed
// when lit.
void KeyLamp::restyle()
{
    const bool high = ReadableColours::isHighContrast(label_.palette());
    QString colours;
    if (lit_)
        colours = high ? QStringLiteral("background: palette(window-text); color: palette(window);")
                       : QStringLiteral("background: #ffb300; color: #3a2600; border: 1px solid #c68400;");
    else
        colours = high ? QStringLiteral("border: 1px solid palette(window-text);")
                       : QStringLiteral("border: 1px solid palette(mid); color: palette(mid);");
    label_.setStyleSheet(
        QStringLiteral("QLabel { %1 border-radius: 4px; padding: 3px 8px; font-weight: bold; }")
            .arg(colours));
    label_.setProperty("lit", lit_);
}
