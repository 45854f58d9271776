// Time and scheduling helpers for both threads.
#pragma once

#include <cstdint>

namespace ov {

// Milliseconds on a monotonic clock, truncated to 32 bits: compare two
// readings only through their difference. Any thread.
uint32_t MillisecondClock();

// Gives the rest of this time slice to other threads (a zero-length sleep).
// Any thread except audio.
void YieldProcessor();

}  // namespace ov
