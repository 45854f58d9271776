// Logic gates and counters: truth tables at the hysteresis thresholds, the
// hysteresis walk, opening levels, sleeping after the last change, and the
// counters' walks, first-sample rules, resets and wrap-arounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "modules/logic_counters.h"
#include "modules/logic_gates.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

constexpr float kHigh = 0.34f;  // just above the rising threshold
constexpr float kLow = 0.16f;   // just below the falling one

// A gate with `inputs` inputs, as the graph builder makes them (one plug per
// connection), each fed its own source.
template <typename Gate>
Gate& AddGate(ModuleRig& rig, int32_t inputs) {
  Gate& gate = rig.AddRaw(std::make_unique<Gate>(), 10);  // "Output", "Input"
  for (int32_t i = 1; i < inputs; ++i) gate.AddPlug(DR_IN, DT_FSAMPLE);
  gate.SetUpBuffers();
  return gate;
}

template <typename Gate>
float GateOutput(uint32_t inputs_high, int32_t inputs) {
  ModuleRig rig;
  Gate& gate = AddGate<Gate>(rig, inputs);
  for (int32_t i = 0; i < inputs; ++i) {
    const float level = (inputs_high >> i & 1u) != 0 ? kHigh : kLow;
    rig.DriveInput(*gate.plug(1 + i), [=](int64_t) { return level; }, ST_STATIC);
  }
  rig.Start();
  return rig.Record(*gate.plug(ug_logic_gate::kOutput), 200)[150];
}

TEST(LogicGates, TruthTablesForOneToFourInputs) {
  for (int32_t inputs = 1; inputs <= 4; ++inputs) {
    for (uint32_t high = 0; high < (1u << inputs); ++high) {
      const int count = std::popcount(high);
      const auto level = [](bool x) { return x ? 0.5f : 0.0f; };
      SCOPED_TRACE(testing::Message() << inputs << " inputs, mask " << high);
      EXPECT_EQ(GateOutput<ug_logic_AND>(high, inputs), level(count == inputs));
      EXPECT_EQ(GateOutput<ug_logic_OR>(high, inputs), level(count > 0));
      EXPECT_EQ(GateOutput<ug_logic_XOR>(high, inputs), level(count % 2 == 1));
      EXPECT_EQ(GateOutput<ug_logic_NAND>(high, inputs), level(count != inputs));
      EXPECT_EQ(GateOutput<ug_logic_NOR>(high, inputs), level(count == 0));
    }
  }
}

TEST(LogicGates, HysteresisTurnsHighOnlyAboveAThirdAndLowOnlyBelowASixth) {
  ModuleRig rig;
  auto& gate = AddGate<ug_logic_OR>(rig, 1);
  static constexpr float kWalk[] = {0.2f, 0.3f, 0.34f, 0.3f, 0.2f, 0.16f};
  rig.DriveInput(*gate.plug(1), [](int64_t n) { return kWalk[std::min<int64_t>(n / 10, 5)]; });
  rig.Start();
  const std::vector<float> out = rig.Record(*gate.plug(ug_logic_gate::kOutput), 70);
  for (int n = 0; n < 70; ++n) EXPECT_EQ(out[n], n >= 20 && n < 50 ? 0.5f : 0.0f) << n;

  // The NOT gate follows the same rule, inverted.
  ModuleRig not_rig;
  auto& inverter = not_rig.AddRaw(std::make_unique<ug_logic_not>(), 10);
  not_rig.DriveInput(*inverter.plug(ug_logic_not::kSignalIn),
                     [](int64_t n) { return kWalk[std::min<int64_t>(n / 10, 5)]; });
  not_rig.Start();
  const std::vector<float> inverted = not_rig.Record(*inverter.plug(ug_logic_not::kSignalOut), 70);
  for (int n = 0; n < 70; ++n) EXPECT_EQ(inverted[n], n >= 20 && n < 50 ? 0.0f : 0.5f) << n;
}

TEST(LogicGates, AndWithoutInputsNandAndNotOpenHigh) {
  ModuleRig rig;
  auto& lone_and = rig.AddRaw(std::make_unique<ug_logic_AND>(), 10);  // spare left unconnected
  auto& nand = AddGate<ug_logic_NAND>(rig, 2);
  auto& low_or = AddGate<ug_logic_OR>(rig, 2);
  auto& inverter = rig.AddRaw(std::make_unique<ug_logic_not>(), 10);
  for (int i = 1; i <= 2; ++i) {
    rig.DriveInput(*nand.plug(i), [](int64_t) { return 0.0f; }, ST_STATIC);
    rig.DriveInput(*low_or.plug(i), [](int64_t) { return 0.0f; }, ST_STATIC);
  }
  rig.DriveInput(*inverter.plug(0), [](int64_t) { return 0.0f; }, ST_STATIC);
  rig.Start();
  const auto out = rig.Record({lone_and.plug(0), nand.plug(0), low_or.plug(0), inverter.plug(1)},
                              512);
  for (int n : {0, 100, 511}) {
    EXPECT_EQ(out[0][n], 0.5f) << n;
    EXPECT_EQ(out[1][n], 0.5f) << n;
    EXPECT_EQ(out[2][n], 0.0f) << n;
    EXPECT_EQ(out[3][n], 0.5f) << n;
  }
  for (const ug_base* module : std::initializer_list<const ug_base*>{&lone_and, &nand, &inverter}) {
    EXPECT_TRUE(module->IsSleeping());
  }
}

TEST(LogicGates, AGateSleepsOneBlockAfterItsLastOutputChange) {
  ModuleRig rig;
  auto& gate = AddGate<ug_logic_OR>(rig, 1);
  rig.DriveInput(*gate.plug(1), [](int64_t n) { return n >= 300 ? 0.5f : 0.0f; }, ST_STATIC,
                 {{300u, ST_STATIC}});
  rig.Start();
  const std::vector<float> out = rig.Record(*gate.plug(0), 384);  // to the end of cell 3
  EXPECT_EQ(out[299], 0.0f);
  EXPECT_EQ(out[300], 0.5f);
  EXPECT_FALSE(gate.IsSleeping());
  rig.Step();  // 384 … 511 holds 300 + 128: the block is full, sleep comes next
  EXPECT_FALSE(gate.IsSleeping());
  rig.Step();
  EXPECT_TRUE(gate.IsSleeping());
  const float* block = gate.plug(0)->Data();
  EXPECT_TRUE(std::all_of(block, block + ModuleRig::kCell, [](float x) { return x == 0.5f; }));
}

// A counter with `outputs` connected outputs (plugs 2 on).
template <typename Counter>
Counter& AddCounter(ModuleRig& rig, int32_t outputs) {
  Counter& counter = rig.Add(std::make_unique<Counter>());
  for (int32_t i = 1; i < outputs; ++i) counter.AddPlug(DR_OUT, DT_FSAMPLE);
  counter.SetUpBuffers();
  return counter;
}

// High for 50 samples from every multiple of `period` (from one period on).
std::function<float(int64_t)> Pulses(int64_t period, int64_t width = 50) {
  return [=](int64_t n) { return n >= period && n % period < width ? 0.5f : 0.0f; };
}

TEST(StepCounter, TheHighLevelWalksAlongThreeOutputsWithFourSampleRamps) {
  ModuleRig rig;
  auto& counter = AddCounter<ug_logic_counter>(rig, 3);
  rig.DriveInput(*counter.plug(ug_logic_counter::kClock), Pulses(100));
  rig.Start();
  const auto out = rig.Record({counter.plug(2), counter.plug(3), counter.plug(4)}, 400);
  const std::vector<float> ramp = {0.125f, 0.25f, 0.375f, 0.5f};
  EXPECT_EQ(std::vector<float>(out[0].begin(), out[0].begin() + 4), ramp);  // high at open
  EXPECT_EQ(std::vector<float>(out[1].begin() + 100, out[1].begin() + 104), ramp);
  EXPECT_EQ(std::vector<float>(out[2].begin() + 200, out[2].begin() + 204), ramp);
  EXPECT_EQ(std::vector<float>(out[0].begin() + 300, out[0].begin() + 304), ramp);
  EXPECT_EQ(out[0][103], 0.0f);
  for (const auto& [n, high] : {std::pair{50, 0}, {150, 1}, {250, 2}, {350, 0}}) {
    for (int o = 0; o < 3; ++o) EXPECT_EQ(out[o][n], o == high ? 0.5f : 0.0f) << n << " " << o;
  }
}

TEST(StepCounter, AClockHighFromTheStartCountsOnlyForTheFirstStepCounter) {
  ModuleRig rig;
  auto& first = AddCounter<ug_logic_counter>(rig, 2);
  auto& second = AddCounter<ug_logic_counter2>(rig, 2);
  auto& binary = rig.Add(std::make_unique<ug_logic_Bin_Count>());
  for (ug_base* module : std::initializer_list<ug_base*>{&first, &second, &binary}) {
    rig.DriveInput(*module->plug(0), [](int64_t) { return 0.5f; });
  }
  rig.Start();
  rig.Record(*first.plug(2), 256);
  EXPECT_EQ(first.Step(), 1);
  EXPECT_EQ(second.Step(), 0);
  EXPECT_EQ(binary.Count(), 0u);
}

TEST(StepCounter, ClockWithResetHighStaysAtTheFirstStep) {
  ModuleRig rig;
  auto& counter = AddCounter<ug_logic_counter>(rig, 3);
  rig.DriveInput(*counter.plug(ug_logic_counter::kClock), Pulses(100));
  rig.DriveInput(*counter.plug(ug_logic_counter::kReset), [](int64_t) { return 0.5f; });
  rig.Start();
  EXPECT_EQ(rig.Record(*counter.plug(2), 500)[450], 0.5f);
  EXPECT_EQ(counter.Step(), 0);
}

TEST(StepCounter, WithoutConnectedOutputsItCountsNothingAndWritesNothing) {
  ModuleRig rig;
  auto& counter = static_cast<ug_logic_counter&>(rig.top.AddChild(std::make_unique<ug_logic_counter>()));
  const int32_t clock_and_reset[] = {0, 1};
  counter.CreatePlugs(clock_and_reset);
  counter.SetUpBuffers();
  counter.SetSortOrder(10);
  rig.DriveInput(*counter.plug(0), Pulses(20, 10));
  rig.DriveInput(*counter.plug(1), [](int64_t) { return 0.0f; }, ST_STATIC);
  rig.Start();
  for (int i = 0; i < 4; ++i) rig.Step();
  EXPECT_EQ(counter.Step(), 0);
}

TEST(BinaryCounter, CountsInBinaryAndShowsAllLowAfter256Pulses) {
  ModuleRig rig;
  auto& counter = rig.Add(std::make_unique<ug_logic_Bin_Count>());
  rig.DriveInput(*counter.plug(ug_logic_Bin_Count::kClock), Pulses(10, 5));
  rig.Start();
  std::vector<UPlug*> bits;
  for (int b = 0; b < 8; ++b) bits.push_back(counter.plug(ug_logic_Bin_Count::kFirstBit + b));
  const auto out = rig.Record(bits, 2700);
  // Five pulses by sample 58: 101.
  EXPECT_EQ(out[0][58], 0.5f);
  EXPECT_EQ(out[1][58], 0.0f);
  EXPECT_EQ(out[2][58], 0.5f);
  EXPECT_EQ(counter.Count(), 281u);  // pulses up to 2816 (whole cells): the count keeps rising
  // Pulse 256 rose at 2560.
  for (int b = 0; b < 8; ++b) EXPECT_EQ(out[b][2565], 0.0f) << b;
  EXPECT_EQ(out[7][2555], 0.5f);
}

TEST(ShiftRegister, ThreeClocksWithInputHighFillTheFirstThreeBits) {
  ModuleRig rig;
  auto& shift = rig.Add(std::make_unique<ug_logic_shift>());
  rig.DriveInput(*shift.plug(ug_logic_shift::kClock), Pulses(100));
  rig.DriveInput(*shift.plug(ug_logic_shift::kData), [](int64_t) { return 0.5f; }, ST_STATIC);
  rig.Start();
  std::vector<UPlug*> bits;
  for (int b = 0; b < 4; ++b) bits.push_back(shift.plug(ug_logic_shift::kFirstBit + b));
  const auto out = rig.Record(bits, 390);
  EXPECT_EQ(out[0][380], 0.5f);
  EXPECT_EQ(out[1][380], 0.5f);
  EXPECT_EQ(out[2][380], 0.5f);
  EXPECT_EQ(out[3][380], 0.0f);
  EXPECT_EQ(out[1][150], 0.0f);  // one clock: only B0
}

}  // namespace
}  // namespace ov::test
