// The vector types and helpers lane kernel bodies are written in. Include
// only from kernel sources, which are compiled with -Wno-psabi (every
// function here is inlined into each build of a body, so no 32-byte vector
// crosses a call) and -ffp-contract=off (both builds keep the one-voice
// path's rounding).
#pragma once

#include <cstdint>

#include "engine/lane_kernel.h"

namespace ov {

#define OV_LANE_INLINE [[gnu::always_inline]] inline

// kLanes floats or integers; on a baseline build each operation takes two
// 4-wide instructions, on the AVX2 build one 8-wide instruction.
typedef float LaneFloat __attribute__((vector_size(kLanes * sizeof(float))));
typedef int32_t LaneInt __attribute__((vector_size(kLanes * sizeof(int32_t))));
typedef uint32_t LaneUint __attribute__((vector_size(kLanes * sizeof(uint32_t))));

// --- Helpers for bodies.

OV_LANE_INLINE LaneFloat LaneSplat(float value) {
  LaneFloat v;
  for (int32_t j = 0; j < kLanes; ++j) v[j] = value;
  return v;
}

// Sample k of each lane's block.
OV_LANE_INLINE LaneFloat LoadLanes(const float* const (&blocks)[kLanes], int32_t k) {
  LaneFloat v;
  for (int32_t j = 0; j < kLanes; ++j) v[j] = blocks[j][k];
  return v;
}

OV_LANE_INLINE void StoreLanes(float* const (&blocks)[kLanes], int32_t k, LaneFloat v) {
  for (int32_t j = 0; j < kLanes; ++j) blocks[j][k] = v[j];
}

// Stateless kernels put consecutive samples of one copy in the lanes
// instead: eight samples from `p` (a block's slack covers the reads past
// the cell), and the first `n` of them stored back.
OV_LANE_INLINE LaneFloat LoadRun(const float* p) {
  LaneFloat v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

OV_LANE_INLINE void StoreRun(float* p, LaneFloat v, int32_t n) {
  if (n == kLanes) {
    __builtin_memcpy(p, &v, sizeof v);
    return;
  }
  for (int32_t j = 0; j < n; ++j) p[j] = v[j];
}

// table[index] lane by lane.
OV_LANE_INLINE LaneFloat Gather(const float* table, LaneInt index) {
  LaneFloat v;
  for (int32_t j = 0; j < kLanes; ++j) v[j] = table[index[j]];
  return v;
}

OV_LANE_INLINE LaneFloat ToFloat(LaneInt v) { return __builtin_convertvector(v, LaneFloat); }
// Truncation toward 0, as a float-to-integer cast.
OV_LANE_INLINE LaneInt ToInt(LaneFloat v) { return __builtin_convertvector(v, LaneInt); }

// As std::max and std::min, lane by lane (a NaN in `a` comes back as is).
OV_LANE_INLINE LaneFloat LaneMax(LaneFloat a, LaneFloat b) { return a < b ? b : a; }
OV_LANE_INLINE LaneFloat LaneMin(LaneFloat a, LaneFloat b) { return b < a ? b : a; }

}  // namespace ov
