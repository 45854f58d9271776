// The filters against their analytic responses: each is fed sine tones and
// the complex gain at each tone (output over input, both fitted by least
// squares over 8192 samples after the transient) is compared with the
// transfer function that its difference equations give, derived beside each
// test.
//
// Tolerance (unless a test says otherwise): |measured - H| <= 1e-3 |H| +
// 1e-5. Float32 state and arithmetic contribute about 1e-6 relative, the
// interpolated coefficient tables up to 2e-5 in a coefficient; 1e-3 (0.009
// dB, 0.06 degrees) leaves room for both and still tells a wrong cutoff,
// resonance or structure by orders of magnitude.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <string>

#include "modules/filters.h"
#include "tests/modules/dsp_measure.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

using Complex = std::complex<double>;
using Poly = std::vector<double>;  // coefficients of z^0, z^-1, ...
constexpr double kPi = std::numbers::pi;

Poly Multiply(const Poly& a, const Poly& b) {
  Poly product(a.size() + b.size() - 1, 0.0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (std::size_t j = 0; j < b.size(); ++j) product[i + j] += a[i] * b[j];
  }
  return product;
}
Poly Add(Poly a, const Poly& b) {
  if (a.size() < b.size()) a.resize(b.size(), 0.0);
  for (std::size_t i = 0; i < b.size(); ++i) a[i] += b[i];
  return a;
}
Poly Scale(Poly a, double s) {
  for (double& c : a) c *= s;
  return a;
}
Poly Power(const Poly& a, int n) {
  Poly result{1.0};
  for (int i = 0; i < n; ++i) result = Multiply(result, a);
  return result;
}

const std::vector<double> kTones = {50.0, 200.0, 440.0, 1000.0, 3000.0, 8000.0, 15000.0};

// Plug numbers in descriptor order.
namespace one_pole {
constexpr int kSignal = 0, kPitch = 1, kOutput = 2, kFreqScale = 3;
}
namespace all_pass {
constexpr int kPitch = 1, kResonance = 2, kOutput = 3, kFreqScale = 4;
}
namespace ladder {  // "Moog Filter" and "Parametric EQ"
constexpr int kPitch = 1, kResonance = 2, kOutput = 3, kBoostCut = 5, kFreqScale = 6;
}
namespace state_variable {
constexpr int kPitch = 1, kResonance = 2, kLowPass = 3, kHighPass = 4, kBandPass = 5,
              kBandReject = 6;
}

class FilterTest : public ModuleTest {
 protected:
  using Values = std::vector<std::pair<int, std::string>>;

  template <typename F>
  F& AddFilter(const Values& values) {
    F& filter = AddRaw(std::make_unique<F>(), 1);
    for (const auto& [plug, text] : values) filter.plug(plug)->SetValueFromText(text);
    return filter;
  }

  // The complex gain of each output at each tone: one filter per tone, fed
  // amplitude x sin(2 pi f n / fs) from the start.
  template <typename F>
  std::vector<std::vector<Complex>> Measure(const Values& values, const std::vector<int>& outputs,
                                            const std::vector<double>& tones,
                                            double amplitude = 0.1, int settle = 8192) {
    constexpr int kMeasure = 8192;
    const double rate = master.SampleRate();
    std::vector<UPlug*> plugs;
    for (const double f : tones) {
      F& filter = AddFilter<F>(values);
      DriveInput(*filter.plug(0), [=](int64_t n) {
        return static_cast<float>(amplitude *
                                  std::sin(2.0 * kPi * f * static_cast<double>(n) / rate));
      });
      for (const int output : outputs) plugs.push_back(filter.plug(output));
    }
    // From time 0 again when an earlier measurement ran (its filters run on).
    master.Stop();
    cells = 0;
    Start();
    const auto recorded = Record(plugs, settle + kMeasure);
    std::vector<std::vector<Complex>> gains(outputs.size());
    for (std::size_t t = 0; t < tones.size(); ++t) {
      std::vector<float> input(kMeasure);
      for (int n = 0; n < kMeasure; ++n) {
        input[n] =
            static_cast<float>(amplitude * std::sin(2.0 * kPi * tones[t] * (settle + n) / rate));
      }
      const Complex in = FitTones(input, {tones[t]}, rate).front();
      for (std::size_t o = 0; o < outputs.size(); ++o) {
        const auto& y = recorded[t * outputs.size() + o];
        const std::vector<float> window(y.begin() + settle, y.end());
        gains[o].push_back(FitTones(window, {tones[t]}, rate).front() / in);
      }
    }
    return gains;
  }

  static void ExpectResponse(const std::vector<Complex>& measured, const Poly& b, const Poly& a,
                             const std::vector<double>& tones, double rate,
                             double tolerance = 1e-3) {
    for (std::size_t t = 0; t < tones.size(); ++t) {
      const Complex expected = Response(b, a, tones[t], rate);
      EXPECT_LE(std::abs(measured[t] - expected), tolerance * std::abs(expected) + 1e-5)
          << tones[t] << " Hz: measured |H| " << std::abs(measured[t]) << " arg "
          << std::arg(measured[t]) << ", expected |H| " << std::abs(expected) << " arg "
          << std::arg(expected);
    }
  }

  // Runs until the generator sleeps (at most `cells`); true if it did.
  bool RunUntilAsleep(const ug_base& generator, int cells = 400) {
    for (int c = 0; c < cells; ++c) {
      Step();
      if (generator.IsSleeping()) return true;
    }
    return false;
  }
};

// --- One pole: y[n] = x[n] + a (y[n-1] - x[n]), a = exp(-2 pi fc / fs).
// Low-pass H = (1 - a) / (1 - a z^-1); high-pass 1 - H = a (1 - z^-1) / (1 -
// a z^-1).

Poly OnePoleLowB(double a) { return {1.0 - a}; }
Poly OnePoleHighB(double a) { return {a, -a}; }
Poly OnePoleA(double a) { return {1.0, -a}; }

TEST_F(FilterTest, OnePoleAt5VoltsHasItsCutoffAt440Hz) {
  const auto low = Measure<ug_filter_1pole>({{one_pole::kPitch, "5"}}, {one_pole::kOutput}, kTones);
  const auto high =
      Measure<ug_filter_1pole_hp>({{one_pole::kPitch, "5"}}, {one_pole::kOutput}, kTones);
  const double a = std::exp(-2.0 * kPi * 440.0 / kRate);
  ExpectResponse(low[0], OnePoleLowB(a), OnePoleA(a), kTones, kRate);
  ExpectResponse(high[0], OnePoleHighB(a), OnePoleA(a), kTones, kRate);
}

TEST_F(FilterTest, OnePoleUnderOneVoltPerKilohertz) {
  // 0.25 V: 250 Hz, computed rather than looked up.
  const auto low = Measure<ug_filter_1pole>(
      {{one_pole::kPitch, "0.25"}, {one_pole::kFreqScale, "1"}}, {one_pole::kOutput}, kTones);
  const double a = std::exp(-2.0 * kPi * 250.0 / kRate);
  ExpectResponse(low[0], OnePoleLowB(a), OnePoleA(a), kTones, kRate);
}

// 10 V means 14080 Hz; at 22.05 kHz that is above 0.495 fs = 10914.75 Hz,
// where the one-pole and the Moog filter stop, by table (1 V/octave) or by
// computation (1 V/kHz, 15 V = 15 kHz).
TEST_F(FilterTest, TenVoltsIsCappedAt0point495TimesTheSampleRate) {
  master.SetSampleRate(22050.0f);
  const double rate = 22050.0, cap = 0.495 * rate;
  const std::vector<double> tones = {100.0, 1000.0, 4000.0, 8000.0, 10000.0};
  const auto by_table =
      Measure<ug_filter_1pole>({{one_pole::kPitch, "10"}}, {one_pole::kOutput}, tones);
  const auto computed = Measure<ug_filter_1pole>(
      {{one_pole::kPitch, "15"}, {one_pole::kFreqScale, "1"}}, {one_pole::kOutput}, tones);
  const double a = std::exp(-2.0 * kPi * cap / rate);
  ExpectResponse(by_table[0], OnePoleLowB(a), OnePoleA(a), tones, rate);
  ExpectResponse(computed[0], OnePoleLowB(a), OnePoleA(a), tones, rate);
}

TEST_F(FilterTest, TenVoltsIsCappedForTheMoogFilterToo) {
  master.SetSampleRate(22050.0f);
  const double rate = 22050.0, cap = 0.495 * rate;
  const std::vector<double> tones = {100.0, 1000.0, 4000.0, 8000.0, 10000.0};
  const auto gains = Measure<ug_filter_biquad>({{ladder::kPitch, "10"}, {ladder::kResonance, "0"}},
                                               {ladder::kOutput}, tones, 0.01);
  const double h = 2.0 * cap / rate, k = 3.6 * h - 1.6 * h * h - 1.0, p = (k + 1.0) / 2.0;
  const Poly b = Scale(Power({1.0, 1.0}, 4), std::pow(p, 4));
  ExpectResponse(gains[0], b, Power({1.0, k}, 4), tones, rate);
}

// --- All-pass: w = x + a s1 - b s2, y = s2 + b w - a s1, so
// H = (b - a z^-1 + z^-2) / (1 - a z^-1 + b z^-2) with, for width d =
// clamp(1.5 R + 0.5, 0.5, 4) and g = f / fs, a = 2 e^{-pi d g} cos 2 pi g and
// b = e^{-2 pi d g}. |H| = 1 at every frequency.

void AllPassCoefficients(double hz, double resonance, double rate, double& a, double& b) {
  const double d = std::clamp(resonance * 1.5 + 0.5, 0.5, 4.0), g = std::min(hz / rate, 0.5);
  a = 2.0 * std::exp(-kPi * d * g) * std::cos(2.0 * kPi * g);
  b = std::exp(-2.0 * kPi * d * g);
}

// For pitches of 0 V and above the design takes e^{-2 pi x} and 2 cos 2 pi x
// from 514-entry tables (entry i at x = i / 512) with linear interpolation:
// a = A(m/2) B(g), b = A(m), m = min(d g, 1).
double DesignTable(double x, bool cosine) {
  const auto entry = [cosine](int i) {
    return cosine ? 2.0 * std::cos(2.0 * kPi * i / 512.0) : std::exp(-2.0 * kPi * i / 512.0);
  };
  const double position = x * 512.0;
  const int i = static_cast<int>(position);
  return entry(i) + (entry(i + 1) - entry(i)) * (position - i);
}

TEST_F(FilterTest, AllPassAt5VoltsTurnsThePhaseAround440HzAndKeepsTheLevel) {
  const auto tables = Measure<ug_filter_allpass>(
      {{all_pass::kPitch, "5"}, {all_pass::kResonance, "5"}}, {all_pass::kOutput}, kTones);
  // Below 0 V the coefficients are computed: -1 V is 6.875 Hz.
  const auto computed = Measure<ug_filter_allpass>(
      {{all_pass::kPitch, "-1"}, {all_pass::kResonance, "2"}}, {all_pass::kOutput}, kTones);
  // An all-pass whatever its coefficients: |H| = 1 up to float rounding,
  // which poles within 8e-4 of the unit circle (6.875 Hz) amplify to about
  // 1.5e-4.
  for (const Complex gain : tables[0]) EXPECT_NEAR(std::abs(gain), 1.0, 1e-5);
  for (const Complex gain : computed[0]) EXPECT_NEAR(std::abs(gain), 1.0, 1e-3);

  double a, b;
  AllPassCoefficients(440.0 / 64.0, 0.2, kRate, a, b);
  ExpectResponse(computed[0], {b, -a, 1.0}, {1.0, -a, b}, kTones, kRate);

  // Through the tables: exact to the design's interpolated coefficients, and
  // within 5e-3 of the ideal ones (interpolating e^x and cos x between
  // entries 2 pi / 512 apart errs by up to (2 pi / 512)^2 / 8 = 1.9e-5 in a
  // coefficient, which near the poles (1 - |pole| ~ 0.04) turns the phase by
  // up to about 3e-3 radians).
  const double d = 1.25, g = 440.0 / kRate, m = std::min(d * g, 1.0);
  const double design_a = DesignTable(m / 2.0, false) * DesignTable(g, true);
  const double design_b = DesignTable(m, false);
  ExpectResponse(tables[0], {design_b, -design_a, 1.0}, {1.0, -design_a, design_b}, kTones, kRate);
  AllPassCoefficients(440.0, 0.5, kRate, a, b);
  ExpectResponse(tables[0], {b, -a, 1.0}, {1.0, -a, b}, kTones, kRate, 5e-3);
}

// --- Moog ladder: each stage y = p (x + x_old) - k y, i.e. p (1 + z^-1) /
// (1 + k z^-1); four make G; the feedback x = in - r y4[n-1] gives
// H = G / (1 + r z^-1 G) = p^4 (1 + z^-1)^4 / ((1 + k z^-1)^4 + r z^-1 p^4
// (1 + z^-1)^4), with h = 2 fc / fs, k = 3.6 h - 1.6 h^2 - 1, p = (k + 1) /
// 2, r = resonance x e^{(1 - p) 1.386249}. Small signals (0.01) keep the soft
// clip's cubic term under 1e-4 of the output.

void MoogPolynomials(double hz, double resonance, double rate, Poly& b, Poly& a) {
  const double h = 2.0 * hz / rate, k = 3.6 * h - 1.6 * h * h - 1.0, p = (k + 1.0) / 2.0;
  const double r = resonance * std::exp((1.0 - p) * 1.386249);
  b = Scale(Power({1.0, 1.0}, 4), std::pow(p, 4));
  a = Add(Power({1.0, k}, 4), Multiply({0.0, r}, b));
}

TEST_F(FilterTest, MoogFilterAt5VoltsWithAndWithoutResonance) {
  const auto plain = Measure<ug_filter_biquad>({{ladder::kPitch, "5"}, {ladder::kResonance, "0"}},
                                               {ladder::kOutput}, kTones, 0.01);
  const auto resonant = Measure<ug_filter_biquad>(
      {{ladder::kPitch, "5"}, {ladder::kResonance, "5"}}, {ladder::kOutput}, kTones, 0.01);
  Poly b, a;
  MoogPolynomials(440.0, 0.0, kRate, b, a);
  ExpectResponse(plain[0], b, a, kTones, kRate);
  MoogPolynomials(440.0, 0.5, kRate, b, a);
  ExpectResponse(resonant[0], b, a, kTones, kRate);
}

TEST_F(FilterTest, MoogFilterUnderOneVoltPerKilohertz) {
  const auto gains = Measure<ug_filter_biquad>(
      {{ladder::kPitch, "2"}, {ladder::kResonance, "3"}, {ladder::kFreqScale, "1"}},
      {ladder::kOutput}, kTones, 0.01);
  Poly b, a;
  MoogPolynomials(2000.0, 0.3, kRate, b, a);
  ExpectResponse(gains[0], b, a, kTones, kRate);
}

TEST(MoogSoftClip, NeverFlipsTheSign) {
  for (double y = -20.0; y <= 20.0; y += 0.0005) {
    const float in = static_cast<float>(y);
    const float out = MoogSoftClip(in);
    ASSERT_FALSE((in > 0.0f && out < 0.0f) || (in < 0.0f && out > 0.0f)) << in << " -> " << out;
    // y - y^3/6 peaks at y = sqrt 2 with 2 sqrt 2 / 3.
    ASSERT_LE(std::fabs(out), 2.0f * std::sqrt(2.0f) / 3.0f + 1e-6f) << in;
  }
  EXPECT_EQ(MoogSoftClip(3.0f), 0.0f);  // 3 - 4.5 would flip
  EXPECT_EQ(MoogSoftClip(-3.0f), 0.0f);
}

TEST_F(FilterTest, AnOverdrivenMoogFilterStaysWithinTheClipAndNeverTurnsOver) {
  ug_filter_biquad& moog =
      AddFilter<ug_filter_biquad>({{ladder::kPitch, "6"}, {ladder::kResonance, "10"}});
  // A square of +-100 (1000 V) at 100 Hz.
  DriveInput(*moog.plug(0), [](int64_t n) { return (n / 220) % 2 == 0 ? 100.0f : -100.0f; });
  Start();
  const std::vector<float> out = Record(*moog.plug(ladder::kOutput), 44100);
  for (const float y : out) {
    ASSERT_TRUE(std::isfinite(y));
    ASSERT_LE(std::fabs(y), 2.0f * std::sqrt(2.0f) / 3.0f + 1e-6f);
  }
}

// --- Parametric EQ: the cookbook peaking filter, w0 = 2 pi f0 / fs, A =
// 10^(dB/40) with dB = 100 x Boost/Cut, alpha = sin w0 sinh(ln 2 / 2 x BW x
// w0 / sin w0), BW = 10 x Resonance octaves: (1 + alpha A, -2 cos w0, 1 -
// alpha A) / (1 + alpha / A, -2 cos w0, 1 - alpha / A). Its gain is A^2 at f0
// and 1 at 0 Hz.

void PeakingPolynomials(double f0, double resonance, double boost_cut, double rate, Poly& b,
                        Poly& a) {
  const double w0 = 2.0 * kPi * f0 / rate, gain = std::pow(10.0, boost_cut * 100.0 / 40.0);
  const double alpha =
      std::sin(w0) * std::sinh(std::log(2.0) / 2.0 * resonance * 10.0 * w0 / std::sin(w0));
  b = {1.0 + alpha * gain, -2.0 * std::cos(w0), 1.0 - alpha * gain};
  a = {1.0 + alpha / gain, -2.0 * std::cos(w0), 1.0 - alpha / gain};
}

TEST_F(FilterTest, ParametricEqBoostsBy10DecibelsPerVoltAt440Hz) {
  std::vector<double> tones = kTones;
  const auto boost = Measure<ug_filter_eq_parametric>(
      {{ladder::kPitch, "5"}, {ladder::kResonance, "1"}, {ladder::kBoostCut, "1"}},
      {ladder::kOutput}, tones);
  const auto cut = Measure<ug_filter_eq_parametric>(
      {{ladder::kPitch, "5"}, {ladder::kResonance, "2"}, {ladder::kBoostCut, "-1.5"}},
      {ladder::kOutput}, tones);
  Poly b, a;
  PeakingPolynomials(440.0, 0.1, 0.1, kRate, b, a);
  ExpectResponse(boost[0], b, a, tones, kRate);
  PeakingPolynomials(440.0, 0.2, -0.15, kRate, b, a);
  ExpectResponse(cut[0], b, a, tones, kRate);
  // 440 Hz is the third tone: +10 dB and -15 dB there.
  EXPECT_NEAR(20.0 * std::log10(std::abs(boost[0][2])), 10.0, 0.01);
  EXPECT_NEAR(20.0 * std::log10(std::abs(cut[0][2])), -15.0, 0.01);
}

TEST_F(FilterTest, ParametricEqWithoutBoostOrCutIsTransparent) {
  auto& eq = AddFilter<ug_filter_eq_parametric>({{ladder::kPitch, "3"}, {ladder::kResonance, "4"}});
  const auto input = [](int64_t n) {
    return static_cast<float>(0.3 * std::sin(0.01 * n) + 0.2 * std::sin(1.3 * n));
  };
  DriveInput(*eq.plug(0), input);
  Start();
  const std::vector<float> out = Record(*eq.plug(ladder::kOutput), 4096);
  for (int64_t n = 0; n < 4096; ++n) ASSERT_EQ(out[n], input(n)) << n;
}

// --- State variable: low += F band; high = x - q band - low; band += F high.
// In z: L = F z^-1 B / (1 - z^-1) and B (1 - z^-1) = F H, so with
// D = 1 + (qF + F^2 - 2) z^-1 + (1 - qF) z^-2:
// low F^2 z^-1 / D, band F (1 - z^-1) / D, high (1 - z^-1)^2 / D, notch
// (low + high) (F^2 z^-1 + (1 - z^-1)^2) / D. F = 2 pi fc / fs (limited by
// the resonance's table), q = 2 - 2 R.

struct SvPolys {
  Poly low, band, high, notch, den;
};
SvPolys StateVariablePolynomials(double f, double q) {
  const Poly den = {1.0, q * f + f * f - 2.0, 1.0 - q * f};
  const Poly high = Power({1.0, -1.0}, 2);
  return {{0.0, f * f}, Scale({1.0, -1.0}, f), high, Add({0.0, f * f}, high), den};
}

TEST_F(FilterTest, StateVariableFilterAt5VoltsOnAllFourOutputs) {
  using namespace state_variable;
  const auto gains = Measure<ug_filter_sv>({{kPitch, "5"}, {kResonance, "5"}},
                                           {kLowPass, kHighPass, kBandPass, kBandReject}, kTones);
  const SvPolys p = StateVariablePolynomials(2.0 * kPi * 440.0 / kRate, 1.0);
  ExpectResponse(gains[0], p.low, p.den, kTones, kRate);
  ExpectResponse(gains[1], p.high, p.den, kTones, kRate);
  ExpectResponse(gains[2], p.band, p.den, kTones, kRate);
  ExpectResponse(gains[3], p.notch, p.den, kTones, kRate);
}

// At the highest resonance (0.9992) the damping is 2 - 2 x 0.9992 and the
// cutoff coefficient stops at the limit table's entry 511, (511 (511 x
// 0.000025 + 0.009) + 7.8) x 0.1; 10 V (14080 Hz, F = 2.006) is above it.
TEST_F(FilterTest, StateVariableFilterAtMaximumResonanceIsLimited) {
  using namespace state_variable;
  const std::vector<double> tones = {1000.0, 5000.0, 10000.0, 14000.0, 20000.0};
  // Poles at radius sqrt(1 - qF) = 0.9985: let the ringing die (e^-50).
  const auto gains = Measure<ug_filter_sv>({{kPitch, "10"}, {kResonance, "10"}},
                                           {kLowPass, kHighPass}, tones, 0.01, 32768);
  const double limit = (511.0 * (511.0 * 0.000025 + 0.009) + 7.8) * 0.1;
  const double q = 2.0f - 2.0f * 0.9992f;
  const SvPolys p = StateVariablePolynomials(static_cast<float>(limit), q);
  ExpectResponse(gains[0], p.low, p.den, tones, kRate);
  ExpectResponse(gains[1], p.high, p.den, tones, kRate);
}

// --- Settling and sleeping on a still input.

TEST_F(FilterTest, OnePoleLowPassSettlesExactlyAndHighPassSleepsOnAStaticInput) {
  auto& low = AddFilter<ug_filter_1pole>({{one_pole::kPitch, "4"}});
  auto& high = AddFilter<ug_filter_1pole_hp>({{one_pole::kPitch, "4"}});
  // Runs with a step to 0.3, then the input holds still.
  const auto step = [](int64_t n) { return n < 300 ? 0.0f : 0.3f; };
  DriveInput(*low.plug(0), step, ST_RUN, {{4 * kCell, ST_STATIC}});
  DriveInput(*high.plug(0), step, ST_RUN, {{4 * kCell, ST_STATIC}});
  Start();
  ASSERT_TRUE(RunUntilAsleep(low));
  ASSERT_TRUE(RunUntilAsleep(high));
  const float* low_out = low.plug(one_pole::kOutput)->Data();
  const float* high_out = high.plug(one_pole::kOutput)->Data();
  for (int i = 0; i < kCell; ++i) {
    ASSERT_EQ(low_out[i], 0.3f) << i;
    ASSERT_EQ(high_out[i], 0.0f) << i;
  }
  // It did not sleep before the output had settled: the decay took a while.
  EXPECT_GT(cells, 5u);
}

TEST_F(FilterTest, EveryFilterSleepsOnAStillInputHoldingItsRestValue) {
  using namespace state_variable;
  auto& sv = AddFilter<ug_filter_sv>({{kPitch, "5"}, {kResonance, "5"}});
  auto& all = AddFilter<ug_filter_allpass>({{all_pass::kPitch, "5"}});
  auto& eq = AddFilter<ug_filter_eq_parametric>({{ladder::kPitch, "5"}, {ladder::kBoostCut, "1"}});
  auto& moog = AddFilter<ug_filter_biquad>({{ladder::kPitch, "7"}, {ladder::kResonance, "5"}});
  const auto burst = [](int64_t n) {
    return n < 600 ? static_cast<float>(0.4 * std::sin(0.05 * n)) : 0.25f;
  };
  const auto burst_to_zero = [](int64_t n) {
    return n < 600 ? static_cast<float>(0.4 * std::sin(0.05 * n)) : 0.0f;
  };
  for (ug_base* filter : std::initializer_list<ug_base*>{&sv, &all, &eq}) {
    DriveInput(*filter->plug(0), burst, ST_RUN, {{5 * kCell, ST_STATIC}});
  }
  DriveInput(*moog.plug(0), burst_to_zero, ST_RUN, {{5 * kCell, ST_STATIC}});
  Start();
  for (ug_base* filter : std::initializer_list<ug_base*>{&sv, &all, &eq, &moog}) {
    ASSERT_TRUE(RunUntilAsleep(*filter, 2000));
  }
  const auto holds = [](const UPlug& output, float value) {
    const float* data = output.Data();
    return std::all_of(data, data + kCell, [value](float s) { return s == value; });
  };
  // The state-variable filter at rest: low = x, band = high = 0, and the
  // notch (low + high) passes 0 Hz.
  EXPECT_TRUE(holds(*sv.plug(kLowPass), 0.25f));
  EXPECT_TRUE(holds(*sv.plug(kHighPass), 0.0f));
  EXPECT_TRUE(holds(*sv.plug(kBandPass), 0.0f));
  EXPECT_TRUE(holds(*sv.plug(kBandReject), 0.25f));
  // The all-pass and the equaliser pass 0 Hz unchanged.
  EXPECT_TRUE(holds(*all.plug(all_pass::kOutput), 0.25f));
  EXPECT_TRUE(holds(*eq.plug(ladder::kOutput), 0.25f));
  EXPECT_TRUE(holds(*moog.plug(ladder::kOutput), 0.0f));
}

TEST_F(FilterTest, ARunningInputWakesASettledFilter) {
  auto& low = AddFilter<ug_filter_1pole>({{one_pole::kPitch, "5"}});
  DriveInput(*low.plug(0),
             [](int64_t n) { return n < 10 * kCell ? 0.5f : 0.1f * static_cast<float>(n % 7); },
             ST_STATIC, {{10 * kCell, ST_RUN}});
  Start();
  Step();
  Step();
  EXPECT_TRUE(low.IsSleeping());
  for (int c = 2; c < 12; ++c) Step();
  EXPECT_FALSE(low.IsSleeping());
  EXPECT_NE(low.plug(one_pole::kOutput)->Data()[kCell - 1], 0.5f);
}

// --- Non-finite state.

TEST_F(FilterTest, NaNInTheStateResetsEveryFilter) {
  constexpr int64_t kBad = 3 * kCell + 17;
  const auto input = [](int64_t n) {
    return n == kBad ? std::numeric_limits<float>::quiet_NaN()
                     : static_cast<float>(0.3 * std::sin(0.02 * static_cast<double>(n)));
  };
  std::vector<std::pair<std::string, UPlug*>> outputs;
  const auto feed = [&](const char* name, ug_base& filter, int output) {
    DriveInput(*filter.plug(0), input);
    outputs.emplace_back(name, filter.plug(output));
  };
  feed("1 Pole LP", AddFilter<ug_filter_1pole>({}), one_pole::kOutput);
  feed("1 Pole HP", AddFilter<ug_filter_1pole_hp>({}), one_pole::kOutput);
  feed("All Pass", AddFilter<ug_filter_allpass>({}), all_pass::kOutput);
  feed("Moog Filter", AddFilter<ug_filter_biquad>({}), ladder::kOutput);
  feed("Parametric EQ", AddFilter<ug_filter_eq_parametric>({{ladder::kBoostCut, "1"}}),
       ladder::kOutput);
  auto& sv = AddFilter<ug_filter_sv>({});
  feed("SV Filter", sv, state_variable::kLowPass);
  Start();
  std::vector<UPlug*> plugs;
  for (const auto& output : outputs) plugs.push_back(output.second);
  const auto out = Record(plugs, 12 * kCell);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    SCOPED_TRACE(outputs[i].first);
    EXPECT_TRUE(std::isnan(out[i][kBad]) || std::isnan(out[i][kBad + 1]));
    // From the next cell on, every sample is a number again and stays small.
    for (int64_t n = 5 * kCell; n < 12 * kCell; ++n) {
      ASSERT_TRUE(std::isfinite(out[i][n])) << n;
      ASSERT_LT(std::fabs(out[i][n]), 2.0f) << n;
    }
  }
}

// Control inputs that are not numbers or are far out of range: the
// coefficients stay finite, so a finite signal gives finite output.
TEST_F(FilterTest, HostileControlsKeepTheOutputFinite) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float hostile[] = {nan, inf, -inf, 1e30f, -1e30f, 7e4f, -7e4f, 0.5f};
  const auto pick = [&](int64_t n, int salt) {
    return hostile[(n / 16 + salt) % std::size(hostile)];
  };
  const auto signal = [](int64_t n) { return static_cast<float>(0.3 * std::sin(0.05 * n)); };
  std::vector<UPlug*> outputs;
  const auto drive = [&](ug_base& filter, std::initializer_list<int> controls, int output) {
    DriveInput(*filter.plug(0), signal);
    int salt = 0;
    for (const int control : controls) {
      DriveInput(*filter.plug(control), [&pick, salt](int64_t n) { return pick(n, salt); });
      salt += 3;
    }
    outputs.push_back(filter.plug(output));
  };
  for (const char* scale : {"0", "1"}) {
    drive(AddFilter<ug_filter_1pole>({{one_pole::kFreqScale, scale}}), {one_pole::kPitch},
          one_pole::kOutput);
    drive(AddFilter<ug_filter_1pole_hp>({{one_pole::kFreqScale, scale}}), {one_pole::kPitch},
          one_pole::kOutput);
    drive(AddFilter<ug_filter_allpass>({{all_pass::kFreqScale, scale}}),
          {all_pass::kPitch, all_pass::kResonance}, all_pass::kOutput);
    drive(AddFilter<ug_filter_biquad>({{ladder::kFreqScale, scale}}),
          {ladder::kPitch, ladder::kResonance}, ladder::kOutput);
    drive(AddFilter<ug_filter_eq_parametric>({{ladder::kFreqScale, scale}}),
          {ladder::kPitch, ladder::kResonance, ladder::kBoostCut}, ladder::kOutput);
    drive(AddFilter<ug_filter_sv>({{7, scale}}),
          {state_variable::kPitch, state_variable::kResonance}, state_variable::kLowPass);
  }
  Start();
  const auto out = Record(outputs, 32 * kCell);
  for (std::size_t i = 0; i < out.size(); ++i) {
    // A cell or so may still carry what an infinite gain left; after the
    // reset at its end the rest must be numbers.
    std::size_t finite = 0;
    for (const float sample : out[i]) finite += std::isfinite(sample) ? 1 : 0;
    EXPECT_GE(finite, out[i].size() - 4 * kCell) << "filter " << i;
  }
}

}  // namespace
}  // namespace ov::test
