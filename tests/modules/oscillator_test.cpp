// "Oscillator" against mathematics: frequencies by zero crossings, spectra
// by least squares and FFT, waveforms against their Fourier series, noise
// against the generator's recurrence and the pink spectrum's slope.
#include "modules/oscillator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <numeric>
#include <string>
#include <thread>

#include "engine/audio_master.h"
#include "tests/modules/dsp_measure.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

using Osc = ug_oscillator2;
constexpr double k2To32 = 4294967296.0;
constexpr double kPi = std::numbers::pi;

std::string Text(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

// Volts for a frequency under 1 V/octave (5 V = 440 Hz).
std::string VoltsFor(double hz) { return Text(5.0 + std::log2(hz / 440.0)); }
float SampleFor(double hz) { return static_cast<float>((5.0 + std::log2(hz / 440.0)) / 10.0); }

// The phase increment for a pitch of `volts` under 1 V/octave:
// the pitch table's octave 8-9 V, entry round(440 x 2^(3 + i/512) x 2^32 /
// fs), shifted down by 8 - e. Whole volts only (i = 0).
// (The tests run at 44.1 kHz.)
uint32_t IncrementForWholeVolts(int volts) {
  const auto entry = static_cast<uint32_t>(std::round(8.0 * 440.0 * k2To32 / 44100.0));
  return volts > 8 ? entry << (volts - 8) : entry >> (8 - volts);
}

// The sine table's content: 0.5 sin(2 pi p / 2^32).
double Sine(uint32_t phase) { return 0.5 * std::sin(2.0 * kPi * phase / k2To32); }

// Saw amplitudes of the table whose top harmonic is `top` (a_n =
// -1/n x 0.64 x 0.5, the smoothing window 0.54 + 0.46 cos(pi (n-1) / top)).
std::vector<double> SawAmplitudes(int top, bool smooth) {
  std::vector<double> a;
  for (int n = 1; n <= top; ++n) {
    double amplitude = 0.64 * 0.5 / n;
    if (smooth) amplitude *= 0.54 + 0.46 * std::cos(kPi * (n - 1) / top);
    a.push_back(amplitude);
  }
  return a;
}
// The saw table's waveform at phase p: sum of -a_n sin(n 2 pi p / 2^32).
double Saw(const std::vector<double>& a, uint32_t phase) {
  double sum = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    sum -= a[i] * std::sin((i + 1) * 2.0 * kPi * phase / k2To32);
  }
  return sum;
}

// The top harmonics of the saw tables and the limit of each.
const int kSawTops[] = {1, 2, 3, 5, 8, 12, 17, 25, 36, 51, 73, 104, 148, 210, 256};
double UpperFor(int top) { return 2147483648.0 / top * std::exp2(-1.0 / 6.0); }

class OscillatorTest : public ModuleTest {
 protected:
  Osc& AddOscillator(std::initializer_list<std::pair<int, std::string>> values) {
    Osc& osc = AddRaw(std::make_unique<Osc>(), 1);
    for (const auto& [plug, text] : values) osc.plug(plug)->SetValueFromText(text);
    return osc;
  }
  static UPlug& Out(Osc& osc) { return *osc.plug(Osc::kAudioOut); }
};

// --- Frequency.

TEST_F(OscillatorTest, EveryWaveformHasItsFrequencyWithinOneHundredthOfAPercent) {
  struct Pitch {
    std::string text;
    int scale;
    double hz;
  };
  const Pitch pitches[] = {
      {"5", 0, 440.0}, {"6", 0, 880.0}, {VoltsFor(1000.0), 0, 1000.0}, {"1", 1, 1000.0}};
  const int waveforms[] = {Osc::kSine, Osc::kSaw, Osc::kRamp, Osc::kTriangle, Osc::kPulse};
  std::vector<UPlug*> outputs;
  std::vector<std::string> names;
  std::vector<double> expected;
  for (const int waveform : waveforms) {
    for (const Pitch& pitch : pitches) {
      Osc& osc = AddOscillator({{Osc::kWaveform, std::to_string(waveform)},
                                {Osc::kPitch, pitch.text},
                                {Osc::kFreqScale, std::to_string(pitch.scale)}});
      outputs.push_back(&Out(osc));
      names.push_back("waveform " + std::to_string(waveform) + " at " + Text(pitch.hz) +
                      (pitch.scale ? " Hz (1 V/kHz)" : " Hz (1 V/octave)"));
      expected.push_back(pitch.hz);
    }
  }
  Start();
  // Two seconds: a crossing misplaced by half a sample moves the estimate
  // by under 6e-6.
  const auto recorded = Record(outputs, 2 * 44100);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const double measured = FrequencyByCrossings(recorded[i], kRate);
    EXPECT_NEAR(measured / expected[i], 1.0, 1e-4) << names[i] << ": " << measured << " Hz";
  }
}

TEST_F(OscillatorTest, StreamingPitchGivesTheSameFrequencyAsAStaticOne) {
  Osc& osc = AddOscillator({{Osc::kWaveform, "0"}});
  DriveInput(*osc.plug(Osc::kPitch), [](int64_t) { return 0.6f; });
  Start();
  const std::vector<float> out = Record(Out(osc), 2 * 44100);
  EXPECT_NEAR(FrequencyByCrossings(out, kRate) / 880.0, 1.0, 1e-4);
}

// --- Band limiting.

// A saw at 5 kHz (1 V/kHz, exactly 5000 Hz asked) at 44.1 kHz.
//
// The bound, from the table design: the table chosen is the richest whose
// limit 2^31/M x 2^(-1/6) still exceeds the increment, here the one with
// harmonics 1 ... 3, so no harmonic of the table itself reaches Nyquist. What
// can alias is what linear interpolation between the 512 entries adds: the
// interpolated cycle has, besides harmonic n (scaled by sinc^2(n/512)),
// images at 512m +- n of amplitude a_n sinc^2(m -+ n/512), m >= 1, which
// fold to non-harmonic frequencies. Their sum over n and m bounds any one
// component; float rounding of the tables and of the interpolation
// (|error| <= 1.2e-7 per sample) adds at most 2.4e-7 to a Hann-windowed bin.
//
// Measured: largest non-harmonic component 1.84e-06 with the smoothed set
// (-104.8 dB re the fundamental; bound 1.42e-05) and 3.6e-06 with the plain
// set (-99.0 dB; bound 2.43e-05), each within 3 % of the largest single
// image the design predicts (1.89e-06 and 3.7e-06).
TEST_F(OscillatorTest, SawAt5kHzHasNoNonHarmonicComponentAboveTheDesignBound) {
  Osc& smooth = AddOscillator({{Osc::kWaveform, "1"}, {Osc::kFreqScale, "1"}, {Osc::kPitch, "5"}});
  Osc& plain = AddOscillator({{Osc::kWaveform, "1"},
                              {Osc::kFreqScale, "1"},
                              {Osc::kPitch, "5"},
                              {Osc::kSmoothPeaks, "0"}});
  Start();
  constexpr int kSamples = 65536;
  auto recorded = Record({&Out(smooth), &Out(plain)}, kSamples + kCell);

  const double increment = std::floor(5000.0 * k2To32 / kRate + 0.5);
  EXPECT_EQ(smooth.PhaseIncrement(), static_cast<uint32_t>(increment));
  const double f0 = increment * kRate / k2To32;
  int top = 0;
  for (const int candidate : kSawTops) {
    if (UpperFor(candidate) >= increment) top = candidate;
  }
  ASSERT_EQ(top, 3);
  EXPECT_EQ(smooth.TopHarmonic(), top);

  for (const bool smoothed : {true, false}) {
    SCOPED_TRACE(smoothed ? "smoothed" : "plain");
    std::vector<float> x(recorded[smoothed ? 0 : 1].begin() + kCell,
                         recorded[smoothed ? 0 : 1].end());
    const std::vector<double> a = SawAmplitudes(top, smoothed);

    // Every in-band harmonic (up to 20 kHz) is fitted and removed; what is
    // left is not harmonic.
    std::vector<double> harmonics;
    for (int n = 1; n * f0 < kRate / 2; ++n) harmonics.push_back(n * f0);
    std::vector<double> residual;
    const auto tones = FitTones(x, harmonics, kRate, &residual);
    for (std::size_t n = 1; n <= harmonics.size(); ++n) {
      const double designed = n <= a.size() ? a[n - 1] * std::pow(Sinc(n / 512.0), 2) : 0.0;
      EXPECT_NEAR(std::abs(tones[n - 1]), designed, 1e-6) << "harmonic " << n;
    }

    double bound = 2.4e-7;
    double largest_image = 0.0;
    for (std::size_t n = 1; n <= a.size(); ++n) {
      for (int m = 1; m <= 4000; ++m) {
        const double low = a[n - 1] * std::pow(Sinc(m - n / 512.0), 2);
        const double high = a[n - 1] * std::pow(Sinc(m + n / 512.0), 2);
        bound += low + high;
        largest_image = std::max({largest_image, low, high});
      }
    }
    const std::vector<double> spectrum = HannAmplitudeSpectrum(residual);
    const double worst = *std::max_element(spectrum.begin() + 1, spectrum.end());
    std::printf(
        "[ measure  ] %s saw at 5 kHz: largest non-harmonic %.3g (%.1f dB re fundamental), "
        "largest single image %.3g, bound %.3g\n",
        smoothed ? "smoothed" : "plain", worst, 20 * std::log10(worst / a[0]), largest_image,
        bound);
    EXPECT_LT(worst, bound);
  }
}

TEST(OscillatorTables, SetsFollowTheSqrt2RuleOfTheDesign) {
  const OscTableSet saw = BuildOscTableSet(OscWave::kSaw, true);
  std::vector<int> tops;
  for (auto it = saw.tables.rbegin(); it != saw.tables.rend(); ++it)
    tops.push_back(it->top_harmonic);
  EXPECT_EQ(tops, std::vector<int>(std::begin(kSawTops), std::end(kSawTops)));
  const OscTableSet triangle = BuildOscTableSet(OscWave::kTriangle, false);
  tops.clear();
  for (auto it = triangle.tables.rbegin(); it != triangle.tables.rend(); ++it) {
    tops.push_back(it->top_harmonic);
  }
  EXPECT_EQ(tops, (std::vector<int>{1, 3, 5, 9, 13, 19, 27, 39, 57, 81, 115, 163, 231, 255}));
  // Each limit puts the top harmonic a sixth of an octave under Nyquist.
  for (const OscWavetable& table : saw.tables) {
    EXPECT_NEAR(table.upper, UpperFor(table.top_harmonic), 1.0);
  }
  EXPECT_EQ(saw.tables.front().lower, 0u);
}

TEST_F(OscillatorTest, AboveThePoorestTablesLimitTheOscillatorIsSilent) {
  // The fundamental alone may play up to fs/2 x 2^(-1/6) = 19.64 kHz.
  // 1 V/kHz: 19 kHz plays, 20 kHz is above the limit.
  Osc& playing =
      AddOscillator({{Osc::kWaveform, "0"}, {Osc::kFreqScale, "1"}, {Osc::kPitch, "19"}});
  Osc& sine = AddOscillator({{Osc::kWaveform, "0"}, {Osc::kFreqScale, "1"}, {Osc::kPitch, "20"}});
  Osc& saw = AddOscillator({{Osc::kWaveform, "1"}, {Osc::kFreqScale, "1"}, {Osc::kPitch, "20"}});
  Start();
  const auto out = Record({&Out(playing), &Out(sine), &Out(saw)}, 4096);
  EXPECT_GT(*std::max_element(out[0].begin(), out[0].end()), 0.45f);
  EXPECT_TRUE(std::all_of(out[1].begin(), out[1].end(), [](float s) { return s == 0.0f; }));
  EXPECT_TRUE(std::all_of(out[2].begin(), out[2].end(), [](float s) { return s == 0.0f; }));
  EXPECT_EQ(sine.TopHarmonic(), 0);
}

// Hysteresis: leaving a table downwards takes a semitone below its limit, so
// a pitch that wavers around a boundary keeps its table.
TEST_F(OscillatorTest, APitchWaveringAroundATableBoundaryKeepsItsTable) {
  // The boundary between the saw tables with top harmonics 5 and 3.
  const double boundary_hz = UpperFor(5) * kRate / k2To32;
  const double semitones[] = {+0.3, -0.5, +0.3, -0.9, +0.3, -0.5, -1.5, -0.5, -0.9, +0.3};
  const int expected_top[] = {3, 3, 3, 3, 3, 3, 5, 5, 5, 3};
  Osc& osc = AddOscillator({{Osc::kWaveform, "1"}});
  std::vector<std::pair<uint32_t, int32_t>> changes;
  for (uint32_t c = 1; c < std::size(semitones); ++c) changes.emplace_back(c * kCell, ST_STATIC);
  DriveInput(
      *osc.plug(Osc::kPitch),
      [&](int64_t n) {
        const double offset = semitones[std::min<int64_t>(n / kCell, std::size(semitones) - 1)];
        return SampleFor(boundary_hz * std::exp2(offset / 12.0));
      },
      ST_STATIC, changes);
  Start();
  for (std::size_t c = 0; c < std::size(semitones); ++c) {
    Step();
    EXPECT_EQ(osc.TopHarmonic(), expected_top[c])
        << "step " << c << ", " << semitones[c] << " semitones from the boundary";
  }
}

// A change of table fades over 20 samples: (1 - x) new + x old, x falling by
// 1/21 before each sample from 1. From 2.5 kHz (top harmonic 5) to 5 kHz
// (top harmonic 3), under 1 V/kHz where the increments are
// trunc(f 2^32 / fs + 0.5).
TEST_F(OscillatorTest, ANewTableFadesInOverTwentySamples) {
  constexpr uint32_t kChange = 5 * kCell + 40;
  Osc& osc = AddOscillator({{Osc::kWaveform, "1"}, {Osc::kFreqScale, "1"}});
  DriveInput(*osc.plug(Osc::kPitch), [](int64_t n) { return n < kChange ? 0.25f : 0.5f; },
             ST_STATIC, {{kChange, ST_STATIC}});
  Start();
  const std::vector<float> out = Record(Out(osc), 8 * kCell);
  const auto before = static_cast<uint32_t>(std::floor(2500.0 * k2To32 / kRate + 0.5));
  const auto after = static_cast<uint32_t>(std::floor(5000.0 * k2To32 / kRate + 0.5));
  EXPECT_EQ(osc.PhaseIncrement(), after);
  EXPECT_EQ(osc.TopHarmonic(), 3);
  const std::vector<double> old_table = SawAmplitudes(5, true);
  const std::vector<double> new_table = SawAmplitudes(3, true);
  for (uint32_t n = 0; n < out.size(); ++n) {
    const uint32_t phase = n <= kChange ? n * before : kChange * before + (n - kChange) * after;
    double expected;
    if (n < kChange) {
      expected = Saw(old_table, phase);
    } else if (n < kChange + 20) {
      const double x = 1.0 - (n - kChange + 1) / 21.0;
      expected = (1.0 - x) * Saw(new_table, phase) + x * Saw(old_table, phase);
    } else {
      expected = Saw(new_table, phase);
    }
    // Interpolation between table entries: (2 pi / 512)^2 / 8 x sum a_n n^2
    // < 5e-5.
    ASSERT_NEAR(out[n], expected, 1e-4) << "sample " << n;
  }
}

// --- Pulse.

TEST_F(OscillatorTest, PulseWidthSetsTheDutyCycleAndIsLimitedToPlusMinus99Percent) {
  struct Width {
    const char* volts;
    double w;  // after the limit
  };
  const Width widths[] = {{"0", 0.0},      {"5", 0.5},   {"-5", -0.5},   {"9.9", 0.99},
                          {"-9.9", -0.99}, {"10", 0.99}, {"-10", -0.99}, {"15", 0.99}};
  std::vector<UPlug*> outputs;
  for (const Width& width : widths) {
    outputs.push_back(&Out(AddOscillator(
        {{Osc::kWaveform, "4"}, {Osc::kPitch, VoltsFor(10.0)}, {Osc::kPulseWidth, width.volts}})));
  }
  Start();
  const auto out = Record(outputs, 2 * 44100);
  for (std::size_t i = 0; i < std::size(widths); ++i) {
    SCOPED_TRACE(widths[i].volts);
    // The pulse is saw(p - d) - saw(p) with d = (1 - w) 2^31: high for a
    // fraction delta / 2 pi = (1 - w) / 2 of the cycle, with levels
    // 0.32 (2 pi - delta) / 2 and -0.32 delta / 2; their midpoint is the
    // threshold.
    const double delta = kPi * (1.0 - widths[i].w);
    const double threshold = 0.32 * (kPi - delta) / 2.0;
    const auto high =
        std::count_if(out[i].begin(), out[i].end(), [&](float s) { return s > threshold; });
    // Two band-limited edges per cycle, each within a sample: 20 cycles.
    EXPECT_NEAR(static_cast<double>(high) / out[i].size(), (1.0 - widths[i].w) / 2.0, 1e-3);
    const double mean = std::accumulate(out[i].begin(), out[i].end(), 0.0) / out[i].size();
    EXPECT_NEAR(mean, 0.0, 1e-3);
  }
  // Beyond +-9.9 V the limit holds exactly.
  EXPECT_EQ(out[5], out[3]);
  EXPECT_EQ(out[7], out[3]);
  EXPECT_EQ(out[6], out[4]);
}

// --- Sync.

TEST_F(OscillatorTest, SyncWithoutCrossFadeRestartsTheCycleExactly) {
  constexpr uint32_t kReset = 1000;
  Osc& osc = AddOscillator({{Osc::kWaveform, "0"}, {Osc::kPitch, "5"}, {Osc::kSyncFade, "0"}});
  DriveInput(*osc.plug(Osc::kSync), [](int64_t n) { return n < kReset ? 0.0f : 0.5f; }, ST_STATIC,
             {{kReset, ST_STATIC}});
  Start();
  const std::vector<float> out = Record(Out(osc), 2048);
  const uint32_t increment = IncrementForWholeVolts(5);
  EXPECT_EQ(osc.PhaseIncrement(), increment);
  // Linear interpolation of a 512-point sine: |error| <= (2 pi/512)^2/8 x 0.5.
  constexpr double kTolerance = 1e-5;
  for (uint32_t n = 0; n < out.size(); ++n) {
    const uint32_t phase = n < kReset ? n * increment : (n - kReset) * increment;
    ASSERT_NEAR(out[n], Sine(phase), kTolerance) << "sample " << n;
  }
}

TEST_F(OscillatorTest, SyncWithCrossFadeBlendsTheOldAndNewCycleForFourSamples) {
  constexpr uint32_t kReset = 1000;  // position 104 of its cell
  Osc& osc = AddOscillator({{Osc::kWaveform, "0"}, {Osc::kPitch, "5"}});
  DriveInput(*osc.plug(Osc::kSync), [](int64_t n) { return n < kReset ? 0.0f : 0.5f; }, ST_STATIC,
             {{kReset, ST_STATIC}});
  Start();
  const std::vector<float> out = Record(Out(osc), 2048);
  const uint32_t increment = IncrementForWholeVolts(5);
  const double x[] = {0.8, 0.6, 0.4, 0.2};
  for (uint32_t n = kReset - 4; n < kReset + 8; ++n) {
    const double continued = Sine(n * increment);
    const double restarted = Sine((n - kReset) * increment);
    double expected = n < kReset ? continued : restarted;
    if (n >= kReset && n < kReset + 4) {
      expected = (1.0 - x[n - kReset]) * restarted + x[n - kReset] * continued;
    }
    EXPECT_NEAR(out[n], expected, 2e-5) << "sample " << n;
  }
}

TEST_F(OscillatorTest, AStreamingSyncResetsBetweenSamplesAtEachRisingCrossing) {
  // Crossings from -0.25 to 0.75: the reset lies 0.75 of a sample back.
  constexpr uint32_t kFirst = 700, kFall = 1500, kSecond = 2300;
  Osc& osc = AddOscillator({{Osc::kWaveform, "0"}, {Osc::kPitch, "5"}, {Osc::kSyncFade, "0"}});
  DriveInput(*osc.plug(Osc::kSync),
             [](int64_t n) { return (n >= kFirst && n < kFall) || n >= kSecond ? 0.75f : -0.25f; });
  Start();
  const std::vector<float> out = Record(Out(osc), 3000);
  const uint32_t increment = IncrementForWholeVolts(5);
  const auto elapsed = static_cast<uint32_t>(0.75 * increment);
  for (uint32_t n = 0; n < out.size(); ++n) {
    uint32_t phase = n * increment;
    if (n >= kSecond) {
      phase = elapsed + (n - kSecond) * increment;
    } else if (n >= kFirst) {
      phase = elapsed + (n - kFirst) * increment;  // the fall does not reset
    }
    ASSERT_NEAR(out[n], Sine(phase), 1e-5) << "sample " << n;
  }
}

// --- Phase modulation.

TEST_F(OscillatorTest, PhaseModulationShiftsThePhaseIncludingAHalfCycleThatOverflows32Bits) {
  struct Case {
    const char* pm;
    double cycles;  // PM x depth: the phase moves back by this much
  };
  // 0.5 x 1.0 x 2^32 = 2^31 does not fit a signed 32-bit offset.
  const Case cases[] = {{"2.5", 0.25}, {"5", 0.5}, {"-5", -0.5}, {"-2.5", -0.25}};
  std::vector<UPlug*> outputs;
  for (const Case& c : cases) {
    outputs.push_back(&Out(AddOscillator({{Osc::kWaveform, "0"},
                                          {Osc::kPitch, "5"},
                                          {Osc::kPhaseMod, c.pm},
                                          {Osc::kPmDepth, "10"}})));
  }
  Start();
  const auto out = Record(outputs, 1024);
  const uint32_t increment = IncrementForWholeVolts(5);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    for (uint32_t n = 0; n < out[i].size(); ++n) {
      const double expected =
          0.5 *
          std::sin(2.0 * kPi * (n * static_cast<double>(increment) / k2To32 - cases[i].cycles));
      ASSERT_NEAR(out[i][n], expected, 1e-5) << cases[i].pm << " V, sample " << n;
    }
  }
}

TEST_F(OscillatorTest, StreamingPhaseModulationFollowsEverySample) {
  Osc& osc = AddOscillator({{Osc::kWaveform, "0"}, {Osc::kPitch, "5"}, {Osc::kPmDepth, "8"}});
  const auto pm = [](int64_t n) {
    return static_cast<float>(0.3 * std::sin(2.0 * kPi * 50.0 * static_cast<double>(n) / kRate));
  };
  DriveInput(*osc.plug(Osc::kPhaseMod), pm);
  Start();
  const std::vector<float> out = Record(Out(osc), 4096);
  const uint32_t increment = IncrementForWholeVolts(5);
  for (uint32_t n = 0; n < out.size(); ++n) {
    const double cycles =
        n * static_cast<double>(increment) / k2To32 - static_cast<double>(pm(n)) * 0.8f;
    ASSERT_NEAR(out[n], 0.5 * std::sin(2.0 * kPi * cycles), 1.5e-5) << "sample " << n;
  }
}

// --- Noise.

TEST_F(OscillatorTest, WhiteNoiseStartsFromStateZero) {
  Osc& osc = AddOscillator({{Osc::kWaveform, "5"}});
  Start();
  const std::vector<float> out = Record(Out(osc), 44100);
  // s -> s x 1664525 + 1013904223 (mod 2^32) from 0: the first state is
  // 1013904223 = 0x3C6EF35F; its low 23 bits under the exponent of 1.0 give
  // 1 + 0x6EF35F / 2^23, less 1.5.
  EXPECT_EQ(out[0], static_cast<float>(1.0 + 0x6EF35F / 8388608.0 - 1.5));
  uint32_t state = 1013904223u;
  for (int n = 1; n < 4; ++n) {
    state = state * 1664525u + 1013904223u;
    EXPECT_EQ(out[n], static_cast<float>(1.0 + (state & 0x7FFFFF) / 8388608.0 - 1.5));
  }
  const auto [low, high] = std::minmax_element(out.begin(), out.end());
  EXPECT_GE(*low, -0.5f);
  EXPECT_LT(*high, 0.5f);
  EXPECT_NEAR(std::accumulate(out.begin(), out.end(), 0.0) / out.size(), 0.0, 0.01);
}

// Each plug-in instance (engine) has its own noise state: a second one
// starts from 0 as well, whatever the first has drawn, while the
// oscillators of one engine share theirs.
TEST_F(OscillatorTest, NoiseStateBelongsToOneEngine) {
  Osc& first = AddOscillator({{Osc::kWaveform, "5"}});
  Osc& second = AddOscillator({{Osc::kWaveform, "5"}});
  Start();
  const auto here = Record({&Out(first), &Out(second)}, 256);
  EXPECT_NE(here[0], here[1]);

  FakeEngineHost other_host;
  OvAudioMaster other{other_host};
  other.SetEngineBlockSize(kCell);
  ug_container other_top;
  other_top.SetMaster(&other);
  Osc& alone = other_top.Add(std::make_unique<Osc>());
  alone.plug(Osc::kWaveform)->SetValueFromText("5");
  other.Start(&other_top);
  other.Process(kCell);
  EXPECT_EQ(alone.plug(Osc::kAudioOut)->Data()[0],
            static_cast<float>(1.0 + 0x6EF35F / 8388608.0 - 1.5));
  other.Stop();
}

// Pink noise has equal power in every octave (-3 dB per octave density).
TEST_F(OscillatorTest, PinkNoiseHasEqualPowerPerOctave) {
  Osc& osc = AddOscillator({{Osc::kWaveform, "6"}});
  Start();
  constexpr int kSegment = 4096, kSegments = 256;
  const std::vector<float> out = Record(Out(osc), kSegment * (kSegments + 1));
  std::vector<double> power(kSegment / 2 + 1, 0.0);
  for (int s = 1; s <= kSegments; ++s) {  // the first segment lets the filters fill
    const std::vector<double> segment(out.begin() + s * kSegment, out.begin() + (s + 1) * kSegment);
    const std::vector<double> amplitude = HannAmplitudeSpectrum(segment);
    for (std::size_t k = 0; k < power.size(); ++k) power[k] += amplitude[k] * amplitude[k];
  }
  std::vector<double> bands_db;
  for (double low = 100.0; low < 12800.0; low *= 2.0) {
    double band = 0.0;
    for (std::size_t k = 0; k < power.size(); ++k) {
      const double f = k * kRate / kSegment;
      if (f >= low && f < 2.0 * low) band += power[k];
    }
    bands_db.push_back(10.0 * std::log10(band));
  }
  const double mean = std::accumulate(bands_db.begin(), bands_db.end(), 0.0) / bands_db.size();
  // Statistical spread of each band over 256 segments: under 0.2 dB.
  for (std::size_t b = 0; b < bands_db.size(); ++b) {
    EXPECT_NEAR(bands_db[b], mean, 0.6) << "octave from " << 100 * (1 << b) << " Hz";
  }
}

// Inputs that are not numbers, or far out of range, stay inside the tables
// (the sanitizer build checks every index and conversion) and give silence
// or bounded output, never a crash.
TEST_F(OscillatorTest, HostileInputsStayInsideTheTables) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float hostile[] = {nan, inf, -inf, 1e30f, -1e30f, 7e4f, -7e4f, 0.5f};
  const auto pick = [&](int64_t n, int salt) {
    return hostile[(n * 7 + salt) % std::size(hostile)];
  };
  std::vector<UPlug*> outputs;
  for (int waveform = 0; waveform <= 6; ++waveform) {
    for (const char* scale : {"0", "1"}) {
      Osc& osc =
          AddOscillator({{Osc::kWaveform, std::to_string(waveform)}, {Osc::kFreqScale, scale}});
      DriveInput(*osc.plug(Osc::kPitch), [&](int64_t n) { return pick(n / 3, 0); });
      DriveInput(*osc.plug(Osc::kPulseWidth), [&](int64_t n) { return pick(n, 1); });
      DriveInput(*osc.plug(Osc::kSync), [&](int64_t n) { return pick(n / 5, 2); });
      DriveInput(*osc.plug(Osc::kPhaseMod), [&](int64_t n) { return pick(n, 3); });
      DriveInput(*osc.plug(Osc::kPmDepth), [&](int64_t n) { return pick(n / 2, 4); });
      outputs.push_back(&Out(osc));
    }
  }
  Start();
  const auto out = Record(outputs, 16 * kCell);
  for (const auto& samples : out) {
    for (const float sample : samples) {
      ASSERT_TRUE(std::isfinite(sample));
      ASSERT_LE(std::fabs(sample), 1.5f);  // the pulse reaches about 1.0
    }
  }
}

// --- Tables shared between instances.

std::vector<float> RenderSawAlone(float rate, int samples) {
  FakeEngineHost host;
  OvAudioMaster master{host};
  master.SetSampleRate(rate);
  master.SetEngineBlockSize(64);
  ug_container top;
  top.SetMaster(&master);
  Osc& osc = top.Add(std::make_unique<Osc>());
  osc.plug(Osc::kPitch)->SetValueFromText("7.3");
  master.Start(&top);
  std::vector<float> out;
  while (static_cast<int>(out.size()) < samples) {
    master.Process(64);
    const float* data = osc.plug(Osc::kAudioOut)->Data();
    out.insert(out.end(), data, data + 64);
  }
  master.Stop();
  return out;
}

TEST(OscillatorTables, OneImmutableSetPerSampleRateSharedByEveryInstance) {
  const auto at_44k = GetOscillatorTables(44100.0f);
  const std::vector<int32_t> pitch_44k = at_44k->pitch->entries;
  const auto at_48k = GetOscillatorTables(48000.0f);
  EXPECT_EQ(GetOscillatorTables(44100.0f), at_44k);
  EXPECT_NE(at_48k, at_44k);
  EXPECT_EQ(at_48k->waves, at_44k->waves);  // the wave tables do not depend on the rate
  EXPECT_EQ(at_44k->pitch->entries, pitch_44k);
  // Entry 0 is 440 x 2^3 Hz.
  EXPECT_EQ(static_cast<uint32_t>(at_48k->pitch->entries[0]),
            static_cast<uint32_t>(std::round(3520.0 * k2To32 / 48000.0)));
}

// One instance plays while others open at other sample rates on another
// thread: what it plays does not change.
TEST(OscillatorTables, OpeningAtAnotherRateLeavesAPlayingInstanceAlone) {
  const std::vector<float> reference = RenderSawAlone(44100.0f, 64 * 400);
  std::vector<float> during;
  std::thread player([&] { during = RenderSawAlone(44100.0f, 64 * 400); });
  for (const float rate : {22050.0f, 32000.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f}) {
    RenderSawAlone(rate, 256);
  }
  player.join();
  EXPECT_EQ(during, reference);
}

}  // namespace
}  // namespace ov::test
