#include "modules/module_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/ug_adder.h"
#include "engine/ug_container.h"
#include "modules/static_plug_table.h"

namespace ov::test {
namespace {

std::unique_ptr<Module_Info> PanelType(const std::string& key, int32_t legacy_number = -1) {
  return std::make_unique<Module_Info>(key, "", 0, 0, "", nullptr, 0x80, legacy_number);
}

std::vector<std::string> Names(const std::vector<InterfaceObject>& descriptors) {
  std::vector<std::string> names;
  for (const InterfaceObject& descriptor : descriptors) names.push_back(descriptor.name);
  return names;
}

TEST(ModuleRegistry, FindsTypesByKeyOrByLegacyNumber) {
  const ModuleRegistry& registry = BuiltInModules();
  const Module_Info* sv_filter = registry.FindModule("SV Filter");
  ASSERT_NE(sv_filter, nullptr);
  EXPECT_EQ(registry.FindModule("BI12"), sv_filter);
  EXPECT_EQ(registry.FindModule("BI 12"), sv_filter);
  EXPECT_EQ(registry.FindModule("BI10"), nullptr);  // the rejected row
  EXPECT_EQ(registry.FindModule("BI999"), nullptr);
  // No digits read as 0, the oscillator's number.
  EXPECT_EQ(registry.FindModule("BI0")->GetId(), "Oscillator");
  EXPECT_EQ(registry.FindModule("BIx")->GetId(), "Oscillator");
  EXPECT_EQ(registry.FindModule("BI"), registry.FindModule("Oscillator"));
  // Types without a legacy number carry -1, which must not match.
  EXPECT_EQ(registry.FindModule("BI-1"), nullptr);
  EXPECT_EQ(registry.LegacyKey(-1), "");
  EXPECT_EQ(registry.LegacyKey(10), "");
  EXPECT_EQ(registry.LegacyKey(44), "Step Sequencer");
  EXPECT_EQ(registry.FindModule("BI99999999999"), nullptr);
}

TEST(ModuleRegistry, KeysAreCaseSensitive) {
  const ModuleRegistry& registry = BuiltInModules();
  EXPECT_NE(registry.FindModule("Moog Filter"), nullptr);
  EXPECT_EQ(registry.FindModule("moog filter"), nullptr);
  EXPECT_EQ(registry.FindModule("bi12"), nullptr);
  EXPECT_EQ(registry.FindModule("Moog Filter "), nullptr);
}

TEST(ModuleRegistry, AKeyThatLooksLegacyIsFoundDirectly) {
  ModuleRegistry registry;
  RegisterBuiltInModules(registry);
  ASSERT_TRUE(registry.RegisterModule(PanelType("BI12")));
  EXPECT_EQ(registry.FindModule("BI12")->GetId(), "BI12");
}

TEST(ModuleRegistry, ASecondTypeUnderAKeyIsReportedAndDropped) {
  std::vector<std::string> shown;
  ModuleRegistry registry([&shown](std::string_view text) { shown.emplace_back(text); });
  RegisterBuiltInModules(registry);
  const Module_Info* delay = registry.FindModule("Delay");

  EXPECT_TRUE(registry.RegisterModule(PanelType("Delay", 7)));
  EXPECT_EQ(registry.FindModule("Delay"), delay);
  EXPECT_EQ(delay->LegacyNumber(), 17);
  EXPECT_EQ(registry.LegacyKey(7), "List Entry");
  const std::vector<std::string> expected = {"RegisterModule Error. Module found twice. Delay"};
  EXPECT_EQ(registry.Messages(), expected);
  EXPECT_EQ(shown, expected);
}

TEST(ModuleRegistry, AnEmptyKeyIsRefusedSilently) {
  ModuleRegistry registry;
  EXPECT_FALSE(registry.RegisterModule(PanelType("")));
  EXPECT_TRUE(registry.Types().empty());
  EXPECT_TRUE(registry.Messages().empty());
}

TEST(ModuleRegistry, NamesAndCategoriesComeFromTheStringTable) {
  const ModuleRegistry& registry = BuiltInModules();
  const auto name_and_category = [&registry](const char* key) {
    const Module_Info* type = registry.FindModule(key);
    return std::vector<std::string>{type->GetName(), type->GetCategory()};
  };
  EXPECT_EQ(name_and_category("ADSR"), (std::vector<std::string>{"ADSR", "Waveform"}));
  EXPECT_EQ(name_and_category("Phase Dist Osc"),
            (std::vector<std::string>{"Phase Dist Osc", "Waveform"}));
  EXPECT_EQ(name_and_category("VST Output"), (std::vector<std::string>{"VST Output", ""}));
  // A resource number without text gives the empty text; no number, the key.
  EXPECT_EQ(name_and_category("FloatToVolts"), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(name_and_category("Soundfont Oscillator"),
            (std::vector<std::string>{"Soundfont Oscillator", "Waveform"}));
  EXPECT_EQ(name_and_category("Delay"), (std::vector<std::string>{"Delay", ""}));

  const Module_Info external("Reverb", "Effects/", 0, 0, "", nullptr, 0x100, -1);
  EXPECT_EQ(external.GetCategory(), "Effects/");
}

TEST(ModuleRegistry, OscillatorDescriptorsInPlugOrder) {
  const std::vector<InterfaceObject>& plugs =
      BuiltInModules().FindModule("Oscillator")->Descriptors();
  EXPECT_EQ(Names(plugs),
            (std::vector<std::string>{"Pitch", "Pulse Width", "Waveform", "Audio Out", "Sync",
                                      "Phase Mod", "Freq Scale", "PM Depth",
                                      "Smooth Peaks (Gibbs Effect)", "Sync X-Fade (Anti Alias)"}));
  const InterfaceObject& waveform = plugs[2];
  EXPECT_EQ(waveform.direction, DR_IN);
  EXPECT_EQ(waveform.datatype, DT_ENUM);
  EXPECT_EQ(waveform.default_text, "1");
  EXPECT_EQ(waveform.list_text, "Sine, Saw, Ramp, Triangle, Pulse,White Noise,Pink Noise");
  EXPECT_EQ(waveform.hint, "Selects different wave shapes");
  EXPECT_EQ(plugs[6].direction, DR_PARAMETER);
  EXPECT_EQ(plugs[6].list_text, "1 Volt/Octave, 1 Volt/kHz ");
  EXPECT_EQ(plugs[8].datatype, DT_BOOL);
  for (const InterfaceObject& plug : plugs) {
    EXPECT_EQ(plug.buffer_member, nullptr);
    EXPECT_EQ(plug.value_member, nullptr);
  }
}

TEST(ModuleRegistry, NonLinearAudioInputsAreMarked) {
  const ModuleRegistry& registry = BuiltInModules();
  const auto flags = [&registry](const char* key, std::size_t plug) {
    return registry.FindModule(key)->Descriptors()[plug].flags;
  };
  EXPECT_EQ(flags("Trigger to MIDI", 0), 0x001);  // listed as 0
  EXPECT_EQ(flags("Delay", 0), 0x200);            // linear stays alone
  EXPECT_EQ(flags("Midi to CV", 9), 0x202);
  EXPECT_EQ(flags("Midi to CV", 3), 0);      // an output keeps its flags
  EXPECT_EQ(flags("VST Output", 1), 0x248);  // linear: listed with 0x200
  EXPECT_EQ(flags("Fixed Values", 0), 0x6C);
}

TEST(ModuleRegistry, TypesBuiltByTheEngineMakeTheEnginesGenerators) {
  const ModuleRegistry& registry = BuiltInModules();
  const Module_Info* adder = registry.FindModule("Float Adder");
  EXPECT_NE(dynamic_cast<ug_adder*>(adder->CreateGenerator().get()), nullptr);
  EXPECT_NE(
      dynamic_cast<ug_adder_midi*>(registry.FindModule("MIDI Adder2")->CreateGenerator().get()),
      nullptr);
  // The probe that listed these is gone: no descriptor may point into it.
  ASSERT_EQ(Names(adder->Descriptors()), (std::vector<std::string>{"Signal Out", "Signals In"}));
  EXPECT_EQ(adder->Descriptors()[0].buffer_member, nullptr);
  EXPECT_NE(adder->Descriptors()[1].flags & kPlugCollectsConnections, 0);

  // The container generator lists the container's plugs, clones too.
  const Module_Info* container = registry.FindModule("Container");
  const std::unique_ptr<ug_base> made = container->CreateGenerator();
  ASSERT_NE(dynamic_cast<ug_container*>(made.get()), nullptr);
  std::vector<InterfaceObject> listed;
  made->CreateInstance()->ListPlugs(listed);
  EXPECT_EQ(Names(listed),
            (std::vector<std::string>{"Polyphony", "MIDI Automation", "Show Controls", "Spare"}));
  EXPECT_NE(dynamic_cast<ug_io_mod*>(registry.FindModule("IO Mod")->CreateGenerator().get()),
            nullptr);
}

// Generators list the whole table too, so that documents' plug numbers
// (table rows) are their descriptor positions.
TEST(ModuleRegistry, StaticTableTypesAndTheirGeneratorsListEveryPlug) {
  const Module_Info* type = BuiltInModules().FindModule("PatchMemFloatOut");
  EXPECT_EQ(Names(type->Descriptors()),
            (std::vector<std::string>{"Name", "Value", "P", "Value In", "Animation Position",
                                      "Min Value", "Max Value"}));
  for (const InterfaceObject& plug : type->Descriptors()) EXPECT_EQ(plug.hint, "");
  EXPECT_EQ(type->Descriptors()[1].flags, 0x10400);

  std::vector<InterfaceObject> engine_plugs;
  type->CreateGenerator()->ListPlugs(engine_plugs);
  EXPECT_EQ(Names(engine_plugs), Names(type->Descriptors()));
  engine_plugs.clear();
  const Module_Info* float_in = BuiltInModules().FindModule("PatchMemFloatIn");
  float_in->CreateGenerator()->ListPlugs(engine_plugs);
  EXPECT_EQ(Names(engine_plugs), Names(float_in->Descriptors()));
}

TEST(ModuleRegistry, StaticTableTextsAreUtf16OrStringResources) {
  const StaticPlugEntry table[] = {
      {u"Gain \u00b5", DR_IN, DT_FSAMPLE, u"5", PlugText::Resource(32821), 0},
      {PlugText::Resource(130), DR_OUT, DT_FSAMPLE, u"", u"", 0},
  };
  const Module_Info type("Test", 0, 0, "", nullptr, 0x100, table);
  ASSERT_EQ(type.Descriptors().size(), 2u);
  EXPECT_EQ(type.Descriptors()[0].name, "Gain \xc2\xb5");
  EXPECT_EQ(type.Descriptors()[0].list_text, "ADSR");
  EXPECT_EQ(type.Descriptors()[0].flags, 0x001);
  EXPECT_EQ(type.Descriptors()[1].name, "");
  EXPECT_EQ(type.ModuleFlags(), 0x100);
  EXPECT_EQ(type.LegacyNumber(), -1);
}

TEST(ModuleRegistry, FileTypesByExtensionIgnoringCase) {
  const ModuleRegistry& registry = BuiltInModules();
  ASSERT_EQ(registry.FileTypes().size(), 12u);
  EXPECT_EQ(registry.FileTypeIndex("WAV"), 1u);
  EXPECT_EQ(registry.FileTypeIndex("Png"), 9u);
  EXPECT_EQ(registry.FileTypes()[9].type_name, "Image Files");
  EXPECT_EQ(registry.FileTypeIndex("ovm"), 0u);
  EXPECT_EQ(registry.FileTypeIndex("*"), 0u);
  EXPECT_EQ(registry.FileTypeIndex(""), 11u);
}

}  // namespace
}  // namespace ov::test
