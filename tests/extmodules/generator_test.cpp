// Library modules running in the engine: both processing forms, events, text
// copies, "sdk" messages and the engine host callback's answers, hostile
// calls included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "engine/message_queue.h"
#include "extmodules/ug_plugin.h"
#include "platform/dynamic_library.h"
#include "tests/extmodules/extmodules_test_support.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

// A library function the examples export for tests; the loader hands out
// the already loaded copy, so its records are the ones the modules keep.
template <typename Function>
Function LibraryFunction(const std::string& path, const char* name) {
  std::string error;
  static std::vector<DynamicLibrary> kept;
  kept.push_back(DynamicLibrary::Open(path, &error));
  return reinterpret_cast<Function>(kept.back().Symbol(name));
}

struct SdkMessage {
  void OnMessage(uint32_t id, MessageReader& payload) {
    if (id != MessageId("sdk")) return;
    int32_t count = 0;
    payload.Read(value);
    payload.Read(count);
    for (int32_t i = 0; i < count; ++i) {
      char c = 0;
      payload.Read(c);
      bytes.push_back(c);
    }
  }
  int32_t value = 0;
  std::string bytes;
};

class LibraryModuleTest : public ModuleTest {
 protected:
  ug_plugin& AddModule(const std::string& key) {
    const Module_Info* type = ExampleTypes().FindModule(key);
    EXPECT_NE(type, nullptr) << key;
    std::unique_ptr<ug_base> made = type->CreateGenerator();
    EXPECT_NE(made, nullptr);
    return static_cast<ug_plugin&>(Add(std::move(made)));
  }
};

float Wave(int64_t n) { return static_cast<float>(std::sin(0.01 * static_cast<double>(n))); }

TEST_F(LibraryModuleTest, TheGainMultipliesAndItsCallsAreSplitAtEventTimes) {
  using Log = int32_t (*)(int32_t*, int32_t);
  const auto call_log = LibraryFunction<Log>(ExampleModules(), "exampleCallLog");
  ASSERT_NE(call_log, nullptr);
  ug_plugin& gain = AddModule("Ov Example Gain");
  DriveInput(*gain.plug(0), Wave, ST_RUN, {{200u, ST_STATIC}, {210u, ST_RUN}});
  Set(gain, 1, "0.5");
  Start();
  int32_t entries[64][3];
  Step();
  call_log(&entries[0][0], 64);  // the first cell's calls
  Step();
  const int32_t count = call_log(&entries[0][0], 64);
  // Cell 2 (samples 128 to 255): calls split at the changes at 200 and 210.
  std::vector<std::vector<int32_t>> calls;
  for (int32_t i = 0; i < count; ++i) calls.push_back({entries[i][0], entries[i][1], entries[i][2]});
  EXPECT_EQ(calls, (std::vector<std::vector<int32_t>>{{0, 0, 72},
                                                      {1, 200, UET_STAT_CHANGE},
                                                      {0, 72, 10},
                                                      {1, 210, UET_STAT_CHANGE},
                                                      {0, 82, 46}}));
  const std::vector<float> out = Record(*gain.plug(2), 256);
  for (int32_t i = 0; i < 256; ++i) {
    ASSERT_EQ(out[static_cast<std::size_t>(i)], Wave(256 + i) * 0.5f) << i;
  }
}

TEST_F(LibraryModuleTest, TheGainSleepsOnAStillInput) {
  ug_plugin& gain = AddModule("Ov Example Gain");
  Set(gain, 1, "0.5");
  Start();  // the input keeps its default: nothing ever runs
  Step();
  Step();
  EXPECT_TRUE(gain.IsSleeping());
  EXPECT_EQ(gain.plug(2)->Data()[5], 0.0f);
}

TEST_F(LibraryModuleTest, TheOlderInterfaceGetsASlicesEventsBeforeItsOneCall) {
  using Log = int32_t (*)(int32_t*, int32_t);
  using Version = intptr_t (*)();
  const auto legacy_log = LibraryFunction<Log>(ExampleLegacy(), "exampleLegacyLog");
  const auto version = LibraryFunction<Version>(ExampleLegacy(), "exampleLegacyHostVersion");
  ASSERT_NE(legacy_log, nullptr);
  ug_plugin& invert = AddModule("Ov Legacy Invert");
  // While main() ran, the callback answered for the generator being made.
  EXPECT_EQ(version(), OV_HOST_VERSION_NUMBER);
  DriveInput(*invert.plug(0), Wave, ST_RUN, {{130u, ST_STATIC}, {140u, ST_RUN}});
  Start();
  int32_t entries[64][2];
  Step();
  legacy_log(&entries[0][0], 64);
  Step();
  ASSERT_EQ(legacy_log(&entries[0][0], 64), 1);
  EXPECT_EQ(entries[0][0], 2);  // both changes before the one call
  EXPECT_EQ(entries[0][1], 128);
  EXPECT_EQ(invert.plug(1)->Data()[3], -Wave(131));
}

TEST_F(LibraryModuleTest, TheHostCallbackAnswersForItsGeneratorOnly) {
  ug_plugin& gain = AddModule("Ov Example Gain");
  DriveInput(*gain.plug(0), Wave);
  Start();
  Step();
  EXPECT_EQ(gain.Answer(OV_HOST_VERSION, 0, 0, nullptr, 0.0f), 95970);
  EXPECT_EQ(gain.Answer(OV_HOST_CLOCK, 0, 0, nullptr, 0.0f), static_cast<intptr_t>(gain.Clock()));
  EXPECT_EQ(gain.Answer(OV_HOST_PLUG_COUNT, 0, 0, nullptr, 0.0f), 3);
  EXPECT_EQ(gain.Answer(OV_HOST_AUDIO_INPUTS, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(gain.Answer(OV_HOST_AUDIO_OUTPUTS, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(gain.Answer(OV_HOST_PLUG_SAMPLES, 2, 0, nullptr, 0.0f),
            reinterpret_cast<intptr_t>(gain.plug(2)->Data()));
  EXPECT_EQ(gain.Answer(OV_HOST_IS_CONNECTED, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(gain.Answer(OV_HOST_BUFFER_START_TIME, 0, 0, nullptr, 0.0f),
            static_cast<intptr_t>(master.CellStart()));

  // A state sent for a time before the clock is dropped; at the clock it goes.
  UPlug& output = *gain.plug(2);
  output.SetState(ST_STOP);
  const auto before = reinterpret_cast<void*>(static_cast<uintptr_t>(gain.Clock() - 1));
  gain.Answer(OV_HOST_TRANSMIT_STATE, 2, ST_RUN, before, 0.0f);
  EXPECT_EQ(output.State(), ST_STOP);
  const auto now = reinterpret_cast<void*>(static_cast<uintptr_t>(gain.Clock()));
  gain.Answer(OV_HOST_TRANSMIT_STATE, 2, ST_RUN, now, 0.0f);
  EXPECT_EQ(output.State(), ST_RUN);

  // Without the project's leave the vendor text is empty.
  char vendor[64];
  std::memset(vendor, 'x', sizeof vendor);
  EXPECT_EQ(gain.Answer(OV_HOST_VENDOR, 0, 0, vendor, 0.0f), 1);
  EXPECT_EQ(vendor[0], '\0');

  // The callback finds the generator only through a structure it made.
  EXPECT_EQ(EngineHostCallbackV2(gain.Structure(), OV_HOST_PLUG_COUNT, 0, 0, nullptr, 0.0f), 3);
  OvModule forged{};
  forged.hostHandle = gain.HostHandle();
  EXPECT_EQ(EngineHostCallbackV2(&forged, OV_HOST_PLUG_COUNT, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(ug_plugin::Find(gain.HostHandle(), gain.Structure()), &gain);

  // Shared tables are made while the engine is stopped, never while it runs.
  int32_t* entries = nullptr;
  EXPECT_EQ(gain.Answer(OV_HOST_SHARED_TABLE, reinterpret_cast<intptr_t>(&entries), 16,
                        const_cast<char*>("gain table"), 1.0f),
            0);
  EXPECT_EQ(entries, nullptr);
}

TEST_F(LibraryModuleTest, VoiceCopiesHaveStructuresOfTheirOwnAndFindEachOther) {
  ug_plugin& model = AddModule("Ov Example Gain");
  auto& copy = static_cast<ug_plugin&>(top.AddChild(model.Clone()));
  ASSERT_NE(copy.Structure(), nullptr);
  EXPECT_NE(copy.Structure(), model.Structure());
  EXPECT_EQ(copy.PlugCount(), 3);
  Set(model, 1, "0.5");
  Set(copy, 1, "0.25");
  Start();
  Step();
  void* found = nullptr;
  copy.Answer(OV_HOST_FIRST_CLONE, 0, 0, &found, 0.0f);
  EXPECT_EQ(found, model.Structure());
  model.Answer(OV_HOST_NEXT_CLONE, 0, 0, &found, 0.0f);
  EXPECT_EQ(found, copy.Structure());
  copy.Answer(OV_HOST_NEXT_CLONE, 0, 0, &found, 0.0f);
  EXPECT_EQ(found, nullptr);
}

TEST_F(LibraryModuleTest, HostileCallsAreAnsweredWithNothingAndHarmNothing) {
  using Answers = const intptr_t* (*)();
  const auto answers = LibraryFunction<Answers>(HostileLibrary(4), "hostileAnswers");
  ASSERT_NE(answers, nullptr);
  ug_plugin& caller = AddModule("Hostile Caller");
  EXPECT_EQ(caller.PlugCount(), 1);  // the list ended at the unknown datatype
  Start();
  Step();
  const intptr_t* got = answers();
  // Samples of plugs 99 and -1, plug 1000000 connected, a foreign structure
  // with its handle, an unknown handle, no structure: all 0.
  for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], 0) << i;
  EXPECT_EQ(got[6], 1);  // its own plug count
  EXPECT_EQ(got[7], 0);  // a negative "sdk" byte count
  EXPECT_EQ(got[8], 0);  // an unknown opcode
  EXPECT_EQ(got[9], 0);  // a new shared table while running
  EXPECT_EQ(Events(caller), 0);  // the status change it queued was refused
  EXPECT_EQ(caller.plug(0)->Data()[0], 0.25f);
}

TEST_F(LibraryModuleTest, MidiBecomesTextAndSdkMessagesTravelBothWays) {
  MessageQueue to_editor(10000);
  master.SetEditorBoundQueue(&to_editor);
  ug_plugin& module = AddModule("Ov MIDI to Text");
  Source& midi = Feed(*module.plug(0));
  Start();
  midi.SendMidi(*midi.plug(0), master.SampleClock() + 5, 0x643C90);
  Step();
  EXPECT_EQ(module.plug(1)->TextValue(), "90 3C 64");
  SdkMessage received;
  to_editor.Drain([&](uint32_t id) { return id == module.TargetId() ? &received : nullptr; });
  EXPECT_EQ(received.value, 0x643C90);
  EXPECT_EQ(received.bytes, "90 3C 64");

  // From the panel side: the module takes the bytes as its text.
  MessageWriter payload;
  payload.Write(int32_t{7}).Write(int32_t{5});
  for (char c : std::string("hello")) payload.Write(c);
  ASSERT_TRUE(master.PostFromEditor(module.TargetId(), MessageId("sdk"), payload.Bytes()));
  Step();
  EXPECT_EQ(module.plug(1)->TextValue(), "hello");
  master.SetEditorBoundQueue(nullptr);
}

}  // namespace
}  // namespace ov::test
