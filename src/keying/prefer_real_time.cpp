#include "keying/prefer_real_time.h"

#include <pthread.h>
#include <sched.h>

bool preferRealTime(int priority)
{
    sched_param parameters{};
    parameters.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters) == 0;
}
