// Math and conversion modules: arithmetic at the default inputs, static
// results, rounding at whole volts, comparison, sampling on edges, pulse
// lengths, list choice with its window, float/voltage conversion, level
// readings and their update rate, denormal handling and the random source.
// Also: every type of this family has a generator of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "document/container.h"
#include "document/graph_build.h"
#include "document/project_text.h"
#include "modules/denormal.h"
#include "modules/math_arithmetic.h"
#include "modules/math_converters.h"
#include "modules/math_one_input.h"
#include "modules/math_signals.h"
#include "modules/module_registry.h"
#include "modules/ug_unavailable.h"
#include "platform/float_mode.h"
#include "tests/engine/engine_test_support.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

TEST(MathModules, EveryTypeOfTheFamilyHasItsOwnGenerator) {
  for (const char* key :
       {"AND Gate", "OR Gate", "XOR Gate", "NAND Gate", "NOR Gate", "NOT Gate", "Step Counter",
        "Step Counter2", "Decade Counter", "Binary Counter", "Shift Register", "Subtract",
        "Multiply", "Divide", "Ring Modulator", "Level Adj", "Quantiser", "Ceil", "Floor",
        "Inverter", "Rectifier", "Denormal Detector", "Denormal Cleaner", "Comparator",
        "Sample and Hold", "Monostable", "random", "Voltage To List", "FloatToVolts",
        "VoltsToFloat"}) {
    const Module_Info* type = BuiltInModules().FindModule(key);
    ASSERT_NE(type, nullptr) << key;
    const std::unique_ptr<ug_base> generator = type->CreateGenerator();
    ASSERT_NE(generator, nullptr) << key;
    EXPECT_EQ(dynamic_cast<ug_unavailable*>(generator.get()), nullptr) << key;
    std::vector<InterfaceObject> listed;
    generator->ListPlugs(listed);
    EXPECT_EQ(listed.size(), type->Descriptors().size()) << key;
  }
}

// The output of a two-input module after a few blocks.
template <typename Module>
float Output(const char* a, const char* b, int32_t output = 2) {
  ModuleRig rig;
  auto& module = rig.Add(std::make_unique<Module>());
  if (a != nullptr) rig.Set(module, 0, a);
  if (b != nullptr) rig.Set(module, 1, b);
  rig.Start();
  return rig.Record(*module.plug(output), 300)[299];
}

TEST(MathModules, ArithmeticInVolts) {
  EXPECT_FLOAT_EQ(Output<ug_math_mult>(nullptr, nullptr), 6.4f);  // 8 V x 8 V = 64 V
  EXPECT_FLOAT_EQ(Output<ug_multiplier>(nullptr, nullptr), 0.64f);
  EXPECT_FLOAT_EQ(Output<ug_math_div>("8", "2"), 0.4f);
  EXPECT_FLOAT_EQ(Output<ug_math_sub>("3", "5"), -0.2f);
  EXPECT_FLOAT_EQ(Output<ug_math_mult>("5", "2"), 1.0f);
  EXPECT_FLOAT_EQ(Output<ug_multiplier>("5", "2"), 0.1f);
}

TEST(MathModules, StaticInputsAndAStaticZeroFactorGiveAStaticOutput) {
  {
    ModuleRig rig;
    auto& subtract = rig.Add(std::make_unique<ug_math_sub>());
    rig.Set(subtract, 0, "7");
    rig.Set(subtract, 1, "2");
    rig.Start();
    EXPECT_FLOAT_EQ(rig.Record(*subtract.plug(2), 512)[511], 0.5f);
    EXPECT_TRUE(subtract.IsSleeping());
  }
  for (const int32_t zero_input : {0, 1}) {
    ModuleRig rig;
    auto& multiply = rig.Add(std::make_unique<ug_math_mult>());
    rig.Set(multiply, zero_input, "0");
    rig.Stream(multiply, 1 - zero_input, [](uint32_t start, float* samples) {
      for (int32_t i = 0; i < ModuleRig::kCell; ++i) samples[i] = std::sin(0.01f * (start + i));
    });
    rig.Start();
    const std::vector<float> out = rig.Record(*multiply.plug(2), 512);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float x) { return x == 0.0f; }));
    EXPECT_EQ(multiply.plug(2)->State(), ST_STOP) << "no run announced";
    EXPECT_TRUE(multiply.IsSleeping()) << zero_input;
  }
  // One input running: the other is read once per slice, with the same result.
  ModuleRig rig;
  auto& quantiser = rig.Add(std::make_unique<ug_quantiser>());
  rig.Set(quantiser, 1, "1");
  rig.Stream(quantiser, 0, Constant(0.26f));
  rig.Start();
  EXPECT_FLOAT_EQ(rig.Record(*quantiser.plug(2), 300)[299], 0.3f);
}

TEST(MathModules, QuantiserRoundsToTheNearestStep) {
  for (const auto& [in, out] : {std::pair{"2.4", 0.2f}, {"2.6", 0.3f}, {"-2.4", -0.2f}}) {
    EXPECT_FLOAT_EQ(Output<ug_quantiser>(in, "1"), out) << in;
    EXPECT_FLOAT_EQ(QuantiseOp::Apply(std::stof(in) * 0.1f, 0.1f), out) << in;  // step running
  }
  // A step of 0 V or below acts as 1e-9.
  for (const char* step : {"0", "-3"}) {
    EXPECT_NEAR(Output<ug_quantiser>("1.2345", step), 0.12345f, 1e-8f) << step;
  }
}

TEST(MathModules, CeilAndFloorGiveWholeVoltsDespiteSinglePrecision) {
  struct Case {
    float volts;
    float ceil;
    float floor;
  };
  for (const Case& c : {Case{2.1f, 3, 2}, {2, 2, 2}, {2.9f, 3, 2}, {7, 7, 7}, {-2.1f, -2, -2},
                        {-2, -2, -2}, {-2.9f, -2, -2}, {-7, -7, -7}, {-3, -3, -3}, {-1, -1, -1},
                        {-1.5f, -1, -1}, {0, 0, 0}}) {
    EXPECT_FLOAT_EQ(CeilOp::Apply(c.volts * 0.1f), c.ceil * 0.1f) << c.volts;
    EXPECT_FLOAT_EQ(FloorOp::Apply(c.volts * 0.1f), c.floor * 0.1f) << c.volts;
  }
}

TEST(MathModules, OneInputModulesFollowTheirInputsStreamState) {
  {
    ModuleRig rig;
    auto& rectifier = rig.Add(std::make_unique<ug_rectifier>());
    rig.Set(rectifier, 0, "-3");
    rig.Start();
    EXPECT_FLOAT_EQ(rig.Record(*rectifier.plug(1), 512)[511], 0.3f);
    EXPECT_TRUE(rectifier.IsSleeping());
  }
  ModuleRig rig;
  auto& inverter = rig.Add(std::make_unique<ug_inverter>());
  rig.DriveInput(*inverter.plug(0), [](int64_t n) { return 0.001f * static_cast<float>(n); });
  rig.Start();
  const std::vector<float> out = rig.Record(*inverter.plug(1), 512);
  EXPECT_FLOAT_EQ(out[400], -0.4f);
  EXPECT_FALSE(inverter.IsSleeping());
}

TEST(MathModules, ComparatorGivesTheLowLevelForEqualInputs) {
  EXPECT_FLOAT_EQ(Output<ug_comparator>("3", "3"), -0.5f);
  EXPECT_FLOAT_EQ(Output<ug_comparator>("3.1", "3"), 0.5f);
  ModuleRig rig;
  auto& comparator = rig.Add(std::make_unique<ug_comparator>());
  rig.Set(comparator, ug_comparator::kHiOutVal, "2");
  rig.Set(comparator, ug_comparator::kLoOutVal, "1");
  rig.DriveInput(*comparator.plug(0), [](int64_t n) { return n < 200 ? 0.0f : 1.0f; });
  rig.Start();
  const std::vector<float> out = rig.Record(*comparator.plug(ug_comparator::kOutput), 300);
  EXPECT_FLOAT_EQ(out[199], 0.1f);
  EXPECT_FLOAT_EQ(out[200], 0.2f);
}

TEST(MathModules, SampleAndHoldSamplesOncePerRiseThroughZero) {
  ModuleRig rig;
  auto& hold = rig.Add(std::make_unique<ug_sample_hold>());
  rig.DriveInput(*hold.plug(ug_sample_hold::kAudio),
                 [](int64_t n) { return 0.001f * static_cast<float>(n); });
  rig.DriveInput(*hold.plug(ug_sample_hold::kHold), [](int64_t n) {
    if (n < 100) return -0.1f;
    if (n < 200) return 0.1f;
    if (n < 210) return 0.05f;  // still above 0 V: no new sample
    if (n < 300) return 0.0f;   // at 0 V: armed again
    return 0.1f;
  });
  rig.Start();
  const std::vector<float> out = rig.Record(*hold.plug(ug_sample_hold::kOutput), 400);
  EXPECT_EQ(out[50], 0.0f);
  EXPECT_FLOAT_EQ(out[150], 0.1f);
  EXPECT_FLOAT_EQ(out[299], 0.1f);
  EXPECT_FLOAT_EQ(out[350], 0.3f);
}


// A static input rising at 100, falling at 500 and rising again at 1000.
std::vector<float> Pulse(const char* length, int64_t samples) {
  ModuleRig rig;
  auto& monostable = rig.Add(std::make_unique<ug_monostable>());
  rig.Set(monostable, ug_monostable::kPulseLength, length);
  rig.DriveInput(
      *monostable.plug(ug_monostable::kSignalIn),
      [](int64_t n) { return (n >= 100 && n < 500) || n >= 1000 ? 0.5f : 0.0f; }, ST_STATIC,
      {{100u, ST_STATIC}, {500u, ST_STATIC}, {1000u, ST_STATIC}});
  rig.Start();
  std::vector<float> out = rig.Record(*monostable.plug(ug_monostable::kSignalOut), samples);
  rig.Step();
  EXPECT_TRUE(monostable.IsSleeping()) << "a block after the pulse";
  return out;
}

TEST(MathModules, MonostablePulsesLastTheirLengthAndIgnoreRetriggers) {
  const std::vector<float> shortest = Pulse("0", 2000);
  EXPECT_EQ(std::count(shortest.begin(), shortest.end(), 0.5f), 2);  // 100 and 1000
  EXPECT_EQ(shortest[100], 0.5f);
  EXPECT_EQ(shortest[1000], 0.5f);

  const std::vector<float> second = Pulse("10", 46000);
  EXPECT_EQ(std::count(second.begin(), second.end(), 0.5f), 44100);  // 1000: ignored
  EXPECT_EQ(second[100], 0.5f);
  EXPECT_EQ(second[100 + 44099], 0.5f);
  EXPECT_EQ(second[100 + 44100], 0.0f);
}

// Runs a "Voltage To List" over `list` with one input value per cell and
// returns the chosen value after each cell.
std::vector<int16_t> Choices(const char* list, std::vector<float> volts) {
  ModuleRig rig;
  auto& module = rig.Add(std::make_unique<ug_voltage_to_enum>());
  module.OnItemList(ug_voltage_to_enum::kListOut, list);
  rig.DriveInput(*module.plug(0), [volts](int64_t n) {
    return volts[std::min<std::size_t>(static_cast<std::size_t>(n / ModuleRig::kCell),
                                       volts.size() - 1)] *
           0.1f;
  });
  rig.Start();
  std::vector<int16_t> chosen;
  for (std::size_t i = 0; i < volts.size(); ++i) {
    rig.Step();
    chosen.push_back(module.Value());
  }
  return chosen;
}

TEST(MathModules, VoltageToListChoosesItemsWithAWindow) {
  EXPECT_EQ(Choices("a,b,c", {0, 5, 10, 12, 0}), (std::vector<int16_t>{0, 1, 2, 2, 0}));
  // From item 0 the choice moves only above 4.44 V; back from item 2 below
  // 5.56 V.
  EXPECT_EQ(Choices("a,b,c", {0, 4.4f, 4.5f, 12, 5.6f, 5.5f}),
            (std::vector<int16_t>{0, 0, 1, 2, 2, 1}));
  // A running input is chosen for from the start.
  EXPECT_EQ(Choices("a,b,c", {4.4f}), (std::vector<int16_t>{1}));
  EXPECT_EQ(Choices("x=7,y=-3", {0, 10}), (std::vector<int16_t>{7, -3}));
  EXPECT_EQ(Choices("range 0,1000000", {10}), (std::vector<int16_t>{32767}));
  EXPECT_EQ(Choices("range 0,10", {5}), (std::vector<int16_t>{5}));
  EXPECT_EQ(Choices("", {0, 5, 10}), (std::vector<int16_t>{0, 0, 0}));
}

TEST(MathModules, DivisionByZeroFeedsModulesDownstreamHarmlessly) {
  for (const char* dividend : {"8", "-8", "0"}) {
    ModuleRig rig;
    auto& divide = rig.Add(std::make_unique<ug_math_div>());
    rig.Set(divide, 0, dividend);
    rig.Set(divide, 1, "0");
    auto& quantiser = rig.Add(std::make_unique<ug_quantiser>(), 5);
    auto& comparator = rig.Add(std::make_unique<ug_comparator>(), 5);
    auto& list = rig.Add(std::make_unique<ug_voltage_to_enum>(), 5);
    list.OnItemList(ug_voltage_to_enum::kListOut, "a,b,c");
    rig.top.connect(divide.plug(2), quantiser.plug(0));
    rig.top.connect(divide.plug(2), comparator.plug(0));
    rig.top.connect(divide.plug(2), list.plug(0));
    rig.Start();
    const auto out = rig.Record({divide.plug(2), quantiser.plug(2), comparator.plug(2)}, 300);
    const float quotient = out[0][299];
    SCOPED_TRACE(dividend);
    if (dividend[0] == '0') {
      EXPECT_TRUE(std::isnan(quotient));
      EXPECT_FLOAT_EQ(out[2][299], -0.5f);
      EXPECT_EQ(list.Value(), 0);
    } else {
      EXPECT_TRUE(std::isinf(quotient));
      EXPECT_EQ(out[2][299], quotient > 0 ? 0.5f : -0.5f);
      EXPECT_EQ(list.Value(), quotient > 0 ? 2 : 0);
    }
    EXPECT_TRUE(std::isnan(out[1][299]) || std::isinf(out[1][299]));
  }
}

// A float source for "Float In" whose value changes at `time`.
std::vector<float> FloatToVolts(const char* smoothing, uint32_t time) {
  ModuleRig rig;
  auto& module = rig.Add(std::make_unique<ug_float_to_volts>());
  rig.Set(module, ug_float_to_volts::kSmoothing, smoothing);
  Source& source = rig.Feed(*module.plug(ug_float_to_volts::kFloatIn), 30);
  rig.Start();
  std::vector<float> out;
  for (uint32_t cell = 0; cell < 3; ++cell) {
    if (time / ModuleRig::kCell == cell) {
      source.value = 5.0f;
      source.plug(0)->Transmit(time, ST_STATIC);
    }
    rig.Step();
    const float* data = module.plug(ug_float_to_volts::kVoltsOut)->Data();
    out.insert(out.end(), data, data + ModuleRig::kCell);
  }
  return out;
}

TEST(MathModules, FloatToVoltsJumpsOrGlides) {
  const std::vector<float> none = FloatToVolts("0", 200);
  EXPECT_EQ(none[199], 0.0f);
  EXPECT_FLOAT_EQ(none[200], 0.5f);
  const std::vector<float> fast = FloatToVolts("1", 200);
  EXPECT_EQ(std::vector<float>(fast.begin() + 199, fast.begin() + 205),
            (std::vector<float>{0.0f, 0.125f, 0.25f, 0.375f, 0.5f, 0.5f}));
  // A change at the engine's first sample always jumps.
  EXPECT_FLOAT_EQ(FloatToVolts("2", 0)[0], 0.5f);
}

// Records the times of the static changes reaching a float input.
class FloatWatcher : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<FloatWatcher>();
  }
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override {
    descriptors.emplace_back(nullptr, DR_IN, "", "In", "", "", 0, DT_FLOAT, &value);
  }
  void OnStatusChange(uint32_t time, connector*, int32_t) override { times.push_back(time); }
  float value = 0.0f;
  std::vector<uint32_t> times;
};

struct MeterRig : ModuleRig {
  explicit MeterRig(const char* response) : meter(Add(std::make_unique<ug_volts_to_float>())) {
    Set(meter, ug_volts_to_float::kResponse, response);
    watcher = &AddRaw(std::make_unique<FloatWatcher>(), 1);
    top.connect(meter.plug(ug_volts_to_float::kFloatOut), watcher->plug(0));
  }
  float Reading() const { return meter.plug(ug_volts_to_float::kFloatOut)->FloatValue(); }
  ug_volts_to_float& meter;
  FloatWatcher* watcher;
};

TEST(MathModules, VoltsToFloatReadsDecibelsAndVolts) {
  for (const auto& [response, expected] :
       {std::pair{"2", 10.0f}, {"3", -10.0f}, {"4", 10.0f}, {"6", 10.0f}, {"5", 10.0f}}) {
    MeterRig rig(response);
    rig.Stream(rig.meter, ug_volts_to_float::kVoltsIn, Constant(1.0f));
    rig.Start();
    rig.Record(*rig.meter.plug(ug_volts_to_float::kVoltsIn), 44100);
    EXPECT_NEAR(rig.Reading(), expected, 0.01f) << response;
    EXPECT_NEAR(rig.watcher->value, expected, 0.01f) << response;
  }
}

TEST(MathModules, VoltsToFloatUpdatesAtItsRateAndSleepsWhenSettled) {
  MeterRig rig("4");
  rig.Stream(rig.meter, ug_volts_to_float::kVoltsIn, [](uint32_t start, float* samples) {
    for (int32_t i = 0; i < ModuleRig::kCell; ++i) samples[i] = 1e-5f * (start + i);
  });
  rig.Start();
  EXPECT_EQ(rig.meter.UpdateInterval(), 4396);  // 44100 / 10.03
  rig.Record(*rig.meter.plug(ug_volts_to_float::kVoltsIn), 10000);
  EXPECT_EQ(rig.watcher->times, (std::vector<uint32_t>{0, 4396, 8792}));

  MeterRig still("4");
  still.Set(still.meter, ug_volts_to_float::kVoltsIn, "3");
  still.Start();
  still.Record(*still.meter.plug(ug_volts_to_float::kVoltsIn), 6000);
  EXPECT_FLOAT_EQ(still.Reading(), 3.0f);
  EXPECT_TRUE(still.meter.IsSleeping());
}

TEST(MathModules, DenormalsAreFoundAndCleanedByTheirBits) {
  // Written as bit patterns: the process boundary flushes denormals that
  // arithmetic would make.
  const float tiny = std::bit_cast<float>(uint32_t{0x000116C2});     // 1e-40
  const float small = std::bit_cast<float>(uint32_t{0x0DA24260});    // 1e-30
  const float negative = std::bit_cast<float>(uint32_t{0x800116C2});  // -1e-40
  const std::vector<float> inputs = {tiny, small, 0.0f, negative, 0.5f};
  ModuleRig rig;
  auto& detector = rig.Add(std::make_unique<ug_denormal_detect>());
  auto& cleaner = rig.Add(std::make_unique<ug_denormal_stop>());
  for (ug_base* module : std::initializer_list<ug_base*>{&detector, &cleaner}) {
    rig.Stream(*module, 0, [inputs](uint32_t, float* samples) {
      for (int32_t i = 0; i < ModuleRig::kCell; ++i) samples[i] = inputs[i % inputs.size()];
    });
  }
  rig.Start();
  const ScopedFlushDenormals flushing;
  const auto out = rig.Record({detector.plug(1), cleaner.plug(1)}, 5);
  EXPECT_EQ(out[0], (std::vector<float>{5.0f, 0.0f, 0.0f, 5.0f, 0.0f}));
  EXPECT_EQ(std::bit_cast<uint32_t>(out[1][0]), 0u);
  EXPECT_EQ(std::bit_cast<uint32_t>(out[1][1]), 0x0DA24260u);
  EXPECT_EQ(std::bit_cast<uint32_t>(out[1][3]), 0u);
  EXPECT_EQ(out[1][4], 0.5f);
}

TEST(MathModules, RandomLevelsAreUniformStepsOfOne32767th) {
  ModuleRig rig;
  auto& random = rig.Add(std::make_unique<ug_random>());
  Source& trigger = rig.Feed(*random.plug(ug_random::kTriggerIn), 30);
  trigger.plug(0)->ApplySnapshot(1);  // true
  rig.Start();
  constexpr uint32_t kEvery = 8;
  std::vector<double> values;
  while (values.size() < 10000) {
    const uint32_t start = rig.cells * ModuleRig::kCell;
    for (uint32_t t = start + 1; t < start + ModuleRig::kCell; t += kEvery) {
      trigger.plug(0)->Transmit(t, ST_STATIC);
    }
    rig.Step();
    const float* out = random.plug(ug_random::kOutput)->Data();
    for (uint32_t i = 1; i < ModuleRig::kCell; i += kEvery) values.push_back(out[i]);
  }
  values.resize(10000);
  for (const double v : values) {
    ASSERT_GE(v, 0.0);
    ASSERT_LE(v, 1.0);
    const double steps = v * 32767.0;
    ASSERT_NEAR(steps, std::round(steps), 2e-3) << v;
  }
  const double mean = std::accumulate(values.begin(), values.end(), 0.0) / 10000.0;
  // Seeded from the clock: the mean of 10,000 uniform draws has a standard
  // deviation of 0.0029, so allow four of them (a false alarm in 30,000 runs).
  EXPECT_NEAR(mean, 0.5, 0.012);
  // 10,000 draws of 32,768 values: about 8,600 distinct ones.
  EXPECT_GT(std::set<double>(values.begin(), values.end()).size(), 8300u);
}

TEST(MathModules, ProjectsGiveSparesOneEnginePlugPerConnectionAndListsTheirItems) {
  COrvaneDocBase document = CompileDocument(Json::parse(R"({"root": {"modules": [
      {"type": "Voltage To List", "name": "choice", "plug_values": {"Signal in": 10}},
      {"type": "Oscillator", "name": "osc"},
      {"type": "Inverter", "name": "a"}, {"type": "Inverter", "name": "b"},
      {"type": "AND Gate", "name": "gate"}, {"type": "Step Counter", "name": "counter"}],
    "connections": ["choice.List Out -> osc.Waveform", "a.Signal Out -> gate.Input",
                    "b.Signal Out -> gate.Input", "counter.Out -> a.Signal in",
                    "counter.Out -> b.Signal in"]}})"),
                                            {});
  FakeEngineHost host;
  OvAudioMaster master(host);
  master.SetEngineBlockSize(64);
  GraphBuild build(master);
  build.Build(*document.root());
  std::map<std::string, ug_base*> made;
  for (const auto& child : document.root()->children()) {
    if (const auto* module = dynamic_cast<const CUG*>(child.get())) {
      made[module->type_key()] = build.GeneratorOf(*module);
    }
  }
  EXPECT_EQ(made["AND Gate"]->PlugCount(), 3);      // "Output" and two inputs
  EXPECT_EQ(made["Step Counter"]->PlugCount(), 4);  // "Clock", "Reset", two outputs
  std::unique_ptr<ug_container> root = build.TakeRoot();
  master.Start(root.get());
  master.Process(64);
  // The oscillator's seven waveforms: 10 V picks the last, "Pink Noise" (6).
  EXPECT_EQ(static_cast<ug_voltage_to_enum*>(made["Voltage To List"])->Value(), 6);
  master.Stop();
}

}  // namespace
}  // namespace ov::test
