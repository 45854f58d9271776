// The meters on known signals: when the LED lights and goes dark, the peak
// meter's rise and fall, the volt meter's mean, texts and update rate, and
// each one sleeping once its input is static and its display settled.
#include "modules/meters.h"

#include "modules/level_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

class MetersTest : public ModuleTest {
 protected:
  // Runs cells until `samples` have passed, noting the displayed value
  // after each cell.
  std::vector<float> Watch(const ug_meter& meter, int64_t samples) {
    std::vector<float> shown;
    for (int64_t done = 0; done < samples; done += kCell) {
      Step();
      shown.push_back(meter.DisplayedValue());
    }
    return shown;
  }
  // The cell that holds sample `time`, counted from the start.
  static std::size_t CellOf(uint32_t time) { return time / kCell; }
};

TEST_F(MetersTest, TheLedLightsAtOnceAndGoesDarkAtTheFirstUpdateWithoutAnExceedance) {
  auto& led = Add(std::make_unique<ug_led>());
  // One sample just above 3.333 V at 5000; 3.333 V itself does not light it.
  Stream(led, 0, [](uint32_t start, float* samples) {
    for (int32_t i = 0; i < kCell; ++i) samples[i] = start + i == 5000 ? 0.3334f : 0.3333f;
  });
  Start();
  EXPECT_EQ(led.UpdateInterval(), 7350);
  // Polyphony marking stops at a meter, and its input keeps no voice alive.
  EXPECT_EQ(led.Flags() & (UGF_STOPS_MARKING | UGF_VOICE_NEUTRAL),
            UGF_STOPS_MARKING | UGF_VOICE_NEUTRAL);
  const std::vector<float> shown = Watch(led, 30000);
  EXPECT_EQ(shown[CellOf(5000) - 1], 0.0f);
  EXPECT_EQ(shown[CellOf(5000)], 100.0f);
  EXPECT_EQ(shown[CellOf(14700) - 1], 100.0f);  // the update at 7350 saw it
  EXPECT_EQ(shown[CellOf(14700)], 0.0f);
  EXPECT_FALSE(led.IsSleeping());  // the input still runs
}

TEST_F(MetersTest, AStaticLedSettlesLitAndSleeps) {
  auto& led = Add(std::make_unique<ug_led>());
  Set(led, 0, "5");
  Start();
  const std::vector<float> shown = Watch(led, 30000);
  EXPECT_EQ(shown.back(), 100.0f);
  EXPECT_TRUE(led.IsSleeping());
}

// A steady 5 V that drops to 0 V at `drop`, as two static changes.
void FiveVoltsUntil(ModuleRig& rig, ug_base& meter, uint32_t drop) {
  rig.DriveInput(*meter.plug(0), [=](int64_t n) { return n < drop ? 0.5f : 0.0f; }, ST_STATIC,
                 {{drop, ST_STATIC}});
}

TEST_F(MetersTest, ThePeakMeterReadsNinetyDecibelsAtFiveVoltsAndFallsTwentyPerUpdate) {
  auto& peak = Add(std::make_unique<ug_peak_meter>());
  FiveVoltsUntil(*this, peak, 44100);
  Start();
  std::vector<float> shown = Watch(peak, 44100 - kCell);
  EXPECT_EQ(shown.back(), 90.0f);
  EXPECT_TRUE(peak.IsSleeping());

  // From the drop, one update an interval: 70, 50, ... -90, then -100.
  shown = Watch(peak, 2 * 44100);
  std::vector<float> steps;
  for (float value : shown) {
    if (steps.empty() ? value != 90.0f : value != steps.back()) steps.push_back(value);
  }
  std::vector<float> expected;
  for (float v = 70.0f; v > -100.0f; v -= 20.0f) expected.push_back(v);
  expected.push_back(-100.0f);
  EXPECT_EQ(steps, expected);
  EXPECT_TRUE(peak.IsSleeping());
}

TEST_F(MetersTest, ThePeakMeterInLinearReadsFiftyAndFallsToZero) {
  auto& peak = Add(std::make_unique<ug_peak_meter>());
  Set(peak, 1, "1");
  FiveVoltsUntil(*this, peak, 44100);
  Start();
  EXPECT_EQ(Watch(peak, 44100 - kCell).back(), 50.0f);
  const std::vector<float> later = Watch(peak, 44100);
  EXPECT_EQ(later[CellOf(7350 + 10)], 30.0f);
  EXPECT_EQ(later.back(), 0.0f);
  EXPECT_TRUE(peak.IsSleeping());
}

TEST_F(MetersTest, ASampleThatIsNotANumberNeverBecomesThePeak) {
  auto& peak = Add(std::make_unique<ug_peak_meter>());
  Set(peak, 1, "1");
  Stream(peak, 0, [](uint32_t start, float* samples) {
    for (int32_t i = 0; i < kCell; ++i) {
      samples[i] = (start + i) % 3 == 0 ? std::numeric_limits<float>::quiet_NaN() : 0.1f;
    }
  });
  Start();
  const std::vector<float> shown = Watch(peak, 30000);
  EXPECT_NEAR(shown.back(), 10.0f, 1e-5f);
}

TEST_F(MetersTest, TheVoltMeterShowsTheMeanOrRootMeanSquareAndSleepsWhenSettled) {
  auto& dc = Add(std::make_unique<ug_volt_meter>());
  Set(dc, 0, "2");
  auto& rms = Add(std::make_unique<ug_volt_meter>());
  Set(rms, 0, "-2");
  Set(rms, ug_volt_meter::kMode, "1");
  Start();
  EXPECT_EQ(dc.UpdateInterval(), 22050);  // "Regular": twice a second
  Watch(dc, 5 * 44100);
  EXPECT_EQ(ug_volt_meter::Text(dc.DisplayedValue(), dc.DisplayedMode()), "2.00");
  EXPECT_EQ(ug_volt_meter::Text(rms.DisplayedValue(), rms.DisplayedMode()), "2.00");
  EXPECT_EQ(rms.DisplayedMode(), ug_volt_meter::kAcRms);
  EXPECT_TRUE(dc.IsSleeping());
  EXPECT_TRUE(rms.IsSleeping());
}

TEST(VoltMeter, TextsHaveThreeTwoOrOneDecimals) {
  EXPECT_EQ(ug_volt_meter::Text(0.05f, ug_volt_meter::kDc), "0.500");
  EXPECT_EQ(ug_volt_meter::Text(15.0f, ug_volt_meter::kDc), "150.0");
  EXPECT_EQ(ug_volt_meter::Text(0.5f, ug_volt_meter::kDc), "5.00");
  EXPECT_EQ(ug_volt_meter::Text(0.04f, ug_volt_meter::kAcRms), "2.00");
  EXPECT_EQ(ug_volt_meter::Text(-0.3f, ug_volt_meter::kDc), "-3.000");
}

TEST_F(MetersTest, FastVoltMeterUpdatesEvery8820SamplesAndANonPositiveRateCountsAsTwo) {
  auto& fast = Add(std::make_unique<ug_volt_meter>());
  Set(fast, ug_volt_meter::kUpdateRate, "5");
  Stream(fast, 0, [](uint32_t start, float* samples) {
    for (int32_t i = 0; i < kCell; ++i) samples[i] = 0.2f + 1e-4f * ((start + i) % 7);
  });
  auto& zero = Add(std::make_unique<ug_volt_meter>());
  Set(zero, ug_volt_meter::kUpdateRate, "0");
  auto& negative = Add(std::make_unique<ug_volt_meter>());
  Set(negative, ug_volt_meter::kUpdateRate, "-3");
  Start();
  EXPECT_EQ(fast.UpdateInterval(), 8820);
  EXPECT_EQ(zero.UpdateInterval(), 22050);
  EXPECT_EQ(negative.UpdateInterval(), 22050);
  const std::vector<float> shown = Watch(fast, 30000);
  std::vector<std::size_t> changes;
  for (std::size_t c = 1; c < shown.size(); ++c) {
    if (shown[c] != shown[c - 1]) changes.push_back(c);
  }
  EXPECT_EQ(changes, (std::vector<std::size_t>{CellOf(8820), CellOf(17640), CellOf(26460)}));
}

TEST_F(MetersTest, TheLevelMeterSettlesOnEachResponseAndTicksAtTheUpdateRate) {
  struct Row {
    int16_t response;
    float input;
    // After twenty seconds, within 1e-3: single precision stops the slow
    // DC average short of its input by less than that.
    float reading;
  };
  const Row rows[] = {{ug_param_float_out::kVu, 0.5f, 0.5f},
                      {ug_param_float_out::kPpm, -0.5f, 0.5f},
                      {ug_param_float_out::kPeak, -0.5f, 0.5f},
                      {ug_param_float_out::kHeadRoom, 0.25f, 0.75f},
                      {ug_param_float_out::kDcFast, 0.3f, 0.3f},
                      {ug_param_float_out::kDcAverage, -0.3f, -0.3f}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.response);
    ModuleRig rig;
    auto& meter = rig.Add(std::make_unique<ug_param_float_out>());
    const float input = row.input;
    rig.DriveInput(*meter.plug(0), [=](int64_t) { return input; }, ST_STATIC);
    rig.Set(meter, ug_param_float_out::kResponse, std::to_string(row.response).c_str());
    rig.Start();
    EXPECT_EQ(meter.UpdateInterval(), 4396);  // trunc(44100 / 10.03)
    EXPECT_EQ(meter.DisplayedValue(), -1000.0f);
    for (int64_t done = 0; done < 20 * 44100; done += kCell) rig.Step();
    EXPECT_NEAR(meter.DisplayedValue(), row.reading, 1e-3f);
    EXPECT_TRUE(meter.IsSleeping());  // static input, steady reading
  }
  EXPECT_EQ(ug_param_float_out::TickInterval(44100.0f, 0), 42815);  // taken as 1 Hz
  EXPECT_EQ(ug_param_float_out::TickInterval(1.0f, 40), 1);
}

}  // namespace
}  // namespace ov::test
