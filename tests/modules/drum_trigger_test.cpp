// The drum trigger: voice groups from what is connected, the note map,
// hi-hat decays, trigger edges and the minimum gate.
#include "modules/drum_trigger.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "document/container.h"
#include "document/graph_build.h"
#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/engine_test_support.h"

namespace ov::testing {
namespace {

constexpr int32_t kKick = 0, kSnare = 1, kHiHat = 2, kUser1 = 11;
constexpr int32_t kCell = 64;
constexpr int32_t kMinimumGate = 882;  // 20 ms at 44.1 kHz

// A drum trigger in the main container with the named outputs each feeding
// an inverter, built and running.
struct DrumRig {
  explicit DrumRig(std::initializer_list<const char*> outputs) {
    drums = Add(*project.main, "Drum Trigger");
    for (const char* output : outputs) {
      CUG* sound = Add(*project.main, "Inverter");
      project.main->Connect(Plug(*drums, output), Plug(*sound, "Signal in"));
    }
    master.SetEngineBlockSize(kCell);
    build.Build(*project.document.root());
    trigger = static_cast<ug_drum_trigger*>(build.GeneratorOf(*drums));
    voices = static_cast<ug_container*>(build.GeneratorOf(*project.main));
    root = build.TakeRoot();
    master.Start(root.get());
  }
  ~DrumRig() { master.Stop(); }

  void Note(uint32_t time, int32_t note, int32_t velocity) {
    const uint32_t word =
        0x90u | static_cast<uint32_t>(note) << 8 | static_cast<uint32_t>(velocity) << 16;
    trigger->QueueEvent(time, UET_MIDI, static_cast<int32_t>(word), trigger->plug(0), 0, true);
  }
  // Runs whole cells, keeping the samples of one output.
  std::vector<float> Render(int32_t samples, int32_t plug) {
    std::vector<float> kept;
    for (int32_t done = 0; done < samples; done += kCell) {
      master.Process(kCell);
      const float* data = trigger->plug(plug)->Data();
      kept.insert(kept.end(), data, data + kCell);
    }
    return kept;
  }

  TestProject project;
  CUG* drums = nullptr;
  test::FakeEngineHost host;
  OvAudioMaster master{host};
  GraphBuild build{master};
  std::unique_ptr<ug_container> root;
  ug_drum_trigger* trigger = nullptr;
  ug_container* voices = nullptr;  // the main container's
};

TEST(DrumTrigger, OnlyConnectedDrumsGetVoiceGroupsInRecordOrder) {
  DrumRig snare_only({"Snare Trig"});
  EXPECT_EQ(snare_only.trigger->GroupOf(kSnare), 1);
  EXPECT_EQ(snare_only.trigger->GroupOf(kKick), -1);
  ASSERT_EQ(snare_only.voices->VoiceCount(), 2);
  // The snare's sound plays in its own voice.
  EXPECT_EQ(snare_only.voices->voice(1).generators.size(), 1u);
  EXPECT_EQ(snare_only.voices->voice(1).key, 1);

  DrumRig both({"Snare Trig", "Kick Trig"});  // connected snare first
  EXPECT_EQ(both.trigger->GroupOf(kKick), 1);
  EXPECT_EQ(both.trigger->GroupOf(kSnare), 2);
}

TEST(DrumTrigger, NotesMapToDrums) {
  DrumRig rig({"Kick Trig"});
  const ug_drum_trigger& drums = *rig.trigger;
  EXPECT_EQ(drums.DrumIndexOf(36), 35);
  EXPECT_EQ(drums.DrumIndexOf(40), 38);
  EXPECT_EQ(drums.DrumIndexOf(41), 45);
  EXPECT_EQ(drums.DrumIndexOf(44), 42);
  EXPECT_EQ(drums.DrumIndexOf(46), 42);
  EXPECT_EQ(drums.DrumIndexOf(57), 49);
  EXPECT_EQ(drums.DrumIndexOf(62), 0);  // "User1 Note #"
  EXPECT_EQ(drums.DrumIndexOf(37), 3);  // "User4 Note #" comes before the standard map
  EXPECT_EQ(drums.DrumIndexOf(58), -1);
  EXPECT_EQ(drums.DrumIndexOf(127), -1);
}

TEST(DrumTrigger, ASnareOnlyPatchPlaysNotes38And40AndIgnoresTheKick) {
  DrumRig rig({"Snare Trig"});
  rig.Note(10, 36, 100);  // kick: not connected
  rig.Note(300, 40, 127);
  const std::vector<float> kick = rig.Render(1024, 5);
  EXPECT_EQ(*std::max_element(kick.begin(), kick.end()), 0.0f);

  DrumRig again({"Snare Trig"});
  again.Note(100, 38, 100);
  const std::vector<float> snare = again.Render(256, 7);
  EXPECT_EQ(snare[102], 0.0f);
  EXPECT_EQ(snare[103], 1.0f);  // high three samples after the hit
}

TEST(DrumTrigger, EachHitSetsItsDrumsVelocityOutputToTheVelocityOver127) {
  DrumRig rig({"Snare Trig", "Kick Trig"});
  rig.Note(100, 38, 64);
  rig.Note(1100, 38, 127);
  rig.Note(1500, 36, 1);
  const std::vector<float> snare = rig.Render(1024, 8);
  EXPECT_EQ(snare[99], 0.0f);
  EXPECT_NEAR(snare[1023], 64.0f / 127.0f, 1e-6);
  const std::vector<float> later = rig.Render(1024, 8);
  EXPECT_NEAR(later[1023], 1.0f, 1e-6);
  EXPECT_NEAR(rig.trigger->plug(6)->Data()[kCell - 1], 1.0f / 127.0f, 1e-7);  // the kick's
}

TEST(DrumTrigger, AnEarlyNoteOffEndsTheGateAtTwentyMillisecondsAndAReHitOvertakesIt) {
  DrumRig rig({"Snare Trig"});
  rig.Note(100, 38, 100);
  rig.Note(100 + 220, 38, 0);  // off 5 ms after the hit
  std::vector<float> gate = rig.Render(2048, 7);
  EXPECT_EQ(gate[100 + kMinimumGate - 1], 1.0f);
  EXPECT_EQ(gate[100 + kMinimumGate], 0.0f);

  DrumRig twice({"Snare Trig"});
  twice.Note(100, 38, 100);
  twice.Note(320, 38, 0);
  twice.Note(541, 38, 100);  // 10 ms after the first
  twice.Note(1500, 38, 0);
  gate = twice.Render(3072, 7);
  EXPECT_EQ(gate[541], 0.0f);  // the new hit's edge
  EXPECT_EQ(gate[544], 1.0f);
  EXPECT_EQ(gate[100 + kMinimumGate], 1.0f);  // the first off was dropped
  EXPECT_EQ(gate[1502], 1.0f);
  EXPECT_EQ(gate[1503], 0.0f);  // the second off, three samples on
}

TEST(DrumTrigger, HiHatNotesChooseTheirDecay) {
  DrumRig rig({"Hi Hat Trig"});
  EXPECT_EQ(rig.trigger->GroupOf(kHiHat), 1);
  rig.Note(10, 42, 100);
  rig.Note(200, 44, 100);
  rig.Note(400, 46, 100);
  const std::vector<float> decay = rig.Render(512, ug_drum_trigger::kHiHatDecayOut);
  EXPECT_FLOAT_EQ(decay[100], 0.25f);  // "Close HH Decay" 2.5 V
  EXPECT_FLOAT_EQ(decay[300], 0.35f);  // "Pedal HH Decay"
  EXPECT_FLOAT_EQ(decay[500], 0.5f);   // "Open HH Decay"
}

TEST(DrumTrigger, UserNotesPlayUserDrums) {
  DrumRig rig({"User1 Trig"});
  EXPECT_EQ(rig.trigger->GroupOf(kUser1), 1);
  rig.Note(10, 62, 100);
  const std::vector<float> gate = rig.Render(128, 28);
  EXPECT_EQ(gate[13], 1.0f);
}

}  // namespace
}  // namespace ov::testing
