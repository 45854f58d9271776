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
// After a lambda's parameter list: inlined too.
#define OV_LANE_LAMBDA __attribute__((always_inline))

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

// Sample k of each lane's block. Spelt out lane by lane, so that the
// compiler builds the vector in registers rather than through the stack
// (which stalls on store forwarding).
static_assert(kLanes == 8);
OV_LANE_INLINE LaneFloat LoadLanes(const float* const (&blocks)[kLanes], int32_t k) {
  return LaneFloat{blocks[0][k], blocks[1][k], blocks[2][k], blocks[3][k],
                   blocks[4][k], blocks[5][k], blocks[6][k], blocks[7][k]};
}

OV_LANE_INLINE void StoreLanes(float* const (&blocks)[kLanes], int32_t k, LaneFloat v) {
  blocks[0][k] = v[0];
  blocks[1][k] = v[1];
  blocks[2][k] = v[2];
  blocks[3][k] = v[3];
  blocks[4][k] = v[4];
  blocks[5][k] = v[5];
  blocks[6][k] = v[6];
  blocks[7][k] = v[7];
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

// Calls run(k, n) for the runs of samples [k, k + n) that cover
// [position, position + frames): whole runs of kLanes (n a constant there),
// then what is left.
template <typename Run>
OV_LANE_INLINE void ForEachRun(int32_t position, int32_t frames, Run run) {
  const int32_t end = position + frames;
  int32_t k = position;
  for (; k + kLanes <= end; k += kLanes) run(k, kLanes);
  if (k < end) run(k, end - k);
}

// table[index] lane by lane, and each lane from its own table.
OV_LANE_INLINE LaneFloat Gather(const float* table, LaneInt index) {
  return LaneFloat{table[index[0]], table[index[1]], table[index[2]], table[index[3]],
                   table[index[4]], table[index[5]], table[index[6]], table[index[7]]};
}

OV_LANE_INLINE LaneFloat Gather(const float* const (&tables)[kLanes], LaneInt index) {
  return LaneFloat{tables[0][index[0]], tables[1][index[1]], tables[2][index[2]],
                   tables[3][index[3]], tables[4][index[4]], tables[5][index[5]],
                   tables[6][index[6]], tables[7][index[7]]};
}

OV_LANE_INLINE LaneFloat ToFloat(LaneInt v) { return __builtin_convertvector(v, LaneFloat); }
// Truncation toward 0, as a float-to-integer cast.
OV_LANE_INLINE LaneInt ToInt(LaneFloat v) { return __builtin_convertvector(v, LaneInt); }

// As std::max and std::min, lane by lane (a NaN in `a` comes back as is).
OV_LANE_INLINE LaneFloat LaneMax(LaneFloat a, LaneFloat b) { return a < b ? b : a; }
OV_LANE_INLINE LaneFloat LaneMin(LaneFloat a, LaneFloat b) { return b < a ? b : a; }

}  // namespace ov
