#pragma once

#include <atomic>

// The flags the interface thread and the transmission worker share. Each is read afresh at every check.
namespace keying {

extern std::atomic<int> sendStopFlag;    // 1: stop request
extern std::atomic<int> beaconFlag;      // 1: repeat the text until stopped
extern std::atomic<int> G_thread;        // 1: a worker holds the port; claimed with one test-and-set
extern std::atomic<int> G_transmitCount; // passes begun since the log was last cleared
extern std::atomic<int> code_add;        // 1: characters are joined into one sign
extern std::atomic<int> pttHoldFlag;     // 1: a logger's voice keyer wants PTT held on

} // namespace keying
