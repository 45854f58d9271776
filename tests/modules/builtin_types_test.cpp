// Every built-in type against a table typed independently of the code.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "modules/list_text.h"
#include "modules/module_registry.h"

namespace ov::test {
namespace {

struct ExpectedType {
  const char* key;
  int32_t flags;  // as stored
  int32_t legacy_number;
  std::size_t descriptors;
};

const ExpectedType kExpected[] = {
    // The legacy table: row numbers are legacy numbers; row 10 is empty.
    {"Audio Out", 0x1108, 1, 8},
    {"ADSR", 0x1100, 2, 7},
    {"Container", 0x1103, 3, 4},
    {"IO Mod", 0x1106, 4, 1},
    {"Slider", 0x1180, 5, 12},
    {"Text Entry", 0x1180, 6, 8},
    {"List Entry", 0x1180, 7, 9},
    {"MIDI Player", 0x1100, 8, 5},
    {"Midi to CV", 0x1160, 9, 11},
    {"Level Adj", 0x1100, 11, 3},
    {"SV Filter", 0x1100, 12, 8},
    {"VCA", 0x1100, 13, 4},
    {"Drum Trigger", 0x1160, 14, 40},
    {"Patch Select", 0x1100, 15, 3},
    {"MIDI In", 0x1100, 16, 1},
    {"Delay", 0x1100, 17, 6},
    {"MIDI Adder(obsolete)", 0x1008, 18, 6},
    {"Clipper", 0x1100, 19, 4},
    {"Monitor", 0x1180, 20, 20},
    {"Filter2 obsolete", 0x1100, 21, 7},
    {"Thrasher", 0x1100, 22, 20},
    {"Switch", 0x1108, 23, 20},
    {"Switch2", 0x1108, 24, 20},
    {"Filter obs", 0x1108, 25, 7},
    {"Inverter", 0x1100, 26, 2},
    {"Sample Player obsolete", 0x1168, 27, 5},
    {"Notesource", 0x1008, 28, 2},
    {"Audio In", 0x1108, 29, 6},
    {"MIDI Out", 0x1100, 30, 1},
    {"Controllers", 0x1100, 31, 12},
    {"VoiceMonitor", 0x1108, 32, 2},
    {"Button", 0x1188, 33, 20},
    {"Z-Filter obsolete", 0x1100, 34, 3},
    {"Panel Group", 0x1080, 35, 0},
    {"X-Mix", 0x1100, 36, 5},
    {"Pan", 0x1100, 37, 6},
    {"Switch (1->Many)", 0x1100, 38, 3},
    {"Switch (Many->1)", 0x1100, 39, 3},
    {"VST Plugin", 0x1108, 40, 8},
    {"Peak Follower", 0x1100, 41, 4},
    {"Line", 0x1108, 42, 0},
    {"Group", 0x1088, 43, 0},
    {"Step Sequencer", 0x1180, 44, 5},
    // The other probed types.
    {"Control Group", 0x1088, 120, 0},
    {"Image", 0x1180, -1, 0},
    {"Joystick Image", 0x1180, -1, 0},
    {"Tinted Image", 0x1180, -1, 0},
    {"List Entry2", 0x1180, -1, 0},
    {"Text Entry2", 0x1180, -1, 0},
    {"Sub Panel", 0x1080, 102, 0},
    {"Paged Group", 0x1180, -1, 0},
    {"Freq Response Test", 0x1100, 59, 20},
    {"8 Stage Env", 0x1100, 50, 21},
    {"Float Adder", 0x1008, 71, 2},
    {"MIDI Adder2", 0x1008, 74, 2},
    {"Comparator", 0x1100, 98, 5},
    {"Control Plugs", 0x1100, 121, 6},
    {"Trigger to MIDI", 0x1100, 126, 6},
    {"Delay2", 0x1100, 117, 6},
    {"Denormal Detector", 0x1100, 105, 2},
    {"Denormal Cleaner", 0x1100, 104, 2},
    {"Multistage Env", 0x1180, 96, 4},
    {"Feedback Delay", 0x1100, 124, 3},
    {"1 Pole HP", 0x1100, 101, 4},
    {"1 Pole LP", 0x1100, 58, 4},
    {"All Pass", 0x1100, 67, 5},
    {"Moog Filter", 0x1100, 48, 7},
    {"Parametric EQ", 0x1100, 109, 7},
    {"Fixed Values", 0x1100, 62, 1},
    {"Freq Analyser", 0x1180, 68, 20},
    {"GenProg", 0x1100, 78, 20},
    {"GenProg Trigger", 0x1100, 79, 20},
    {"Peak Meter", 0x1180, 60, 4},
    {"LED Indicator", 0x1180, 49, 5},
    {"Binary Counter", 0x1100, 82, 10},
    {"Step Counter2", 0x1100, 125, 3},
    {"Step Counter", 0x1100, 93, 3},
    {"Decade Counter", 0x1100, 83, 12},
    {"NOR Gate", 0x1100, 57, 2},
    {"NAND Gate", 0x1100, 55, 2},
    {"XOR Gate", 0x1100, 54, 2},
    {"OR Gate", 0x1100, 53, 2},
    {"AND Gate", 0x1100, 52, 2},
    {"NOT Gate", 0x1100, 56, 2},
    {"Shift Register", 0x1100, 85, 13},
    {"Ceil", 0x1100, 112, 2},
    {"Divide", 0x1100, 107, 3},
    {"Floor", 0x1100, 111, 2},
    {"Multiply", 0x1100, 106, 3},
    {"Subtract", 0x1100, 108, 3},
    {"MIDI Automator", 0x1140, 90, 5},
    {"MIDI Automator Output", 0x1008, 91, 4},
    {"MIDI Filter", 0x1100, 92, 8},
    {"KeyBoard", 0x1180, 64, 2},
    {"MIDI Monitor", 0x1180, 77, 2},
    {"MIDI Recorder", 0x1100, 81, 3},
    {"Monostable", 0x1100, 89, 3},
    {"Ring Modulator", 0x1100, 61, 3},
    {"Soundfont Oscillator", 0x1180, 114, 9},
    {"Oscillator", 0x1100, 0, 10},
    {"Phase Dist Osc", 0x1100, 87, 6},
    {"Patch Mem - Text in", 0x1100, -1, 4},
    {"Plugin", 0x1100, 113, 20},
    {"Quantiser", 0x1100, 103, 3},
    {"random", 0x1100, -1, 2},
    {"Rectifier", 0x1100, 51, 2},
    {"Sample and Hold", 0x1100, 65, 3},
    {"Soundfont Player", 0x11E0, 86, 5},
    {"Sound In", 0x1100, 116, 20},
    {"Sound Out", 0x1100, 115, 20},
    {"Drum Sequencer", 0x1180, 46, 5},
    {"OS Command", 0x1100, 110, 2},
    {"1 KHz Tone", 0x1100, 80, 1},
    {"Voice Combiner", 0x1100, 118, 2},
    {"Volt Meter", 0x1180, 100, 5},
    {"Voltage To List", 0x1100, 99, 2},
    {"VST Input", 0x1008, 94, 2},
    {"VST Output", 0x1008, 95, 2},
    {"Wave Player", 0x1100, 122, 5},
    {"Wave Recorder", 0x1100, 123, 7},
    {"WaveShaper", 0x1180, 47, 4},
    {"WaveShaper2", 0x1180, 76, 4},
    {"Image to Frame", 0x1100, -1, 0},
    {"Bool Splitter", 0x1100, -1, 0},
    {"Bools to List", 0x1100, -1, 0},
    {"List To Bools", 0x1100, -1, 0},
    {"Float To Bool", 0x1100, -1, 0},
    {"Increment", 0x1100, -1, 0},
    {"Increment2", 0x1100, -1, 0},
    {"Int to List", 0x1100, -1, 0},
    {"Patch Parameter - Level Out", 0x1100, -1, 5},
    {"Spring", 0x1100, -1, 0},
    {"System Command2", 0x1100, -1, 0},
    {"Text To Float", 0x1100, -1, 0},
    // From static plug tables: flags as given, no legacy number.
    {"FloatToVolts", 0x100, -1, 3},
    {"VoltsToFloat", 0x100, -1, 4},
    {"PatchMemListIn2", 0x100, -1, 3},
    {"PatchMemFloatIn", 0x100, -1, 6},
    {"PatchMemListIn_B", 0x100, -1, 3},
    {"PatchMemFloatOut", 0x100, -1, 7},
    {"PatchMemFloatOutB", 0x100, -1, 5},
    {"UiAnimationScaleDb", 0x100, -1, 2},
    {"UiFloatScaler", 0x100, -1, 4},
};

TEST(BuiltInTypes, KeysFlagsLegacyNumbersAndDescriptorCounts) {
  const ModuleRegistry& registry = BuiltInModules();
  EXPECT_EQ(std::size(kExpected), 143u);
  EXPECT_EQ(registry.Types().size(), 143u);
  for (const ExpectedType& expected : kExpected) {
    SCOPED_TRACE(expected.key);
    const Module_Info* type = registry.FindModule(expected.key);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->GetId(), expected.key);
    EXPECT_EQ(type->ModuleFlags(), expected.flags);
    EXPECT_EQ(type->LegacyNumber(), expected.legacy_number);
    EXPECT_EQ(type->Descriptors().size(), expected.descriptors);
  }
  EXPECT_TRUE(registry.Messages().empty());
}

TEST(BuiltInTypes, ListDefaultsAreItemsOfTheirLists) {
  // The volt meter's "Update Rate" defaults to 0, which its reading treats
  // as 2; every other list plug defaults to one of its items.
  for (const auto& [key, type] : BuiltInModules().Types()) {
    for (const InterfaceObject& plug : type->Descriptors()) {
      if (plug.datatype != DT_ENUM || plug.list_text.empty() || plug.default_text.empty()) continue;
      if (key == "Volt Meter" && plug.name == "Update Rate") continue;
      EXPECT_TRUE(ListText(plug.list_text).Contains(ParseLeadingInteger(plug.default_text)))
          << key << " / " << plug.name;
    }
  }
}

TEST(BuiltInTypes, DocumentClasses) {
  const ModuleRegistry& registry = BuiltInModules();
  EXPECT_EQ(registry.FindModule("Container")->DocumentClass(), "CContainer");
  EXPECT_EQ(registry.FindModule("GenProg")->DocumentClass(), "Ctl_GenProg");
  // Its patterns live in a CDrumSeq; a plain CPattSeq would have none.
  EXPECT_EQ(registry.FindModule("Drum Sequencer")->DocumentClass(), "CDrumSeq");
  EXPECT_EQ(registry.FindModule("PatchMemFloatOutB")->DocumentClass(), "ui_param_float_out_b");
  EXPECT_EQ(registry.FindModule("VCA")->DocumentClass(), "CUG");
}

TEST(BuiltInTypes, GeneratorsOnlyWhereTheTypeHasOne) {
  const ModuleRegistry& registry = BuiltInModules();
  EXPECT_EQ(registry.FindModule("Panel Group")->CreateGenerator(), nullptr);
  EXPECT_EQ(registry.FindModule("UiFloatScaler")->CreateGenerator(), nullptr);
  EXPECT_NE(registry.FindModule("FloatToVolts")->CreateGenerator(), nullptr);
  EXPECT_NE(registry.FindModule("Thrasher")->CreateGenerator(), nullptr);
}

}  // namespace
}  // namespace ov::test
