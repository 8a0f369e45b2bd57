#pragma once

// Asks for the calling thread to run in real time (SCHED_FIFO) at priority. Where the system does not allow
// it (an ordinary user without a limit such as Debian's audio group sets), the thread keeps its policy and
// this returns false.
bool preferRealTime(int priority);
