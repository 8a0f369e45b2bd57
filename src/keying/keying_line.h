#pragma once

// The line the transmission worker keys. Whenever no element is being keyed, the line rests in its
// key-up state. The serial port's DTR and RTS lines are one such line.
class KeyingLine
{
public:
    virtual ~KeyingLine() = default;

    // Reads the line's settings; called at start-up and before every transmission.
    virtual void configure() = 0;
    // Opens the line and puts it at rest. False when it cannot be opened (reported).
    virtual bool open(const char *path) = 0;
    virtual bool isOpen() const = 0;
    // False when the request failed (reported); the line's state is then unknown.
    virtual bool keyDown() = 0;
    // Puts the line at rest, trying again for a while. False when it may still be keyed (reported).
    virtual bool keyUp() = 0;
    // Puts the line at rest and releases it. False when it could not be put at rest; it stays open then.
    virtual bool close() = 0;
};
