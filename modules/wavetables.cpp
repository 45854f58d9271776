#include "modules/wavetables.h"

#include <bit>
#include <cmath>
#include <mutex>
#include <numbers>

#include "engine/saturating_cast.h"

namespace ov {
namespace {

// One harmonic of a waveform's Fourier series: number and amplitude (before
// the overall gain).
struct OscHarmonic {
  int32_t number;
  double amplitude;
};

// The harmonic series: sine (1 harmonic, gain 1.0), saw (256, gain 0.64),
// triangle (128 odd harmonics, gain 0.81).
std::vector<OscHarmonic> OscHarmonics(OscWave wave) {
  std::vector<OscHarmonic> harmonics;
  switch (wave) {
    case OscWave::kSine:
      harmonics.push_back({1, 1.0});
      break;
    case OscWave::kSaw:
      for (int k = 0; k < 256; ++k) harmonics.push_back({k + 1, -1.0 / (k + 1)});
      break;
    case OscWave::kTriangle:
      for (int k = 0; k < 128; ++k) {
        const double n = 2.0 * k + 1.0;
        harmonics.push_back({2 * k + 1, ((k % 2 == 0) ? 1.0 : -1.0) / (n * n)});
      }
      break;
  }
  return harmonics;
}

double OscGain(OscWave wave) {
  switch (wave) {
    case OscWave::kSaw:
      return 0.64;
    case OscWave::kTriangle:
      return 0.81;
    case OscWave::kSine:
    default:
      return 1.0;
  }
}

// 2^(-1/6): the highest harmonic stays a sixth of an octave under Nyquist.
const double kSixthOctaveDown = std::exp2(-1.0 / 6.0);
const double kSemitoneDown = std::exp2(-1.0 / 12.0);

void FillTable(OscWavetable& table, const std::vector<OscHarmonic>& harmonics, int32_t top,
               double gain, bool smooth) {
  // 2pi as a 32-bit float, as the design gives it.
  const double two_pi = static_cast<double>(static_cast<float>(2.0 * std::numbers::pi));
  std::array<double, OscWavetable::kEntries> sum{};
  for (int32_t k = 0; k <= top; ++k) {
    double amplitude = harmonics[k].amplitude * gain * 0.5;
    if (smooth) {
      amplitude *= 0.54 + 0.46 * std::cos(std::numbers::pi * (harmonics[k].number - 1) / (top + 1));
    }
    const double step = two_pi / OscWavetable::kCycle * harmonics[k].number;
    for (int j = 0; j < OscWavetable::kEntries; ++j) sum[j] += amplitude * std::sin(j * step);
  }
  for (int j = 0; j < OscWavetable::kEntries; ++j) {
    const float value = static_cast<float>(sum[j]);
    table.entries[j] = FlushTableValue(value);
  }
  for (int i = 0; i < OscWavetable::kCycle; ++i) {
    table.pairs[2 * i] = table.entries[i];
    table.pairs[2 * i + 1] = table.entries[i + 1] - table.entries[i];
  }
  table.top_harmonic = harmonics[top].number;
}

}  // namespace

OscTableSet BuildOscTableSet(OscWave wave, bool smooth) {
  const std::vector<OscHarmonic> harmonics = OscHarmonics(wave);
  const double gain = OscGain(wave);
  const int32_t last = static_cast<int32_t>(harmonics.size()) - 1;

  // Built poorest first, then reversed so that index 0 is the richest.
  std::vector<OscWavetable> poorest_first;
  int32_t m = 0;
  while (true) {
    OscWavetable& table = poorest_first.emplace_back();
    FillTable(table, harmonics, m, gain, smooth);
    table.upper = SaturatingCast<uint32_t>(2147483648.0 / harmonics[m].number * kSixthOctaveDown);
    if (poorest_first.size() > 1) {
      // The table one harmonic step poorer starts where this one ends.
      OscWavetable& poorer = poorest_first[poorest_first.size() - 2];
      poorer.lower = table.upper;
      poorer.hysteresis_lower = SaturatingCast<uint32_t>(table.upper * kSemitoneDown);
    }
    if (m == last) break;
    int32_t next = m + 1;
    while (next < last && harmonics[next].number < std::numbers::sqrt2 * harmonics[m].number) {
      ++next;
    }
    m = next;
  }
  poorest_first.back().lower = 0;
  poorest_first.back().hysteresis_lower = 0;

  OscTableSet set;
  set.tables.assign(poorest_first.rbegin(), poorest_first.rend());
  return set;
}

namespace {

std::shared_ptr<const OscWaveSets> BuildWaveSets() {
  auto sets = std::make_shared<OscWaveSets>();
  sets->sine = BuildOscTableSet(OscWave::kSine, false);
  sets->saw_smooth = BuildOscTableSet(OscWave::kSaw, true);
  sets->saw = BuildOscTableSet(OscWave::kSaw, false);
  sets->triangle = BuildOscTableSet(OscWave::kTriangle, false);
  sets->silent.upper = UINT32_MAX;
  // Leaving silence downwards takes a semitone below the poorest saw's
  // limit, as any other table boundary (every set's poorest table is the
  // fundamental alone, so they share the limit).
  sets->silent.lower = sets->sine.tables.back().upper;
  sets->silent.hysteresis_lower = SaturatingCast<uint32_t>(sets->silent.lower * kSemitoneDown);
  return sets;
}

void FillPitchTable(ULookup_Integer& table, float sample_rate) {
  table.entries.resize(OscWavetable::kEntries);
  for (int i = 0; i < OscWavetable::kEntries; ++i) {
    const double volts = (i / 5120.0 + 0.8) * 10.0 - 5.0;  // 3 + i/512
    const double increment = std::round(std::exp2(volts) * 440.0 * 4294967296.0 / sample_rate);
    table.entries[i] = std::bit_cast<int32_t>(SaturatingCast<uint32_t>(increment));
  }
}

}  // namespace

std::shared_ptr<const OscillatorTables> GetOscillatorTables(float sample_rate) {
  // The wave sets do not depend on the rate: built once, on first use.
  static const std::shared_ptr<const OscWaveSets> waves = BuildWaveSets();
  static std::mutex mutex;
  static std::vector<std::shared_ptr<const OscillatorTables>> by_rate;

  const std::lock_guard lock(mutex);
  for (const auto& tables : by_rate) {
    if (SampleRateKey(tables->sample_rate) == SampleRateKey(sample_rate)) return tables;
  }
  auto tables = std::make_shared<OscillatorTables>();
  tables->sample_rate = sample_rate;
  tables->waves = waves;
  tables->pitch = GetLookupTable<ULookup_Integer>(
      "osc pitch lookup", SampleRateKey(sample_rate),
      [sample_rate](ULookup_Integer& table) { FillPitchTable(table, sample_rate); });
  by_rate.push_back(tables);
  return tables;
}

}  // namespace ov
