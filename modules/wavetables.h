// The oscillator's band-limited wave tables and its pitch table.
//
// Each waveform has a set of tables holding fewer and fewer harmonics; the
// oscillator plays the richest one whose highest harmonic stays below the
// Nyquist frequency at its phase increment. The limits are phase increments
// (2^32 is one cycle), so the wave tables do not depend on the sample rate;
// only the pitch table ("osc pitch lookup") does.
//
// Sharing: every table here is immutable once built. GetOscillatorTables
// builds under a lock, on the editor thread (at generator open), one table
// set per sample rate; the sets are kept for the life of the library and
// handed out as shared pointers to const, so any number of plug-in instances
// may read them on their audio threads while another instance opens at
// another sample rate.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/lookup_table.h"

namespace ov {

// One cycle in 512 entries; entries 512 and 513 repeat the start so that
// linear interpolation never wraps.
struct OscWavetable {
  static constexpr int kCycle = 512;
  static constexpr int kEntries = kCycle + 2;

  std::array<float, kEntries> entries{};
  // Entry i and its step to entry i + 1 (entries[i + 1] - entries[i], as
  // interpolation would compute it) side by side, for i below kCycle: one
  // 8-byte read fetches what interpolating at i needs.
  std::array<float, 2 * kCycle> pairs{};
  uint32_t upper = 0;             // the highest increment this table may play
  uint32_t lower = 0;             // below it a richer table exists (0: richest)
  uint32_t hysteresis_lower = 0;  // lower x 2^(-1/12): leaving downwards
  int32_t top_harmonic = 0;       // highest harmonic number; 0 for the silent table
};

// Richest table first, the fundamental alone last.
struct OscTableSet {
  std::vector<OscWavetable> tables;
};

enum class OscWave { kSine, kSaw, kTriangle };

// Builds a set: tables with about sqrt(2) times the harmonics of the one
// before, each scaled by gain x 0.5, optionally with the smoothing window
// 0.54 + 0.46 cos(pi (n - 1) / (m + 1)). Editor thread (slow).
OscTableSet BuildOscTableSet(OscWave wave, bool smooth);

struct OscWaveSets {
  OscTableSet sine;
  OscTableSet saw_smooth;
  OscTableSet saw;
  OscTableSet triangle;
  OscWavetable silent;  // zeros; chosen above the poorest table's range
};

// Everything an oscillator at one sample rate reads.
struct OscillatorTables {
  float sample_rate = 0.0f;
  std::shared_ptr<const OscWaveSets> waves;
  // "osc pitch lookup": 514 increments (as unsigned bit patterns), entry i
  // the increment of 440 x 2^(3 + i/512) Hz, one octave from 8 V to 9 V.
  std::shared_ptr<const ULookup_Integer> pitch;
};

// The table set for `sample_rate`, built on first request. Editor thread;
// the result may be read on any thread.
std::shared_ptr<const OscillatorTables> GetOscillatorTables(float sample_rate);

}  // namespace ov
