// What a module supplies to run its voice copies side by side: a lane
// kernel, one body built three times (the portable baseline and, on x86-64,
// an AVX2/FMA build of kLanes lanes and an AVX-512 build of kWidestLanes).
// A body sees up to its width of copies that are all in the same process
// function and runs them over the same samples: lane j is copy j.
// A kernel whose body is one long recurrence (a filter) may add paired
// builds that step two batches in the same loop, so that one batch's
// arithmetic fills the other's latency.
// A body is a function template over its width W, written with
// engine/lane_math.h and instantiated at kLanes and at kWidestLanes.
//
// Threads: kernels run on the audio thread, under the master's slice loop.
#pragma once

#include <cstdint>

namespace ov {

class ug_base;

// Which kernels an engine runs: none (every copy on its own path), the
// baseline build, the AVX2/FMA build or the AVX-512 build.
enum class LaneMode { kOff, kBaseline, kAvx2, kAvx512 };

// Whether `mode` runs vector builds wider than the baseline's 4-wide
// instructions. Any thread.
inline bool RunsVectorBuilds(LaneMode mode) {
  return mode == LaneMode::kAvx2 || mode == LaneMode::kAvx512;
}

inline constexpr int32_t kLanes = 8;         // a baseline or AVX2 batch
inline constexpr int32_t kWidestLanes = 16;  // an AVX-512 batch
// The most copies one kernel call takes: a paired AVX-512 build.
inline constexpr int32_t kMostLanesPerCall = 2 * kWidestLanes;

// One call of a kernel: `count` copies (1 to the build's width, or to twice
// it for a paired build) over samples [position, position + frames) of the
// current cell. Lanes past `count` repeat copy 0's inputs and state and
// write their outputs to `scratch` (an engine block plus slack), so a body
// never tests for them.
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

// One build of a kernel: how many copies a call of `run` takes, and the
// paired build over twice as many, if any.
struct LaneBuild {
  LaneRun run = nullptr;
  LaneRun paired = nullptr;
  int32_t lanes = 0;
};

struct LaneKernel {
  LaneRun baseline = nullptr;
  LaneBuild avx2;    // empty where there is no x86-64 build
  LaneBuild avx512;  // likewise
  explicit operator bool() const { return baseline != nullptr; }
};

namespace lanes {

template <void (*Body)(const LaneBatch&)>
void RunBaseline(const LaneBatch& batch) {
  Body(batch);
}
#if defined(__x86_64__)
template <void (*Body)(const LaneBatch&)>
[[gnu::target("avx2,fma")]] void RunAvx2(const LaneBatch& batch) {
  Body(batch);
}
template <void (*Body)(const LaneBatch&)>
[[gnu::target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma")]] void RunAvx512(
    const LaneBatch& batch) {
  Body(batch);
}
#endif

}  // namespace lanes

// The kernel of a body (marked OV_LANE_INLINE, so that each build inlines
// its own copy of everything it uses and nothing compiled for AVX2 or
// AVX-512 is ever shared with baseline code), given at kLanes and at
// kWidestLanes:
// `static constexpr LaneKernel k = MakeLaneKernel<&Body<kLanes>, &Body<kWidestLanes>>();`
template <void (*Body)(const LaneBatch&), void (*WidestBody)(const LaneBatch&)>
constexpr LaneKernel MakeLaneKernel() {
#if defined(__x86_64__)
  return {&lanes::RunBaseline<Body>,
          {&lanes::RunAvx2<Body>, nullptr, kLanes},
          {&lanes::RunAvx512<WidestBody>, nullptr, kWidestLanes}};
#else
  return {&lanes::RunBaseline<Body>, {}, {}};
#endif
}

// A kernel whose AVX-512 build measured slower than its AVX2 build (a
// stateless one, whose table lookups read lane by lane): the AVX2 build in
// both places.
template <void (*Body)(const LaneBatch&)>
constexpr LaneKernel MakeAvx2LaneKernel() {
  LaneKernel kernel = MakeLaneKernel<Body, Body>();
  kernel.avx512 = kernel.avx2;
  return kernel;
}

// With the paired bodies, the same over two batches at once.
template <void (*Body)(const LaneBatch&), void (*Paired)(const LaneBatch&),
          void (*WidestBody)(const LaneBatch&), void (*WidestPaired)(const LaneBatch&)>
constexpr LaneKernel MakePairedLaneKernel() {
#if defined(__x86_64__)
  return {&lanes::RunBaseline<Body>,
          {&lanes::RunAvx2<Body>, &lanes::RunAvx2<Paired>, kLanes},
          {&lanes::RunAvx512<WidestBody>, &lanes::RunAvx512<WidestPaired>, kWidestLanes}};
#else
  return {&lanes::RunBaseline<Body>, {}, {}};
#endif
}

}  // namespace ov
