// Our own test plug-in inside a "VST Plugin" module: what Debian's plug-ins
// do not exercise (indexed and unindexed program names, unusable and UTF-8
// parameter names, a processReplacing that adds, MIDI sent while
// processing), and its bank and program files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "document/control_mapper.h"
#include "document/menu_entries.h"
#include "document/plug.h"
#include "document/vst_parameters.h"
#include "document/vst_plugin_module.h"
#include "media/midi_file.h"
#include "media/wav_file.h"
#include "modules/module_registry.h"
#include "platform/files.h"
#include "platform/vst2_file_select.h"
#include "tests/host/plugin_test_support.h"
#include "tests/engine/graph_fixture.h"
#include "tests/host/temp_folder.h"
#include "vsthost/ug_vst_plugin.h"
#include "vsthost/vst_bank_files.h"
#include "vsthost/vst_host_app.h"

namespace ov {
namespace {

using testing::BuildDir;
using testing::RunProgram;
using testing::TempFolder;

std::unique_ptr<Ctl_VST_Plugin> Prepared(const std::string& library) {
  auto module = std::make_unique<Ctl_VST_Plugin>();
  module->SetUpAsNew(*ProcessModules().FindModule("VST Plugin"));
  std::string error;
  EXPECT_TRUE(module->PrepareForLibrary(library, &error)) << error;
  return module;
}

float Value(Ctl_VST_Plugin& module, int32_t program, int32_t index) {
  VST_Wrapper& plugin = module.wrapper();
  const int32_t current = plugin.Program();
  plugin.SetProgram(program);
  const float value = plugin.GetParameter(index);
  plugin.SetProgram(current);
  return value;
}

struct EntryCase {
  int32_t index;
  const char* display;  // null: no entry
};

// Which parameters get an entry follows the rule stored projects were made
// under; the names shown are cut on a character boundary.
const EntryCase kEntries[] = {
    {0, "Gain"}, {1, nullptr}, {20, ""}, {35, nullptr}, {36, "Grüne Höhe übrig"}, {37, nullptr},
};

TEST(TestPlugin, ModuleFollowsThePlugin) {
  for (const char* library : {OV_TEST_PLUGIN_INDEXED, OV_TEST_PLUGIN_PLAIN}) {
    SCOPED_TRACE(library);
    std::unique_ptr<Ctl_VST_Plugin> module = Prepared(library);
    VST_Wrapper& plugin = module->wrapper();
    EXPECT_EQ(plugin.ProgramNames(), (std::vector<std::string>{"Lead", "Bass, deep=1", "Pad", ""}));
    EXPECT_EQ(plugin.Program(), 0);
    EXPECT_EQ(module->title(), "Orvane test plug-in");
    // Its processReplacing adds: the automatic fix notices.
    EXPECT_EQ(module->FindPlug("ProcessReplacing Fix")->value_text(), "1");
    EXPECT_FALSE(module->FindPlug("MIDI Out")->hidden());

    const auto& parameters = module->parameters();
    ASSERT_EQ(parameters.size(), 42u);
    for (const EntryCase& entry : kEntries) {
      SCOPED_TRACE(entry.index);
      parameter_vst* parameter = module->VstParameter(entry.index);
      ASSERT_EQ(parameter != nullptr, entry.display != nullptr);
      if (parameter != nullptr) {
        EXPECT_EQ(parameter->Name(), entry.display);
      }
    }
    generic_parameter& name = *parameters[40];
    generic_parameter& program = *parameters[41];
    EXPECT_EQ(name.Name(), "Program Name");
    EXPECT_EQ(program.Name(), "Program");
    EXPECT_EQ(name.ItemList(), "Lead=0,Bass  deep 1,Pad,");

    parameter_vst& gain = *module->VstParameter(0);
    EXPECT_TRUE(gain.Automatable());
    EXPECT_EQ(gain.NumericText(), "0.100000");
    EXPECT_EQ(gain.Label(), "%");
    gain.WriteValueText("0.5");
    EXPECT_EQ(gain.ValueText(), "50");
    gain.WriteValueText("loud");  // no number: unchanged
    gain.WriteValueText("7");     // kept within 0..1
    EXPECT_EQ(gain.GetNormalised(), 1.0f);
    gain.WriteValueText("0.5");
    program.WriteValueText("2");
    EXPECT_EQ(program.ValueText(), "2");
    EXPECT_EQ(name.ValueText(), "Pad");
    program.WriteValueText("4");  // beyond the programs: ignored
    EXPECT_EQ(plugin.Program(), 2);
    program.WriteValueText("0");

    // Copies in memory, named after the current program, which keeps its name.
    module->CopyProgram(2, 3);
    EXPECT_EQ(plugin.ProgramNames(),
              (std::vector<std::string>{"Lead", "Bass, deep=1", "(Copy 1) Lead", "(Copy 2) Lead"}));
    EXPECT_EQ(Value(*module, 3, 0), 0.5f);
    EXPECT_EQ(Value(*module, 3, 5), 0.1f);
    EXPECT_EQ(Value(*module, 1, 0), 0.2f);

    // A bank and a program saved, changed and loaded again.
    TempFolder folder;
    std::string error;
    ASSERT_TRUE(module->SaveProgramsFile(folder / "all.fxb", true, &error)) << error;
    ASSERT_TRUE(module->SaveProgramsFile(folder / "one.fxp", false, &error)) << error;
    plugin.SetProgram(1);
    module->VstParameter(0)->SetNormalised(0.9f);
    plugin.SetProgram(0);
    module->VstParameter(0)->SetNormalised(0.8f);
    ASSERT_TRUE(module->LoadProgramsFile(folder / "all.fxb", true, &error)) << error;
    EXPECT_EQ(Value(*module, 1, 0), 0.2f);
    EXPECT_EQ(Value(*module, 0, 0), 0.5f);
    EXPECT_EQ(plugin.Program(), 0);
    module->VstParameter(0)->SetNormalised(0.8f);
    ASSERT_TRUE(module->LoadProgramsFile(folder / "one.fxp", false, &error)) << error;
    EXPECT_EQ(Value(*module, 0, 0), 0.5f);

    // Another plug-in's file, and a chunk file, change nothing.
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(folder / "all.fxb", 1 << 20, &bytes, &error));
    bytes[19] ^= 1;
    ASSERT_TRUE(WriteFileBytes(folder / "other.fxb", bytes, &error));
    module->VstParameter(0)->SetNormalised(0.8f);
    EXPECT_FALSE(module->LoadProgramsFile(folder / "other.fxb", true, &error));
    EXPECT_EQ(error, "This file not compatible\n");
    const uint8_t chunk_bank[] = {'C', 'c', 'n', 'K', 0, 0, 0, 0, 'F', 'B', 'C', 'h', 0, 0, 0, 1};
    ASSERT_TRUE(WriteFileBytes(folder / "chunk.fxb", chunk_bank, &error));
    EXPECT_FALSE(module->LoadProgramsFile(folder / "chunk.fxb", true, &error));
    EXPECT_FALSE(module->LoadProgramsFile(folder / "all.fxb", false, &error));
    EXPECT_EQ(Value(*module, 0, 0), 0.8f);

    // The menu offers the file commands.
    ContextMenu menu;
    module->AddMenuEntries(menu);
    std::vector<std::string> texts;
    for (const MenuItem& item : menu.Items()) texts.push_back(item.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Panel Edit...", "", "Load Bank", "Save Bank",
                                               "Load Inst", "Save Inst", "Automation..."}));
  }
}

struct ControllerStep {
  int32_t controller;
  int32_t value;
  float gain;  // what the plug-in's "Gain" then holds
};

// "Gain" assigned to RPN 7 and "Param" 2 to controller 1: data entry moves
// the first once RPN 7 is chosen and no more once an NRPN is; controller
// 33 adds the low bits to controller 1.
const ControllerStep kControllerSteps[] = {
    {6, 100, 0.1f},                           // no RPN chosen yet
    {101, 0, 0.1f},  {100, 7, 0.1f},          // RPN 7
    {6, 64, 64 * 128 / 16256.0f},             // data entry, high bits
    {38, 16, (64 * 128 + 16) / 16256.0f},     // and low bits
    {99, 0, (64 * 128 + 16) / 16256.0f},      // an NRPN chosen: RPN gone
    {6, 127, (64 * 128 + 16) / 16256.0f},
    {101, 0, (64 * 128 + 16) / 16256.0f},  {100, 7, (64 * 128 + 16) / 16256.0f},
    {6, 127, 1.0f},                           // 127 x 128 + 16 stays 1.0
};

TEST(TestPlugin, MidiAutomationFollowsControllersAndParameterNumbers) {
  VST_Wrapper plugin(nullptr);
  std::string error;
  ASSERT_TRUE(plugin.Load(OV_TEST_PLUGIN_PLAIN, &error)) << error;
  test::GraphRig rig;
  auto& hosted = rig.Add(std::make_unique<ug_vst_plugin>(), 10);
  hosted.SetWrapper(&plugin);
  hosted.SetMidiAssignments({{0, 101, 7}, {2, 1, -1}});
  hosted.plug(7)->SetValueFromText("1");  // "MIDI Automation"
  rig.Start();
  uint32_t time = 0;
  for (const ControllerStep& step : kControllerSteps) {
    SCOPED_TRACE(::testing::Message() << "controller " << step.controller << " = " << step.value);
    hosted.QueueMidi(time + 5, 0xB0 | step.controller << 8 | step.value << 16, hosted.plug(0));
    rig.master.Process(test::GraphRig::kCell);
    time += test::GraphRig::kCell;
    EXPECT_FLOAT_EQ(plugin.GetParameter(0), step.gain);
  }
  EXPECT_TRUE(hosted.TakeMovedByMidi(0));
  EXPECT_FALSE(hosted.TakeMovedByMidi(0));
  // Controller 1 on another channel is no automation; on the first, with
  // controller 33, it builds one 14-bit value.
  hosted.QueueMidi(time + 5, 0xB1 | 1 << 8 | 127 << 16, hosted.plug(0));
  rig.master.Process(test::GraphRig::kCell);
  time += test::GraphRig::kCell;
  EXPECT_FLOAT_EQ(plugin.GetParameter(2), 0.1f);
  hosted.QueueMidi(time + 5, 0xB0 | 1 << 8 | 100 << 16, hosted.plug(0));
  hosted.QueueMidi(time + 6, 0xB0 | 33 << 8 | 5 << 16, hosted.plug(0));
  rig.master.Process(test::GraphRig::kCell);
  EXPECT_FLOAT_EQ(plugin.GetParameter(2), (100 * 128 + 5) / 16256.0f);
  rig.master.Stop();
}

// A host whose file dialog always answers with one path.
class ChoosingHost : public VST_HostApp {
 public:
  void Idle() override {}
  void LibraryUnloading() override {}
  void EventsFromPlugin(const vst2::VstEvents&) override {}
  void SetTime(const vst2::VstTimeInfo&) override {}
  const vst2::VstTimeInfo* GetTime(int32_t) override { return nullptr; }
  int32_t SampleRate() override { return 44100; }
  int32_t BlockSize() override { return 64; }
  bool FileDialog(bool save, const std::string& type, std::string& path) override {
    asked = (save ? "save " : "open ") + type + " " + path;
    path = "/home/user/presets/warm.fxp";
    return true;
  }
  void ParameterAutomated(int32_t, float) override {}
  bool CopyLibrariesBeforeLoading() override { return false; }
  void DisplayChanged() override {}
  std::string asked;
};

struct SelectorCase {
  int32_t room;  // -1: the plug-in leaves the path to the host
  intptr_t answer;
};

// The chosen path goes back within the room the plug-in gave, never cut,
// or into room the host allocates and frees when the selector closes.
const SelectorCase kSelectorCases[] = {{-1, 1}, {64, 1}, {28, 1}, {27, 0}, {0, 0}};

TEST(TestPlugin, FileSelectorRequestsKeepWithinTheirRoom) {
  for (const SelectorCase& c : kSelectorCases) {
    SCOPED_TRACE(c.room);
    ChoosingHost host;
    VST_Wrapper wrapper(&host);
    vst2::VstFileType type{};
    std::strcpy(type.unixType, "fxp");
    std::vector<char> room(static_cast<std::size_t>(std::max(c.room, 0)) + 16, 'x');
    char initial[] = "/home/user";
    vst2::VstFileSelect select{};
    select.command = vst2::kVstFileLoad;
    select.nbFileTypes = 1;
    select.fileTypes = &type;
    select.initialPath = initial;
    select.returnPath = c.room < 0 ? nullptr : room.data();
    select.sizeReturnPath = std::max(c.room, 0);
    EXPECT_EQ(wrapper.Answer(vst2::audioMasterOpenFileSelector, 0, 0, &select, 0), c.answer);
    EXPECT_EQ(host.asked, "open fxp /home/user");
    if (c.answer == 1) {
      ASSERT_NE(select.returnPath, nullptr);
      EXPECT_STREQ(select.returnPath, "/home/user/presets/warm.fxp");
      EXPECT_EQ(select.nbReturnPath, 1);
    } else if (c.room > 0) {
      EXPECT_EQ(room[0], 'x');
    }
    EXPECT_EQ(room.back(), 'x');
    EXPECT_EQ(wrapper.Answer(vst2::audioMasterCloseFileSelector, 0, 0, &select, 0), 1);
    if (c.room < 0) {
      EXPECT_EQ(select.returnPath, nullptr);
    }
  }
}

// Inside a rendered project: outputs zeroed before the adding call (the
// fix), and the notes it sends while processing reach our MIDI output.
TEST(TestPlugin, ProcessesAndSendsMidiInsideAProject) {
  TempFolder folder;
  const std::string json = folder / "project.json";
  std::ofstream(json) << R"({"version": 95960, "plugin_id": "OvTt", "plugin_flags": 1,
    "root": {"type": "Container", "modules": [{"type": "Container", "name": "main",
      "io": [{"name": "MIDI In", "direction": "in", "datatype": "midi"},
             {"name": "In", "direction": "in", "datatype": "audio"},
             {"name": "Out", "direction": "out", "datatype": "audio"},
             {"name": "MIDI Out", "direction": "out", "datatype": "midi"}],
      "modules": [{"type": "VST Plugin", "name": "test",
                   "vst_plugin": {"path": ")" OV_TEST_PLUGIN_PLAIN R"(", "program": 2}}],
      "connections": ["io.MIDI In -> test.MIDI In", "io.In -> test.Signal in",
                      "test.Signal Out -> io.Out", "test.MIDI Out -> io.MIDI Out"]}]}})";
  const std::string input = "/usr/share/sounds/alsa/Front_Center.wav";
  std::string log;
  // The project stores the library's name; it is found where Linux hosts look.
  const std::string folder_of_plugin = std::filesystem::path(OV_TEST_PLUGIN_PLAIN).parent_path();
  ASSERT_EQ(RunProgram("VST_PATH=" + folder_of_plugin + " " + BuildDir() + "/orvane render " + json +
                           " --in " + input +
                           " --rate 48000 --tail 0 --note 60:100:0.1:0.2 --midi-out " +
                           (folder / "out.mid") + " -o " + (folder / "out.wav"),
                       &log),
            0)
      << log;
  std::string error;
  const std::optional<AudioClip> in = ReadWavFile(input, &error);
  const std::optional<AudioClip> out = ReadWavFile(folder / "out.wav", &error);
  ASSERT_TRUE(in && out) << error;
  ASSERT_GE(out->channels[0].size(), in->channels[0].size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < in->channels[0].size(); ++i) {
    if (std::abs(out->channels[0][i] - in->channels[0][i] * 0.3f) > 1e-6f) ++differing;
  }
  EXPECT_EQ(differing, 0u);
  const std::optional<MidiSong> song = ReadMidiFile(folder / "out.mid", &error);
  ASSERT_TRUE(song.has_value()) << error;
  ASSERT_EQ(song->events.size(), 2u);
  EXPECT_EQ(song->events[0].bytes[0] & 0xF0, 0x90);
  EXPECT_EQ(song->events[0].bytes[1], 61);
  EXPECT_NEAR(song->events[0].seconds, 0.1, 1e-3);
  EXPECT_EQ(song->events[1].bytes[1], 61);
}

}  // namespace
}  // namespace ov
