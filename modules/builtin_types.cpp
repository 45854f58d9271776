// The module types of this folder, registered from the one list below: the
// legacy table first (old documents name types by its row numbers), then the
// rest. The media, hosted-plug-in and module-library families register their
// own (host/module_families.cpp calls them all).
#include <array>
#include <memory>
#include <span>
#include <string_view>

#include "engine/ug_adder.h"
#include "engine/ug_container.h"
#include "engine/voice_monitor.h"
#include "modules/clipper.h"
#include "modules/control_modules.h"
#include "modules/denormal.h"
#include "modules/delay.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/descriptors/static_tables.h"
#include "modules/drum_trigger.h"
#include "modules/envelopes.h"
#include "modules/feedback_delay.h"
#include "modules/filters.h"
#include "modules/host_io.h"
#include "modules/logic_counters.h"
#include "modules/logic_gates.h"
#include "modules/math_arithmetic.h"
#include "modules/math_converters.h"
#include "modules/math_one_input.h"
#include "modules/math_signals.h"
#include "modules/level_meter.h"
#include "modules/meters.h"
#include "modules/midi_automator.h"
#include "modules/midi_to_cv.h"
#include "modules/midi_utility.h"
#include "modules/multistage_envelope.h"
#include "modules/module_registry.h"
#include "modules/oscillator.h"
#include "modules/oscillator_pd.h"
#include "modules/pan.h"
#include "modules/patch_memory.h"
#include "modules/patch_select.h"
#include "modules/signal_utilities.h"
#include "modules/step_sequencer.h"
#include "modules/system_command.h"
#include "modules/ug_unavailable.h"
#include "modules/vca.h"
#include "modules/wave_shaper.h"

namespace ov {
namespace {

using MakeGenerator = std::unique_ptr<ug_base> (*)();

// An engine generator class that does not list its plugs itself, given the
// plug list its module type has here. Threads: as ug_base.
template <typename Generator>
class ug_listed : public Generator {
 public:
  explicit ug_listed(PlugTable plugs) : plugs_(plugs) {}
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<ug_listed>(plugs_);
  }
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override {
    AppendPlugs(plugs_, descriptors);
  }

 private:
  PlugTable plugs_;
};

template <typename Generator>
std::unique_ptr<ug_base> Make() {
  return std::make_unique<Generator>();
}
template <typename Generator, const PlugTable& kPlugs>
std::unique_ptr<ug_base> MakeListed() {
  return std::make_unique<ug_listed<Generator>>(kPlugs);
}
template <const StaticPlugTable& kTable>
std::unique_ptr<ug_base> MakeFloatOut() {
  return std::make_unique<ug_param_float_out2>(kTable);
}

struct BuiltInType {
  const char* key;
  int32_t legacy_number;  // -1: none
  int32_t module_flags;   // as listed; probing adds kModuleProbed
  // The generator class's plugs, listed by a stand-in until the class is
  // built; null for a type without a generator or with `make`.
  const PlugTable* plugs;
  const char* document_class = "";  // empty: the plain document class
  uint32_t name_resource = 0;
  uint32_t category_resource = 0;
  MakeGenerator make = nullptr;  // the engine's generator, where it is built
};

// Types that no module of this library describes further ("Monitor",
// "Thrasher", the superseded switches and button, the analysis, test and
// sound-card modules) keep neutral placeholder plugs so that projects using
// them still load.
constexpr const PlugTable* kUnknownPlugs = &kPlaceholderPlugs;

constexpr uint32_t kWaveformCategory = 32820;

// Row n is legacy number n; row 10 is empty and rejected, so no type has 10.
// The rows of other families' types are empty here too: their folders
// register them under these numbers.
// Registration numbers the rows by position; the numbers written here are
// checked against it.
constexpr BuiltInType kLegacyTable[] = {
    {"", 1, 0, nullptr},  // "Audio Out": media/
    {"ADSR", 2, 0x100, nullptr, "", 32821, kWaveformCategory, &Make<ug_adsr>},
    {"Container", 3, 0x103, nullptr, "CContainer", 0, 0,
     &MakeListed<ug_container, kContainerPlugs>},
    {"IO Mod", 4, 0x106, nullptr, "", 0, 0, &MakeListed<ug_io_mod, kIoModPlugs>},
    {"Slider", 5, 0x180, nullptr, "Ctl_Slider", 0, 0, &Make<ug_slider>},
    {"Text Entry", 6, 0x180, nullptr, "Ctl_Text", 0, 0, &Make<ug_text_entry>},
    {"List Entry", 7, 0x180, nullptr, "Ctl_Combo", 0, 0, &Make<ug_combobox>},
    {"", 8, 0, nullptr},  // "MIDI Player": media/
    {"Midi to CV", 9, 0x160, nullptr, "", 0, 0, &Make<ug_midi_to_cv>},
    {"", 10, 0, nullptr},
    {"Level Adj", 11, 0x100, nullptr, "", 0, 0, &Make<ug_multiplier>},
    {"SV Filter", 12, 0x100, nullptr, "", 0, 0, &Make<ug_filter_sv>},
    {"VCA", 13, 0x100, nullptr, "", 0, 0, &Make<ug_vca>},
    {"Drum Trigger", 14, 0x160, nullptr, "", 0, 0, &Make<ug_drum_trigger>},
    {"Patch Select", 15, 0x100, nullptr, "Ctl_PatchSel", 0, 0, &Make<ug_patch_sel>},
    {"MIDI In", 16, 0x100, nullptr, "", 0, 0, &Make<ug_midi_in>},
    {"Delay", 17, 0x100, nullptr, "", 0, 0, &Make<ug_delay>},
    {"MIDI Adder(obsolete)", 18, 0x008, nullptr, "", 0, 0, &Make<ug_delay>},
    {"Clipper", 19, 0x100, nullptr, "", 0, 0, &Make<ug_clipper>},
    {"Monitor", 20, 0x180, kUnknownPlugs, "Ctl_tty"},
    {"Filter2 obsolete", 21, 0x100, nullptr, "", 0, 0, &Make<ug_filter_biquad>},
    {"Thrasher", 22, 0x100, kUnknownPlugs},
    {"Switch", 23, 0x108, kUnknownPlugs},
    {"Switch2", 24, 0x108, kUnknownPlugs},
    {"Filter obs", 25, 0x108, nullptr, "", 0, 0, &Make<ug_filter_biquad>},
    {"Inverter", 26, 0x100, nullptr, "", 0, 0, &Make<ug_inverter>},
    {"", 27, 0, nullptr},  // "Sample Player obsolete": media/
    {"Notesource", 28, 0x008, &kNoteSourcePlugs},
    {"", 29, 0, nullptr},  // "Audio In": media/
    {"MIDI Out", 30, 0x100, nullptr, "", 0, 0, &Make<ug_midi_out>},
    {"Controllers", 31, 0x100, nullptr, "", 0, 0, &Make<ug_midi_controllers>},
    {"VoiceMonitor", 32, 0x108, nullptr, "", 0, 0, &Make<ug_voice_monitor>},
    {"Button", 33, 0x188, kUnknownPlugs, "Ctl_PushButton"},
    {"Z-Filter obsolete", 34, 0x100, &kSwitchPlugs},
    {"Panel Group", 35, 0x080, nullptr, "CPanelBox2"},
    {"X-Mix", 36, 0x100, nullptr, "", 0, 0, &Make<ug_cross_fade>},
    {"Pan", 37, 0x100, nullptr, "", 0, 0, &Make<ug_pan>},
    {"Switch (1->Many)", 38, 0x100, nullptr, "CSwitch", 0, 0, &Make<ug_switch>},
    {"Switch (Many->1)", 39, 0x100, nullptr, "CSwitch", 0, 0, &Make<ug_switch2>},
    {"", 40, 0, nullptr},  // "VST Plugin": vsthost/
    {"Peak Follower", 41, 0x100, nullptr, "", 0, 0, &Make<ug_peak_det>},
    {"Line", 42, 0x108, nullptr},
    {"Group", 43, 0x088, nullptr},
    {"Step Sequencer", 44, 0x180, nullptr, "CStepSeq2", 0, 0, &Make<ug_step_sequencer>},
};
static_assert(std::size(kLegacyTable) == 44);

constexpr bool NumberedByRow(std::span<const BuiltInType> table) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].legacy_number != static_cast<int32_t>(i + 1)) return false;
  }
  return true;
}
static_assert(NumberedByRow(kLegacyTable));

constexpr BuiltInType kOtherTypes[] = {
    {"Control Group", 120, 0x88, nullptr, "control_group_ob"},
    {"Image", -1, 0x180, nullptr, "control_ob_bitmap"},
    {"Joystick Image", -1, 0x180, nullptr, "control_ob_bitmap_joystick"},
    {"Tinted Image", -1, 0x180, nullptr, "control_ob_bitmap_tinted"},
    {"List Entry2", -1, 0x180, nullptr, "control_ob_list"},
    {"Text Entry2", -1, 0x180, nullptr, "control_ob_text"},
    {"Sub Panel", 102, 0x80, nullptr, "CPortal"},
    {"Paged Group", -1, 0x180, nullptr, "CTabBox"},
    {"Freq Response Test", 59, 0x100, kUnknownPlugs, "Ctl_FreqResp"},
    {"8 Stage Env", 50, 0x100, nullptr, "", 0, 0, &Make<ug_8_stage>},
    {"Float Adder", 71, 0x8, nullptr, "", 0, 0, &Make<ug_adder>},
    {"MIDI Adder2", 74, 0x8, nullptr, "", 0, 0, &Make<ug_adder_midi>},
    {"Comparator", 98, 0x100, nullptr, "", 0, 0, &Make<ug_comparator>},
    {"Control Plugs", 121, 0x100, &kControlCommonPlugs, "CControlPlugs"},
    {"Trigger to MIDI", 126, 0x100, nullptr, "", 0, 0, &Make<ug_cv_midi>},
    {"Delay2", 117, 0x100, nullptr, "", 0, 0, &Make<ug_delay2>},
    {"Denormal Detector", 105, 0x100, nullptr, "", 0, 0, &Make<ug_denormal_detect>},
    {"Denormal Cleaner", 104, 0x100, nullptr, "", 0, 0, &Make<ug_denormal_stop>},
    {"Multistage Env", 96, 0x180, nullptr, "Ctl_Env_Edit", 0, 0, &Make<ug_envelope_ms>},
    {"Feedback Delay", 124, 0x100, nullptr, "CFeedbackDelay", 0, 0, &Make<ug_feedback_delay>},
    {"1 Pole HP", 101, 0x100, nullptr, "", 0, 0, &Make<ug_filter_1pole_hp>},
    {"1 Pole LP", 58, 0x100, nullptr, "", 0, 0, &Make<ug_filter_1pole>},
    {"All Pass", 67, 0x100, nullptr, "", 0, 0, &Make<ug_filter_allpass>},
    {"Moog Filter", 48, 0x100, nullptr, "", 0, 0, &Make<ug_filter_biquad>},
    {"Parametric EQ", 109, 0x100, nullptr, "", 0, 0, &Make<ug_filter_eq_parametric>},
    {"Fixed Values", 62, 0x100, nullptr, "", 0, 0, &Make<ug_fixed_values>},
    {"Freq Analyser", 68, 0x180, kUnknownPlugs, "Ctl_FreqAn"},
    // Not among the stream classes yet: the document model must add it so
    // that projects holding a "GenProg" module load.
    {"GenProg", 78, 0x100, kUnknownPlugs, "Ctl_GenProg"},
    {"GenProg Trigger", 79, 0x100, kUnknownPlugs},
    {"Peak Meter", 60, 0x180, nullptr, "Ctl_PeakMeter", 0, 0, &Make<ug_peak_meter>},
    {"LED Indicator", 49, 0x180, nullptr, "Ctl_LED", 0, 0, &Make<ug_led>},
    {"Binary Counter", 82, 0x100, nullptr, "", 0, 0, &Make<ug_logic_Bin_Count>},
    {"Step Counter2", 125, 0x100, nullptr, "", 0, 0, &Make<ug_logic_counter2>},
    {"Step Counter", 93, 0x100, nullptr, "", 0, 0, &Make<ug_logic_counter>},
    {"Decade Counter", 83, 0x100, nullptr, "", 0, 0, &Make<ug_logic_decade>},
    {"NOR Gate", 57, 0x100, nullptr, "", 0, 0, &Make<ug_logic_NOR>},
    {"NAND Gate", 55, 0x100, nullptr, "", 0, 0, &Make<ug_logic_NAND>},
    {"XOR Gate", 54, 0x100, nullptr, "", 0, 0, &Make<ug_logic_XOR>},
    {"OR Gate", 53, 0x100, nullptr, "", 0, 0, &Make<ug_logic_OR>},
    {"AND Gate", 52, 0x100, nullptr, "", 0, 0, &Make<ug_logic_AND>},
    {"NOT Gate", 56, 0x100, nullptr, "", 0, 0, &Make<ug_logic_not>},
    {"Shift Register", 85, 0x100, nullptr, "", 0, 0, &Make<ug_logic_shift>},
    {"Ceil", 112, 0x100, nullptr, "", 0, 0, &Make<ug_math_ceil>},
    {"Divide", 107, 0x100, nullptr, "", 0, 0, &Make<ug_math_div>},
    {"Floor", 111, 0x100, nullptr, "", 0, 0, &Make<ug_math_floor>},
    {"Multiply", 106, 0x100, nullptr, "", 0, 0, &Make<ug_math_mult>},
    {"Subtract", 108, 0x100, nullptr, "", 0, 0, &Make<ug_math_sub>},
    {"MIDI Automator", 90, 0x140, nullptr, "CMidiAutomator", 0, 0, &Make<ug_midi_automator>},
    {"MIDI Automator Output", 91, 0x8, nullptr, "", 0, 0, &Make<ug_midi_automator_out>},
    {"MIDI Filter", 92, 0x100, nullptr, "", 0, 0, &Make<ug_midi_filter>},
    {"KeyBoard", 64, 0x180, nullptr, "Ctl_Keyboard2", 0, 0, &Make<ug_midi_keyboard>},
    {"MIDI Monitor", 77, 0x180, nullptr, "Ctl_tty", 0, 0, &Make<ug_midi_monitor>},
    {"Monostable", 89, 0x100, nullptr, "", 0, 0, &Make<ug_monostable>},
    {"Ring Modulator", 61, 0x100, nullptr, "", 0, 0, &Make<ug_multiplier>},
    {"Oscillator", 0, 0x100, nullptr, "", 32819, kWaveformCategory, &Make<ug_oscillator2>},
    {"Phase Dist Osc", 87, 0x100, nullptr, "", 32822, kWaveformCategory,
     &Make<ug_oscillator_pd>},
    {"Patch Mem - Text in", -1, 0x100, nullptr, "ui_param_text_in", 0, 0, &Make<ug_param_text_in>},
    {"Quantiser", 103, 0x100, nullptr, "", 0, 0, &Make<ug_quantiser>},
    {"random", -1, 0x100, nullptr, "", 0, 0, &Make<ug_random>},
    {"Rectifier", 51, 0x100, nullptr, "", 0, 0, &Make<ug_rectifier>},
    {"Sample and Hold", 65, 0x100, nullptr, "", 0, 0, &Make<ug_sample_hold>},
    {"Sound In", 116, 0x100, kUnknownPlugs},
    {"Sound Out", 115, 0x100, kUnknownPlugs},
    {"Drum Sequencer", 46, 0x180, nullptr, "CDrumSeq", 0, 0, &Make<ug_step_sequencer>},
    {"OS Command", 110, 0x100, nullptr, "", 0, 0, &Make<ug_system_command>},
    {"1 KHz Tone", 80, 0x100, nullptr, "", 0, 0, &Make<ug_test_tone>},
    {"Voice Combiner", 118, 0x100, nullptr, "", 0, 0, &Make<ug_voice_combiner>},
    {"Volt Meter", 100, 0x180, nullptr, "Ctl_VoltMeter", 0, 0, &Make<ug_volt_meter>},
    {"Voltage To List", 99, 0x100, nullptr, "", 0, 0, &Make<ug_voltage_to_enum>},
    {"VST Input", 94, 0x8, nullptr, "", 494, 0, &Make<ug_vst_in>},
    {"VST Output", 95, 0x8, nullptr, "", 495, 0, &Make<ug_vst_out>},
    {"WaveShaper", 47, 0x180, nullptr, "Ctl_WaveShape", 0, 0, &Make<ug_wave_shaper>},
    {"WaveShaper2", 76, 0x180, nullptr, "Ctl_WaveShape2", 0, 0, &Make<ug_wave_shaper2>},
    {"Image to Frame", -1, 0x100, nullptr, "ui_bitmap_frame"},
    {"Bool Splitter", -1, 0x100, nullptr, "ui_bool_splitter"},
    {"Bools to List", -1, 0x100, nullptr, "ui_bools_to_enum"},
    {"List To Bools", -1, 0x100, nullptr, "ui_enum_to_bools"},
    {"Float To Bool", -1, 0x100, nullptr, "ui_float_to_bool"},
    {"Increment", -1, 0x100, nullptr, "ui_incrementor"},
    {"Increment2", -1, 0x100, nullptr, "ui_incrementor2"},
    {"Int to List", -1, 0x100, nullptr, "ui_int_to_list"},
    {"Patch Parameter - Level Out", -1, 0x100, nullptr, "ui_param_float_out", 0, 0,
     &Make<ug_param_float_out>},
    {"Spring", -1, 0x100, nullptr, "ui_spring"},
    {"System Command2", -1, 0x100, nullptr, "ui_system_command"},
    {"Text To Float", -1, 0x100, nullptr, "ui_text_to_float"},
};
static_assert(std::size(kOtherTypes) == 85);

struct StaticTableType {
  const char* key;
  uint32_t name_resource;
  uint32_t category_resource;
  const char* document_class;
  const StaticPlugTable* plugs;
  MakeGenerator make = nullptr;  // the engine's generator, where it is built
};

constexpr int32_t kStaticTableFlags = 0x100;

constexpr StaticTableType kStaticTableTypes[] = {
    {"FloatToVolts", 141, 299, "", &kFloatToVoltsTable, &Make<ug_float_to_volts>},
    {"VoltsToFloat", 142, 299, "", &kVoltsToFloatTable, &Make<ug_volts_to_float>},
    {"PatchMemListIn2", 139, 131, "ui_param_enum_in2", &kPatchMemListIn2Table,
     &Make<ug_param_enum_in2>},
    {"PatchMemFloatIn", 140, 131, "ui_param_float_in2", &kPatchMemFloatInTable,
     &Make<ug_param_float_in2>},
    {"PatchMemListIn_B", 196, 131, "ui_param_enum_in_B", &kPatchMemListInBTable},
    {"PatchMemFloatOut", 143, 131, "ui_param_float_out2", &kPatchMemFloatOutTable,
     &MakeFloatOut<kPatchMemFloatOutTable>},
    {"PatchMemFloatOutB", 146, 131, "ui_param_float_out_b", &kPatchMemFloatOutBTable,
     &MakeFloatOut<kPatchMemFloatOutBTable>},
    {"UiAnimationScaleDb", 147, 131, "ui_animation_scaler_db", &kAnimationScaleDbTable},
    {"UiFloatScaler", 145, 131, "ui_float_scaler", &kFloatScalerTable},
};

std::unique_ptr<Module_Info> Probed(const BuiltInType& type, int32_t legacy_number) {
  GeneratorFactory factory;
  if (type.make != nullptr) {
    factory = type.make;
  } else if (type.plugs != nullptr) {
    factory = UnavailableGeneratorFactory(type.key, *type.plugs);
  }
  return std::make_unique<Module_Info>(type.key, "", type.name_resource, type.category_resource,
                                       type.document_class, std::move(factory), type.module_flags,
                                       legacy_number);
}

}  // namespace

void RegisterBuiltInModules(ModuleRegistry& registry) {
  int32_t row = 0;
  for (const BuiltInType& type : kLegacyTable) {
    registry.RegisterModule(Probed(type, ++row));  // the rejected row is counted too
  }
  for (const BuiltInType& type : kOtherTypes) {
    registry.RegisterModule(Probed(type, type.legacy_number));
  }
  for (const StaticTableType& type : kStaticTableTypes) {
    GeneratorFactory factory;
    if (type.make != nullptr) factory = type.make;
    registry.RegisterModule(std::make_unique<Module_Info>(
        type.key, type.name_resource, type.category_resource, type.document_class,
        std::move(factory), kStaticTableFlags, *type.plugs));
  }
}

}  // namespace ov
