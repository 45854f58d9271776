// Denormal numbers cost a hundred times a normal operation on x86; a filter
// decaying towards zero would otherwise spike the CPU. For the length of a
// process call, tiny results are flushed to zero and tiny inputs read as
// zero, and the host's own setting comes back afterwards.
//
// Threads: the calling thread's floating-point mode only.
#pragma once

#include <cstdint>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace ov {

class ScopedFlushDenormals {
 public:
#if defined(__SSE__) || defined(__x86_64__)
  static constexpr uint32_t kFlushToZero = 0x8000;
  static constexpr uint32_t kDenormalsAreZero = 0x0040;
  ScopedFlushDenormals() : saved_(_mm_getcsr()) {
    _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero);
  }
  ~ScopedFlushDenormals() { _mm_setcsr(saved_); }
#elif defined(__aarch64__)
  static constexpr uint64_t kFlushToZero = uint64_t{1} << 24;
  ScopedFlushDenormals() {
    __asm__ volatile("mrs %0, fpcr" : "=r"(saved_));
    const uint64_t flushed = saved_ | kFlushToZero;
    __asm__ volatile("msr fpcr, %0" : : "r"(flushed));
  }
  ~ScopedFlushDenormals() { __asm__ volatile("msr fpcr, %0" : : "r"(saved_)); }
#else
  ScopedFlushDenormals() = default;
#endif
  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

 private:
#if defined(__SSE__) || defined(__x86_64__)
  uint32_t saved_;
#elif defined(__aarch64__)
  uint64_t saved_;
#endif
};

}  // namespace ov
