// Time and scheduling helpers for both threads.
#pragma once

#include <cstdint>

namespace ov {

// Milliseconds on a monotonic clock, truncated to 32 bits: compare two
// readings only through their difference. Any thread.
uint32_t MillisecondClock();

// Nanoseconds on the same monotonic clock, not truncated. Any thread, audio
// included (no system call on Linux).
int64_t MonotonicNanoseconds();

// Processor time this thread has used, in nanoseconds: unlike the clocks
// above it does not run while the thread is preempted. Any thread, audio
// included (a system call that never blocks).
int64_t ThreadCpuNanoseconds();

// Gives the rest of this time slice to other threads (a zero-length sleep).
// Any thread except audio.
void YieldProcessor();

}  // namespace ov
