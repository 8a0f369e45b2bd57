#include "keying/shared_flags.h"

namespace keying {

std::atomic<int> sendStopFlag{0};
std::atomic<int> beaconFlag{0};
std::atomic<int> G_thread{0};
std::atomic<int> G_transmitCount{0};
std::atomic<int> code_add{0};
std::atomic<int> pttHoldFlag{0};

} // namespace keying
