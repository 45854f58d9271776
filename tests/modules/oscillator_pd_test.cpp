// "Phase Dist Osc" against mathematics: harmonics measured by least squares
// against the Fourier series of the bent-phase cosine computed here from the
// breakpoints, alternating waves, silence above the pitch limit with the
// phase held, the depth limit and the DC filter.
#include "modules/oscillator_pd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <cstdint>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "tests/modules/dsp_measure.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

constexpr double kTwoPi = 2.0 * M_PI;

struct Setting {
  std::string pitch = "3";  // 110 Hz
  std::string depth = "0";
  std::string wave1 = "0";
  std::string wave2 = "-1";
};

struct PdRig : ModuleRig {
  explicit PdRig(const Setting& setting) : osc(Add(std::make_unique<ug_oscillator_pd>())) {
    if (!setting.pitch.empty()) Set(osc, ug_oscillator_pd::kPitch, setting.pitch.c_str());
    Set(osc, ug_oscillator_pd::kDepth, setting.depth.c_str());
    Set(osc, ug_oscillator_pd::kWave1, setting.wave1.c_str());
    Set(osc, ug_oscillator_pd::kWave2, setting.wave2.c_str());
  }
  std::vector<float> Play(int64_t samples) {
    Start();
    return Record(*osc.plug(ug_oscillator_pd::kAudioOut), samples);
  }
  double Frequency() const { return osc.PhaseIncrement() * kRate / 4294967296.0; }
  ug_oscillator_pd& osc;
};

// One cycle of the wave as the breakpoints define it, with an exact cosine,
// and its harmonics 1 ... 10 as amplitudes.
std::vector<double> ExpectedHarmonics(int wave, double w) {
  struct Record {
    double a, b, c;
  };
  const std::vector<std::vector<Record>> shapes = {
      {{0, 0, 0}, {0.5, 0.5, -0.5}, {1, 1, 0}},
      {{0, 0, 0}, {0, 0, 0.25}, {0.5, 0.5, -0.25}, {0.5, 0.5, 0.25}, {1, 1, -0.25}, {1, 1, 0}},
      {{0, 0, 0}, {0, 0, 0.5}, {1, 1, -0.5}, {1, 1, 0}},
      {{0, 0, 0}, {0.5, 1, -0.5}, {1, 2, 0}},
      {{0, 0, 0}, {0.5, 0.5, 0}, {1, 1, -0.5}, {1, 1, 0}},
      {{0, 0, 1}, {1, 1, 0}},
      {{0, 0, 0}, {0.5, 0.5, 1}, {1, 1, 0}},
      {{0, 0, 1}, {0.5, 0.5, 1}, {1, 1, 0}},
  };
  const std::vector<Record>& r = shapes[static_cast<std::size_t>(wave)];
  const bool resonant = wave >= 5;
  const auto knee = [&](std::size_t i) { return resonant ? r[i].a : r[i].a + w * r[i].c; };
  constexpr int kPoints = 1 << 14;
  std::vector<std::complex<double>> sums(11);
  for (int n = 0; n < kPoints; ++n) {
    const double v = (n + 0.5) / kPoints;
    std::size_t k = 0;
    while (k + 2 < r.size() && v >= knee(k + 1)) ++k;
    const double t = (v - knee(k)) / (knee(k + 1) - knee(k));
    double s;
    if (resonant) {
      const double o = r[k].c + (r[k + 1].c - r[k].c) * t;
      s = 0.5 - 0.5 * o + o * 0.5 * std::cos(kTwoPi * v * (1 + 10 * w));
    } else {
      s = 0.5 * std::cos(kTwoPi * (r[k].b + (r[k + 1].b - r[k].b) * t));
    }
    for (int h = 1; h <= 10; ++h) sums[h] += s * std::polar(1.0, -kTwoPi * h * v);
  }
  std::vector<double> amplitudes;
  for (int h = 1; h <= 10; ++h) amplitudes.push_back(2.0 * std::abs(sums[h]) / kPoints);
  return amplitudes;
}

// Amplitudes of harmonics 1 ... 10 of `x` (after the DC filter settled),
// fitted together with harmonics up to 24 so that strong ones above 10 do
// not leak into them over a window of no whole number of cycles.
std::vector<double> MeasuredHarmonics(const std::vector<float>& x, double frequency) {
  std::vector<double> frequencies;
  for (int h = 1; h <= 24; ++h) frequencies.push_back(h * frequency);
  std::vector<double> amplitudes;
  for (const auto& tone : FitTones(x, frequencies, ModuleRig::kRate)) {
    amplitudes.push_back(std::abs(tone));
  }
  amplitudes.resize(10);
  return amplitudes;
}

// The DC filter's gain at `frequency`: y = s - d, d += m (s - d), that is
// (1 - z^-1) / (1 - (1 - m) z^-1).
double DcFilterGain(double frequency) {
  const double m = static_cast<float>(2.0 * std::sin(21.99115 / ModuleRig::kRate));
  return std::abs(Response({1.0, -1.0}, {1.0, -(1.0 - m)}, frequency, ModuleRig::kRate));
}

std::vector<float> Settled(const std::vector<float>& x, std::size_t skip) {
  return {x.begin() + static_cast<std::ptrdiff_t>(skip), x.end()};
}

TEST(PhaseDistOsc, AtDepthZeroTheBentWavesAreOneCosineAndDblSineItsOctave) {
  for (const int wave : {0, 1, 2, 3, 4}) {
    Setting setting;
    setting.pitch = "5";  // 440 Hz
    setting.wave1 = std::to_string(wave);
    PdRig rig(setting);
    const std::vector<float> out = Settled(rig.Play(24000), 8000);
    const std::vector<double> h = MeasuredHarmonics(out, rig.Frequency());
    const std::size_t main = wave == 3 ? 1 : 0;
    EXPECT_NEAR(h[main], 0.5, 1e-3) << wave;
    for (std::size_t k = 0; k < h.size(); ++k) {
      if (k == main) continue;
      EXPECT_LT(20 * std::log10(h[k] / h[main]), -90.0) << wave << " harmonic " << k + 1;
    }
  }
}

TEST(PhaseDistOsc, HarmonicsMatchTheFourierSeriesOfThePhaseCurve) {
  // Tolerance: 5e-5 absolute on amplitudes of up to 0.64 (-86 dB re the full
  // swing), for the table's interpolation and the measurement's leakage.
  // The DC filter's gain (-0.02 dB at 110 Hz) is part of the expectation.
  for (const int wave : {0, 1, 2, 3, 4, 5, 6, 7}) {
    for (const char* depth : {"5", "9.7"}) {
      Setting setting;
      setting.wave1 = std::to_string(wave);
      setting.depth = depth;
      PdRig rig(setting);
      const std::vector<float> out = Settled(rig.Play(24000), 8000);
      const std::vector<double> measured = MeasuredHarmonics(out, rig.Frequency());
      const std::vector<double> expected = ExpectedHarmonics(wave, std::atof(depth) / 10.0f);
      for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_NEAR(measured[k], expected[k] * DcFilterGain((k + 1) * rig.Frequency()), 5e-5)
            << "wave " << wave << " depth " << depth << " harmonic " << k + 1;
      }
    }
  }
}

TEST(PhaseDistOsc, TwoWavesAlternateCycleByCycle) {
  const auto play = [](const char* wave1, const char* wave2) {
    Setting setting;
    setting.depth = "7";
    setting.wave1 = wave1;
    setting.wave2 = wave2;
    PdRig rig(setting);
    std::vector<float> out = rig.Play(8000);
    return std::pair{out, rig.osc.PhaseIncrement()};
  };
  const auto [saw, increment] = play("0", "-1");
  const auto [square, unused] = play("1", "-1");
  const auto [both, same] = play("0", "1");
  ASSERT_EQ(increment, same);
  // Per cycle, which single-wave rendering the alternating one is close to
  // (the DC filters' states differ slightly between the renderings).
  int cycles = 0;
  for (uint64_t start = 0, cycle = 0; start < both.size(); ++cycle) {
    uint64_t end = start;
    while (end < both.size() && (end * increment) >> 32 == cycle) ++end;
    double to_saw = 0, to_square = 0;
    for (uint64_t n = start; n < end; ++n) {
      to_saw += std::fabs(both[n] - saw[n]);
      to_square += std::fabs(both[n] - square[n]);
    }
    if (end - start > 100) {
      EXPECT_EQ(to_saw < to_square, cycle % 2 == 0) << "cycle " << cycle;
      ++cycles;
    }
    start = end;
  }
  EXPECT_GT(cycles, 15);
}

TEST(PhaseDistOsc, AbovePitchLimitItIsSilentAndResumesWhereItStopped) {
  // 0.4454 x fs is the limit: just below plays, just above is silent.
  for (const auto& [ratio, silent] : {std::pair{0.444, false}, {0.447, true}}) {
    Setting setting;
    setting.pitch = std::to_string(5 + std::log2(ratio * ModuleRig::kRate / 440));
    PdRig rig(setting);
    const std::vector<float> out = rig.Play(512);
    EXPECT_EQ(rig.osc.IsSilent(), silent) << ratio;
    EXPECT_EQ(out[300] == 0.0f && out[301] == 0.0f, silent) << ratio;
  }
  const float high = static_cast<float>((5 + std::log2(0.45 * ModuleRig::kRate / 440)) / 10);
  const auto play = [](std::function<float(int64_t)> pitch) {
    Setting setting;
    setting.pitch.clear();
    setting.depth = "4";
    PdRig rig(setting);
    rig.DriveInput(*rig.osc.plug(ug_oscillator_pd::kPitch), std::move(pitch));
    return rig.Play(6000);
  };
  const std::vector<float> plain = play([](int64_t) { return 0.35f; });
  // Silence starts at its sample; a streaming pitch is looked at once per
  // render call while silent, so it ends with a call (a cell here).
  const std::vector<float> broken =
      play([=](int64_t n) { return n >= 1000 && n < 3072 ? high : 0.35f; });
  for (int64_t n = 0; n < 6000; ++n) {
    const float expected = n < 1000 ? plain[n] : (n < 3072 ? 0.0f : plain[n - 2072]);
    ASSERT_EQ(broken[n], expected) << n;
  }
}

TEST(PhaseDistOsc, DepthBeyondTheLimitOrNotANumberIsClamped) {
  const auto play = [](const char* depth) {
    Setting setting;
    setting.depth = depth;
    setting.wave1 = "6";
    return PdRig(setting).Play(2000);
  };
  EXPECT_EQ(play("10"), play("9.7"));
  EXPECT_EQ(play("25"), play("9.7"));
  EXPECT_EQ(play("nan"), play("0"));
  EXPECT_EQ(play("-3"), play("0"));
}

TEST(PhaseDistOsc, UnlistedWavesPlaySawAndNoWaveIsSilence) {
  const auto play = [](const char* wave1, const char* wave2) {
    Setting setting;
    setting.depth = "6";
    setting.wave1 = wave1;
    setting.wave2 = wave2;
    return PdRig(setting).Play(2000);
  };
  EXPECT_EQ(play("12", "-1"), play("0", "-1"));
  EXPECT_EQ(play("-7", "-1"), play("0", "-1"));
  const std::vector<float> none = play("-1", "-1");
  EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](float x) { return x == 0.0f; }));
}

TEST(PhaseDistOsc, TheDcFilterLeavesNoOffsetOnceSettled) {
  Setting setting;
  setting.depth = "5";
  setting.wave1 = "4";  // Saw-Pulse: far from zero mean before the filter
  PdRig rig(setting);
  const std::vector<float> out = rig.Play(132300);
  // The last 2 s hold 220 whole cycles of 110 Hz (to within the increment's
  // rounding).
  const std::vector<float> tail = Settled(out, 44100);
  const double mean = std::accumulate(tail.begin(), tail.end(), 0.0) / tail.size();
  EXPECT_LT(std::fabs(mean), 1e-4);
  const std::vector<float> head(out.begin(), out.begin() + 400);
  const double early = std::accumulate(head.begin(), head.end(), 0.0) / head.size();
  EXPECT_GT(std::fabs(early), 1e-2);  // the offset the filter removes
}

}  // namespace
}  // namespace ov::test
