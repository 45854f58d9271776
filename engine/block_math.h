// Slice arithmetic for one-copy process functions, four samples at a time:
// the compiler's -O2 leaves such loops scalar, since it cannot prove that a
// module's input and output blocks do not overlap. Each sample is rounded
// as the scalar loop rounds it.
//
// Threads: the audio thread.
#pragma once

#include <cstdint>

namespace ov {

namespace block_math {
typedef float Floats4 __attribute__((vector_size(16)));

inline Floats4 Load4(const float* p) {
  Floats4 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline void Store4(float* p, Floats4 v) { __builtin_memcpy(p, &v, sizeof v); }
}  // namespace block_math

// out[i] = gain * in[i] for i in [first, first + count).
inline void ScaleSamples(float* out, const float* in, float gain, int32_t first, int32_t count) {
  using namespace block_math;
  const Floats4 g = {gain, gain, gain, gain};
  const int32_t end = first + count;
  int32_t i = first;
  for (; i + 4 <= end; i += 4) Store4(out + i, g * Load4(in + i));
  for (; i < end; ++i) out[i] = gain * in[i];
}

// The same gain pair into two outputs (a pan with still controls).
inline void ScaleSamples2(float* out1, float* out2, const float* in, float gain1, float gain2,
                          int32_t first, int32_t count) {
  using namespace block_math;
  const Floats4 g1 = {gain1, gain1, gain1, gain1};
  const Floats4 g2 = {gain2, gain2, gain2, gain2};
  const int32_t end = first + count;
  int32_t i = first;
  for (; i + 4 <= end; i += 4) {
    const Floats4 x = Load4(in + i);
    Store4(out1 + i, g1 * x);
    Store4(out2 + i, g2 * x);
  }
  for (; i < end; ++i) {
    out1[i] = gain1 * in[i];
    out2[i] = gain2 * in[i];
  }
}

}  // namespace ov
