#pragma once

#include <QObject>

#include <memory>

class ElementTimeline;
class Lamp;
class ScreenFrame;
class TimelineFollower;

// The console's key lamp: lit from each key-down of the element timeline to its key-up, on the air and in
// practice alike. The events come on a follower thread, which looks once a frame and posts the lamp's
// state only when it changes, so that a busy window never holds up the transmission worker. The lamp
// changes when the console's screen frame ends, together with the log's text of that frame.
class KeyLamp : public QObject
{
    Q_OBJECT

public:
    // timeline: nullptr when the engine has none; the lamp then stays dark.
    KeyLamp(ElementTimeline *timeline, Lamp &lamp, ScreenFrame &frame, QObject *parent = nullptr);
    ~KeyLamp() override;

    // Stops following the timeline, which must happen before the engine that owns it goes; the lamp
    // goes dark.
    void stopFollowing();

private:
    void showFrame();
    void showState();

    Lamp &lamp_;
    ScreenFrame &frame_;
    // On the interface thread: the state posted last, and whether a lit one came since the frame began.
    bool latest_ = false;
    bool litSince_ = false;
    // On the follower's thread only.
    bool down_ = false;                          // the key is down
    bool sawDown_ = false;                       // a key-down came since the last frame
    bool posted_ = false;                        // the state last posted to the lamp
    std::unique_ptr<TimelineFollower> follower_; // last, so that it stops first
};
