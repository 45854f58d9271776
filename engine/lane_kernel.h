// What a module supplies to run its voice copies side by side: a lane
// kernel, one body built twice (the portable baseline and, on x86-64, an
// AVX2/FMA build). A body sees up to kLanes copies that are all in the same
// process function and runs them over the same samples: lane j is copy j.
// A kernel whose body is one long recurrence (a filter) may add a paired
// AVX2 build that steps two batches of kLanes in the same loop, so that one
// batch's arithmetic fills the other's latency.
// Bodies are written with engine/lane_math.h.
//
// Threads: kernels run on the audio thread, under the master's slice loop.
#pragma once

#include <cstdint>

namespace ov {

class ug_base;

inline constexpr int32_t kLanes = 8;
inline constexpr int32_t kPairedLanes = 2 * kLanes;

// One call of a kernel: `count` copies (1 to kLanes, or to kPairedLanes for
// a paired build) over samples
// [position, position + frames) of the current cell. Lanes past `count`
// repeat copy 0's inputs and state and write their outputs to `scratch`
// (an engine block plus slack), so a body never tests for them.
struct LaneBatch {
  ug_base* const* members;
  int32_t count;
  int32_t position;
  int32_t frames;
  float* scratch;

  template <typename T>
  T& Member(int32_t lane) const {
    return static_cast<T&>(*members[lane < count ? lane : 0]);
  }
  // The lane's output block: the member's, or the scratch block.
  float* Output(int32_t lane, float* block) const { return lane < count ? block : scratch; }
};

using LaneRun = void (*)(const LaneBatch& batch);

struct LaneKernel {
  LaneRun baseline = nullptr;
  LaneRun wide = nullptr;         // null where there is no AVX2 build
  LaneRun wide_paired = nullptr;  // the AVX2 build over two batches, if any
  explicit operator bool() const { return baseline != nullptr; }
};

namespace lanes {

template <void (*Body)(const LaneBatch&)>
void RunBaseline(const LaneBatch& batch) {
  Body(batch);
}
#if defined(__x86_64__)
template <void (*Body)(const LaneBatch&)>
[[gnu::target("avx2,fma")]] void RunWide(const LaneBatch& batch) {
  Body(batch);
}
#endif

}  // namespace lanes

// The kernel of a body (marked OV_LANE_INLINE, so that each build inlines
// its own copy of everything it uses and nothing compiled for AVX2 is ever
// shared with baseline code): `static constexpr LaneKernel k = MakeLaneKernel<Body>();`
template <void (*Body)(const LaneBatch&)>
constexpr LaneKernel MakeLaneKernel() {
#if defined(__x86_64__)
  return {&lanes::RunBaseline<Body>, &lanes::RunWide<Body>, nullptr};
#else
  return {&lanes::RunBaseline<Body>, nullptr, nullptr};
#endif
}

// With `Paired`, the same body over up to kPairedLanes copies.
template <void (*Body)(const LaneBatch&), void (*Paired)(const LaneBatch&)>
constexpr LaneKernel MakePairedLaneKernel() {
#if defined(__x86_64__)
  return {&lanes::RunBaseline<Body>, &lanes::RunWide<Body>, &lanes::RunWide<Paired>};
#else
  return {&lanes::RunBaseline<Body>, nullptr, nullptr};
#endif
}

}  // namespace ov
