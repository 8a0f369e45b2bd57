#include "console/repeat_guard.h"

bool RepeatGuard::admit(int key)
{
    const auto now = clock_();
    if (key == key_ && now - opened_ < window)
        return false;
    key_ = key;
    opened_ = now;
    return true;
}
