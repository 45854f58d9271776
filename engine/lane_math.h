// The vector types and helpers lane kernel bodies are written in, for any
// width W a body is built at. Include only from kernel sources, which are
// compiled with -Wno-psabi (every function here is inlined into each build
// of a body, so no wide vector crosses a call) and -ffp-contract=off (every
// build keeps the one-voice path's rounding).
#pragma once

#include <cstdint>
#include <utility>

#include "engine/lane_kernel.h"

namespace ov {

#define OV_LANE_INLINE [[gnu::always_inline]] inline
// After a lambda's parameter list: inlined too.
#define OV_LANE_LAMBDA __attribute__((always_inline))

// W floats or integers: on the baseline build each 8-lane operation takes
// two 4-wide instructions, on the AVX2 build one 8-wide instruction, and
// the AVX-512 build's 16 lanes one instruction.
template <int32_t W>
struct LaneTypes {
  typedef float Float __attribute__((vector_size(W * sizeof(float))));
  typedef int32_t Int __attribute__((vector_size(W * sizeof(int32_t))));
  typedef uint32_t Uint __attribute__((vector_size(W * sizeof(uint32_t))));
};
template <int32_t W>
using LaneFloat = typename LaneTypes<W>::Float;
template <int32_t W>
using LaneInt = typename LaneTypes<W>::Int;
template <int32_t W>
using LaneUint = typename LaneTypes<W>::Uint;

// The number of lanes of a vector of 4-byte elements.
template <typename V>
inline constexpr int32_t kWidthOf = static_cast<int32_t>(sizeof(V) / sizeof(float));

// --- Helpers for bodies.

template <int32_t W>
OV_LANE_INLINE LaneFloat<W> LaneSplat(float value) {
  LaneFloat<W> v;
  for (int32_t j = 0; j < W; ++j) v[j] = value;
  return v;
}

// 0, 1, ..., W - 1.
template <int32_t W>
OV_LANE_INLINE LaneUint<W> LaneIndices() {
  LaneUint<W> v;
  for (int32_t j = 0; j < W; ++j) v[j] = static_cast<uint32_t>(j);
  return v;
}

namespace lanes {
template <int32_t W, std::size_t... J>
OV_LANE_INLINE LaneFloat<W> LoadLanes(const float* const (&blocks)[W], int32_t k,
                                      std::index_sequence<J...>) {
  return LaneFloat<W>{blocks[J][k]...};
}
template <int32_t W, std::size_t... J>
OV_LANE_INLINE void StoreLanes(float* const (&blocks)[W], int32_t k, LaneFloat<W> v,
                               std::index_sequence<J...>) {
  ((blocks[J][k] = v[J]), ...);
}
template <typename I, std::size_t... J>
OV_LANE_INLINE LaneFloat<kWidthOf<I>> Gather(const float* table, I index,
                                             std::index_sequence<J...>) {
  return LaneFloat<kWidthOf<I>>{table[index[J]]...};
}
typedef float LaneQuad __attribute__((vector_size(4 * sizeof(float))));
typedef uint64_t LanePairs __attribute__((vector_size(2 * sizeof(uint64_t))));

OV_LANE_INLINE uint64_t LoadPair(const float* at) {
  uint64_t both;
  __builtin_memcpy(&both, at, sizeof both);
  return both;
}

// Lanes 4q to 4q + 3: their pairs read two to a register, then split into
// firsts and seconds, so that nothing passes through memory.
template <typename Pairs, typename I>
OV_LANE_INLINE void GatherQuad(Pairs pairs, I at, int32_t q, LaneQuad& first, LaneQuad& second) {
  const int32_t j = 4 * q;
  const auto low = reinterpret_cast<LaneQuad>(
      LanePairs{LoadPair(pairs(j) + at[j]), LoadPair(pairs(j + 1) + at[j + 1])});
  const auto high = reinterpret_cast<LaneQuad>(
      LanePairs{LoadPair(pairs(j + 2) + at[j + 2]), LoadPair(pairs(j + 3) + at[j + 3])});
  first = __builtin_shufflevector(low, high, 0, 2, 4, 6);
  second = __builtin_shufflevector(low, high, 1, 3, 5, 7);
}

template <typename Pairs, typename I>
OV_LANE_INLINE void GatherPairs(Pairs pairs, I index, LaneFloat<kWidthOf<I>>& first,
                                LaneFloat<kWidthOf<I>>& second) {
  constexpr int32_t W = kWidthOf<I>;
  static_assert(W == 8 || W == 16);
  // Float offsets, unsigned so that no lane's needs sign extending.
  const LaneUint<W> at = reinterpret_cast<LaneUint<W>>(index + index);
  LaneQuad f[W / 4], s[W / 4];
#pragma GCC unroll 4
  for (int32_t q = 0; q < W / 4; ++q) GatherQuad(pairs, at, q, f[q], s[q]);
  const auto join = [](LaneQuad a, LaneQuad b) OV_LANE_LAMBDA {
    return __builtin_shufflevector(a, b, 0, 1, 2, 3, 4, 5, 6, 7);
  };
  if constexpr (W == 8) {
    first = join(f[0], f[1]);
    second = join(s[0], s[1]);
  } else {
    const auto join8 = [](LaneFloat<8> a, LaneFloat<8> b) OV_LANE_LAMBDA {
      return __builtin_shufflevector(a, b, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    };
    first = join8(join(f[0], f[1]), join(f[2], f[3]));
    second = join8(join(s[0], s[1]), join(s[2], s[3]));
  }
}
}  // namespace lanes

// Sample k of each lane's block. Spelt out lane by lane, so that the
// compiler builds the vector in registers rather than through the stack
// (which stalls on store forwarding).
template <int32_t W>
OV_LANE_INLINE LaneFloat<W> LoadLanes(const float* const (&blocks)[W], int32_t k) {
  return lanes::LoadLanes<W>(blocks, k, std::make_index_sequence<W>());
}

template <int32_t W>
OV_LANE_INLINE void StoreLanes(float* const (&blocks)[W], int32_t k, LaneFloat<W> v) {
  lanes::StoreLanes<W>(blocks, k, v, std::make_index_sequence<W>());
}

// Stateless kernels put consecutive samples of one copy in the lanes
// instead: W samples from `p` (a block's slack covers the reads past the
// cell), and the first `n` of them stored back.
template <int32_t W>
OV_LANE_INLINE LaneFloat<W> LoadRun(const float* p) {
  LaneFloat<W> v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

template <typename V>
OV_LANE_INLINE void StoreRun(float* p, V v, int32_t n) {
  if (n == kWidthOf<V>) {
    __builtin_memcpy(p, &v, sizeof v);
    return;
  }
  for (int32_t j = 0; j < n; ++j) p[j] = v[j];
}

// Calls run(k, n) for the runs of samples [k, k + n) that cover
// [position, position + frames): whole runs of W (n a constant there),
// then what is left.
template <int32_t W, typename Run>
OV_LANE_INLINE void ForEachRun(int32_t position, int32_t frames, Run run) {
  const int32_t end = position + frames;
  int32_t k = position;
  for (; k + W <= end; k += W) run(k, W);
  if (k < end) run(k, end - k);
}

// table[index] lane by lane.
template <typename I>
OV_LANE_INLINE LaneFloat<kWidthOf<I>> Gather(const float* table, I index) {
  return lanes::Gather(table, index, std::make_index_sequence<kWidthOf<I>>());
}

// pairs[2 i] and pairs[2 i + 1] for each lane's index i (below 2^30), from
// one table or each lane from its own: one 8-byte read a lane where two
// gathers would take two.
template <typename I>
OV_LANE_INLINE void GatherPairs(const float* pairs, I index, LaneFloat<kWidthOf<I>>& first,
                                LaneFloat<kWidthOf<I>>& second) {
  lanes::GatherPairs([pairs](int32_t) OV_LANE_LAMBDA { return pairs; }, index, first, second);
}

template <typename I>
OV_LANE_INLINE void GatherPairs(const float* const (&pairs)[kWidthOf<I>], I index,
                                LaneFloat<kWidthOf<I>>& first, LaneFloat<kWidthOf<I>>& second) {
  lanes::GatherPairs([&pairs](int32_t j) OV_LANE_LAMBDA { return pairs[j]; }, index, first,
                     second);
}

template <typename I>
OV_LANE_INLINE LaneFloat<kWidthOf<I>> ToFloat(I v) {
  return __builtin_convertvector(v, LaneFloat<kWidthOf<I>>);
}
// Truncation toward 0, as a float-to-integer cast.
template <typename V>
OV_LANE_INLINE LaneInt<kWidthOf<V>> ToInt(V v) {
  return __builtin_convertvector(v, LaneInt<kWidthOf<V>>);
}

namespace lanes {
template <int32_t W, std::size_t... P>
OV_LANE_INLINE void Zip(LaneFloat<W> a, LaneFloat<W> b, LaneFloat<W>& low, LaneFloat<W>& high,
                        std::index_sequence<P...>) {
  low = __builtin_shufflevector(a, b, static_cast<int>(P / 2 + (P % 2) * W)...);
  high = __builtin_shufflevector(a, b, static_cast<int>(W / 2 + P / 2 + (P % 2) * W)...);
}
}  // namespace lanes

// The W x W matrix whose rows are rows[0 ... W - 1], transposed in place:
// log2(W) rounds of interleaving row i with row i + W/2, which ends with
// element (r, c) at (c, r). Shuffles only, nothing through memory.
template <int32_t W>
OV_LANE_INLINE void Transpose(LaneFloat<W> (&rows)[W]) {
#pragma GCC unroll 4
  for (int32_t round = 1; round < W; round *= 2) {
    LaneFloat<W> next[W];
#pragma GCC unroll 16
    for (int32_t i = 0; i < W / 2; ++i) {
      lanes::Zip<W>(rows[i], rows[i + W / 2], next[2 * i], next[2 * i + 1],
                    std::make_index_sequence<W>());
    }
#pragma GCC unroll 16
    for (int32_t i = 0; i < W; ++i) rows[i] = next[i];
  }
}

// A recurrence kernel's samples in tiles of W: each batch's W lanes read W
// samples each from their input blocks (vector loads), transposed so that
// `step(b, x)` sees sample k of every lane of batch b in order, and its
// results transposed back and stored as runs, so that no sample moves
// between a lane's block and a vector element by element. `step` returns
// an array of kOutputs vectors, written to out[o][b] for output o.
template <int32_t W, int32_t kBatches, int32_t kOutputs, typename Step>
OV_LANE_INLINE void RunTiles(const float* const (&in)[kBatches][W],
                             float* const (&out)[kOutputs][kBatches][W], int32_t position,
                             int32_t frames, Step step) {
  LaneFloat<W> x[kBatches][W];
  LaneFloat<W> y[kOutputs][kBatches][W] = {};
  const int32_t end = position + frames;
  for (int32_t k = position; k < end; k += W) {
    const int32_t n = end - k < W ? end - k : W;
    for (int32_t b = 0; b < kBatches; ++b) {
#pragma GCC unroll 16
      for (int32_t j = 0; j < W; ++j) x[b][j] = LoadRun<W>(in[b][j] + k);
      Transpose<W>(x[b]);
    }
    for (int32_t s = 0; s < n; ++s) {
      for (int32_t b = 0; b < kBatches; ++b) {
        const auto results = step(b, x[b][s]);
        for (int32_t o = 0; o < kOutputs; ++o) y[o][b][s] = results[o];
      }
    }
    for (int32_t o = 0; o < kOutputs; ++o) {
      for (int32_t b = 0; b < kBatches; ++b) {
        Transpose<W>(y[o][b]);
#pragma GCC unroll 16
        for (int32_t j = 0; j < W; ++j) StoreRun(out[o][b][j] + k, y[o][b][j], n);
      }
    }
  }
}

// RunTiles for kernels whose coefficients follow each lane's controls:
// `follow(b, k)` sets batch b's for sample k before `step` runs it, and the
// samples move between blocks and vectors lane by lane.
template <int32_t W, int32_t kBatches, int32_t kOutputs, typename Follow, typename Step>
OV_LANE_INLINE void RunSamples(const float* const (&in)[kBatches][W],
                               float* const (&out)[kOutputs][kBatches][W], int32_t position,
                               int32_t frames, Follow follow, Step step) {
  const int32_t end = position + frames;
  for (int32_t k = position; k < end; ++k) {
    for (int32_t b = 0; b < kBatches; ++b) {
      follow(b, k);
      const auto results = step(b, LoadLanes<W>(in[b], k));
      for (int32_t o = 0; o < kOutputs; ++o) StoreLanes<W>(out[o][b], k, results[o]);
    }
  }
}

// As std::max and std::min, lane by lane (a NaN in `a` comes back as is).
template <typename V>
OV_LANE_INLINE V LaneMax(V a, V b) {
  return a < b ? b : a;
}
template <typename V>
OV_LANE_INLINE V LaneMin(V a, V b) {
  return b < a ? b : a;
}

}  // namespace ov
