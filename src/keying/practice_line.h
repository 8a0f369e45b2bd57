#pragma once

#include "keying/keying_line.h"

// The line of practice mode: it opens no port and keys nothing, and every request succeeds, so that a
// transmission runs exactly as on the air (timing, echo, the element timeline) with no transmitter.
class PracticeLine : public KeyingLine
{
public:
    void configure() override {}
    bool open(const char *) override { return true; }
    bool isOpen() const override { return false; }
    bool keyDown() override { return true; }
    bool keyUp() override { return true; }
    bool close() override { return true; }
};
