#pragma once

// What an output that has paddles of its own (a hardware keyer) tells the layers above about the
// operator's own sending. Every call comes on the output's thread and returns at once.
class OutputListener
{
public:
    virtual ~OutputListener() = default;

    // A character the operator keyed with the paddles, as the keyer echoed it.
    virtual void paddleKeyed(char character) = 0;
    // The keyer went idle: what the paddles keyed so far makes one line.
    virtual void paddlesIdle() = 0;
    // The paddles broke into Keylark's text and the keyer dropped the rest of it.
    virtual void brokenIn() = 0;
};
