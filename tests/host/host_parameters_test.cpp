// The host's view of patch parameters and patches: list order and texts,
// sets and their reports, automation from a foreign thread, and programs.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "engine/audio_master.h"
#include "host/ov_vst.h"
#include "tests/host/compiled_project.h"
#include "tests/host/patch_project.h"

namespace ov::testing {
namespace {

using vst2::audioMasterAutomate;

TEST(HostParameters, ListIsSortedByNameWithTextsCutForTheHost) {
  const std::string long_name(40, 'L');
  PatchPlugin made({"C", "A", "B", long_name, "a"});
  OvVst& plugin = made.plugin;
  ASSERT_EQ(plugin.getAeffect()->numParams, 5);
  // Byte order: capitals before lower case; equal keys would keep id order.
  EXPECT_EQ(made.Text(vst2::effGetParamName, 0), "A");
  EXPECT_EQ(made.Text(vst2::effGetParamName, 1), "B");
  EXPECT_EQ(made.Text(vst2::effGetParamName, 2), "C");
  EXPECT_EQ(made.Text(vst2::effGetParamName, 3), std::string(31, 'L'));
  EXPECT_EQ(made.Text(vst2::effGetParamName, 4), "a");
  // Outside the list: empty texts, zero values, nothing automatable.
  EXPECT_EQ(made.Text(vst2::effGetParamName, 5), "");
  EXPECT_EQ(made.Text(vst2::effGetParamDisplay, -1), "");
  EXPECT_EQ(plugin.getParameter(5), 0.0f);
  EXPECT_FALSE(plugin.canParameterBeAutomated(5));
  EXPECT_TRUE(plugin.canParameterBeAutomated(0));
  EXPECT_EQ(made.Text(vst2::effGetParamLabel, 0), "");

  made.Parameter("B").set_range({0, 10});
  plugin.setParameter(1, 0.25f);
  EXPECT_EQ(made.Parameter("B").CurrentValue().real, 2.5f);
  EXPECT_EQ(made.Text(vst2::effGetParamDisplay, 1), made.Parameter("B").ValueText());
  EXPECT_EQ(plugin.getParameter(1), 0.25f);
}

TEST(HostParameters, OnlyChangesMadeOutsideTheHostAreReported) {
  PatchPlugin made({"A", "B"});
  OvVst& plugin = made.plugin;
  PatchParameter& b = made.Parameter("B");
  b.set_range({0, 10});

  // The host's own sets, and a set equal to the value, are not echoed.
  plugin.setParameter(1, 0.5f);
  plugin.setParameter(1, 0.5f);
  EXPECT_EQ(made.host.Count(audioMasterAutomate), 0);

  // A change made on the panel is.
  b.SetNormalised(0.75f);
  ASSERT_EQ(made.host.Count(audioMasterAutomate), 1);
  EXPECT_EQ(plugin.getParameter(1), 0.75f);

  // A patch change is not, though the value moves.
  b.SetSlotFromText(3, "1");
  plugin.setProgram(3);
  EXPECT_EQ(made.host.Count(audioMasterAutomate), 1);
  EXPECT_EQ(plugin.getParameter(1), 0.1f);
}

TEST(HostParameters, AForeignThreadQueuesForTheEngineAndHearsNoEcho) {
  // The oscillator's waveform list: Sine, Saw (the default), Ramp, Triangle...
  PatchPlugin made({"Wave"}, 16, "Oscillator", "Waveform");
  OvVst& plugin = made.plugin;
  PatchParameter& wave = made.Parameter("Wave");
  plugin.resume();
  ASSERT_NE(plugin.App().Engine(), nullptr)
      << (plugin.App().Messages().Messages().empty() ? ""
                                                     : plugin.App().Messages().Messages()[0].text);

  std::thread automation([&] { plugin.setParameter(0, 0.5f); });
  automation.join();
  EXPECT_EQ(plugin.getParameter(0), 0.5f);
  // The engine's answer reaches the editor side at the next idle call.
  EXPECT_EQ(wave.CurrentValue().number, 1);
  plugin.fxIdle();
  EXPECT_EQ(wave.CurrentValue().number, 3);
  EXPECT_EQ(made.host.Count(audioMasterAutomate), 0);
  plugin.suspend();

  // With no engine, the host reads its set at once, and the editor side
  // takes it at the editor thread's next call.
  std::thread stopped([&] { plugin.setParameter(0, 1.0f); });
  stopped.join();
  EXPECT_EQ(plugin.getParameter(0), 1.0f);
  plugin.dispatcher(vst2::effIdle, 0, 0, nullptr, 0);
  EXPECT_EQ(wave.CurrentValue().number, 6);
}

// What the host reads stays within 0..1 and is what the parameter holds: at
// load, after a set that changed nothing, after a program change and after
// a chunk load; hosts store it in their sessions.
TEST(HostParameters, WhatTheHostReadsIsTheHeldValueWithinZeroToOne) {
  const struct {
    const char* key;
    const char* plug;
    float set;
  } cases[] = {
      {"WaveShaper2", "shape", 0.7f},     // a text: no normalised form
      {"Oscillator", "Waveform", 0.2f},   // the item already chosen, Saw
      {"PatchMemFloatIn", "Value", 0.3f}, // a float that follows
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    PatchPlugin made({"P"}, 16, c.key, c.plug);
    OvVst& plugin = made.plugin;
    PatchParameter& held = made.Parameter("P");
    const auto expect_held = [&](const char* when) {
      const float read = plugin.getParameter(0);
      EXPECT_TRUE(read >= 0.0f && read <= 1.0f) << when << ": " << read;
      EXPECT_EQ(read, held.GetNormalised()) << when;
    };
    expect_held("at load");
    plugin.setParameter(0, c.set);
    expect_held("after a set");
    held.SetSlotFromText(3, held.SlotText(0));
    plugin.setProgram(3);
    expect_held("after a program change");
    void* data = nullptr;
    const int32_t size = plugin.getChunk(&data, false);
    std::vector<uint8_t> bank(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    plugin.setParameter(0, 0.9f);
    plugin.setChunk(bank.data(), size, false);
    expect_held("after a chunk load");
  }
}

TEST(HostPrograms, NamesCopiesAndNumbersOutOfRange) {
  PatchPlugin made({"A"}, 200);
  OvVst& plugin = made.plugin;
  vst2::AEffect& effect = *plugin.getAeffect();
  EXPECT_EQ(effect.numPrograms, 128);  // a header count above the patches is clamped

  plugin.dispatcher(vst2::effSetProgramName, 0, 0, const_cast<char*>("A name of thirty characters"),
                    0);
  // The name is cut to the host's 24 bytes.
  EXPECT_EQ(made.Text(vst2::effGetProgramName, 0), std::string("A name of thirty charac"));
  EXPECT_EQ(made.Patches().PatchName(0), "A name of thirty characters");
  EXPECT_EQ(made.Text(vst2::effGetProgramNameIndexed, 5), "Patch   6");

  made.Parameter("A").SetSlotFromText(0, "0.5");
  EXPECT_TRUE(plugin.copyProgram(7));
  EXPECT_EQ(made.Patches().PatchName(7), "(Copy 1) A name of thirty characters");
  EXPECT_EQ(made.Parameter("A").SlotValue(7).real, 0.5f);

  // Numbers outside the programs are ignored.
  char text[64] = "untouched";
  EXPECT_FALSE(plugin.getProgramNameIndexed(0, 128, text));
  EXPECT_FALSE(plugin.getProgramNameIndexed(0, -1, text));
  EXPECT_STREQ(text, "untouched");
  EXPECT_FALSE(plugin.copyProgram(128));
  plugin.setProgram(128);
  plugin.setProgram(-3);
  EXPECT_EQ(plugin.getProgram(), 0);
  plugin.setProgram(127);
  EXPECT_EQ(plugin.getProgram(), 127);
  EXPECT_EQ(made.Patches().current_patch(), 127);

  // Whoever selects a patch, the host reads it back as the program.
  made.Patches().SetCurrentPatch(9);
  EXPECT_EQ(plugin.dispatcher(vst2::effGetProgram, 0, 0, nullptr, 0), 9);
}

// Host MIDI reaches a "MIDI Automator"; the filter's "Freq Scale" (two
// items) is a patch parameter following controller 7.
constexpr const char* kAutomatedProject = R"({
  "version": 95960, "plugin_id": "OvAu", "vendor": "Orvane", "plugin_flags": 1,
  "root": {"type": "Container", "modules": [{
    "type": "Container", "name": "synth", "title": "Automated",
    "io": [{"name": "MIDI In", "direction": "in", "datatype": "midi"},
           {"name": "Left", "direction": "out", "datatype": "audio"}],
    "patches": {"current": 0},
    "modules": [
      {"type": "MIDI Automator", "name": "automator"},
      {"type": "Moog Filter", "name": "filter", "title": "Scale",
       "patch_values": {"Freq Scale": [0]}}],
    "connections": ["io.MIDI In -> automator.MIDI In", "filter.Output -> io.Left"]}]}
})";

TEST(HostParameters, AMidiControllerMovesAParameterAndTheHostHearsOfIt) {
  FakeHost host;
  CompiledProject source(Json::parse(kAutomatedProject));
  OvVst plugin(&FakeHost::Callback, source);
  ASSERT_FALSE(plugin.LoadFailed());
  ASSERT_EQ(plugin.getAeffect()->numParams, 1);
  CPatchManager* patches = plugin.App().Document()->FindMainContainer()->GetPatchManager();
  ASSERT_NE(patches, nullptr);
  patches->parameters().begin()->second->SetMidiController(0x2000007);
  plugin.setSampleRate(44100);
  plugin.setBlockSize(64);
  plugin.resume();
  ASSERT_NE(plugin.App().Engine(), nullptr);

  vst2::VstMidiEvent volume{};
  volume.type = vst2::kVstMidiType;
  volume.deltaFrames = 3;
  volume.midiData[0] = static_cast<char>(0xB0);
  volume.midiData[1] = 7;
  volume.midiData[2] = 127;
  struct {
    int32_t numEvents;
    intptr_t reserved;
    vst2::VstEvent* events[1];
  } block{1, 0, {reinterpret_cast<vst2::VstEvent*>(&volume)}};
  plugin.dispatcher(vst2::effProcessEvents, 0, 0, &block, 0);
  std::vector<float> left(64), right(64);
  float* outputs[] = {left.data(), right.data()};
  plugin.getAeffect()->processReplacing(plugin.getAeffect(), nullptr, outputs, 64);
  EXPECT_TRUE(host.automated.empty());  // reported on the editor thread, not the audio thread
  plugin.fxIdle();
  EXPECT_EQ(host.automated, (std::vector<FakeHost::Automation>{{0, 1.0f}}));
  EXPECT_EQ(plugin.getParameter(0), 1.0f);
  char display[64] = {};
  plugin.dispatcher(vst2::effGetParamDisplay, 0, 0, display, 0);
  EXPECT_STREQ(display, "1 Volt/kHz");
  plugin.suspend();
}

// The main container keeps no patches of its own: its patch parameters live
// in the root's manager, which the host must see.
constexpr const char* kInheritedPatchesProject = R"({
  "plugin_id": "OvIn", "programs": 4,
  "root": {"patches": {"current": 0}, "modules": [
    {"type": "Patch Select"},
    {"type": "Container", "title": "Inherited", "modules": [
      {"type": "PatchMemFloatIn", "name": "level", "title": "Level",
       "patch_values": {"Value": [1, 2, 3]}}]}]}
})";

TEST(HostParameters, AMainContainerWithoutPatchesShowsTheManagerAboveIt) {
  FakeHost host;
  StreamProject source(Json::parse(kInheritedPatchesProject));
  OvVst plugin(&FakeHost::Callback, source);
  ASSERT_FALSE(plugin.LoadFailed());
  CContainer* main = plugin.App().Document()->FindMainContainer();
  ASSERT_EQ(main->patch_manager(), nullptr);
  ASSERT_EQ(plugin.getAeffect()->numParams, 1);
  EXPECT_EQ(plugin.getAeffect()->numPrograms, 4);
  PatchParameter& level = *main->GetPatchManager()->parameters().begin()->second;

  plugin.setProgram(1);
  EXPECT_EQ(level.CurrentValue().real, 2.0f);
  const float second = plugin.getParameter(0);
  plugin.setProgram(2);
  EXPECT_EQ(level.CurrentValue().real, 3.0f);
  EXPECT_NE(plugin.getParameter(0), second);

  // The bank carries the values, and another instance takes them back.
  void* data = nullptr;
  const int32_t size = plugin.getChunk(&data, false);
  const std::vector<uint8_t> bank(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  level.SetSlotFromText(2, "7");
  plugin.setChunk(const_cast<uint8_t*>(bank.data()), size, false);
  EXPECT_EQ(level.SlotValue(2).real, 3.0f);
  EXPECT_TRUE(plugin.App().Messages().Messages().empty());
}

// Hosts save, restore and ask for texts from worker threads, and set
// parameters there while audio is stopped, as the user works the editor.
// The editor side is serialised; the sanitizer build checks for races.
TEST(HostThreads, WorkerCallsAreSerialisedWithTheEditor) {
  PatchPlugin made({"A", "B"}, 16);
  vst2::AEffect& effect = *made.plugin.getAeffect();
  void* data = nullptr;
  const auto size = effect.dispatcher(&effect, vst2::effGetChunk, 0, 0, &data, 0);
  const std::vector<uint8_t> bank(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);

  std::thread worker([&] {
    std::vector<uint8_t> copy = bank;
    char text[64];
    for (int i = 0; i < 200; ++i) {
      void* chunk = nullptr;
      effect.dispatcher(&effect, vst2::effGetChunk, 1, 0, &chunk, 0);
      effect.dispatcher(&effect, vst2::effSetChunk, 0, static_cast<intptr_t>(copy.size()),
                        copy.data(), 0);
      effect.dispatcher(&effect, vst2::effGetParamDisplay, i % 2, 0, text, 0);
      effect.setParameter(&effect, i % 2, static_cast<float>(i % 10) / 10.0f);
    }
  });
  for (int i = 0; i < 200; ++i) {
    effect.dispatcher(&effect, vst2::effSetProgram, 0, i % 16, nullptr, 0);
    effect.setParameter(&effect, 1 - i % 2, static_cast<float>(i % 7) / 7.0f);
    effect.dispatcher(&effect, vst2::effIdle, 0, 0, nullptr, 0);
    char name[64];
    effect.dispatcher(&effect, vst2::effGetProgramName, 0, 0, name, 0);
  }
  worker.join();
  EXPECT_EQ(effect.dispatcher(&effect, vst2::effGetProgram, 0, 0, nullptr, 0), 199 % 16);
}

}  // namespace
}  // namespace ov::testing
