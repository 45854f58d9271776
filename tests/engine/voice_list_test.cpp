// Voice allocation: which voice a note takes, stealing, retriggering the
// same key, release, the sustain pedal and suspension.
#include "engine/voice_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/ug_container.h"
#include "engine/ug_notesource.h"
#include "tests/engine/engine_test_support.h"

namespace ov::test {
namespace {

// Records the voice events it is sent, in queue order.
class RecordingSource : public ug_notesource {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<RecordingSource>();
  }
  std::vector<int32_t> Kinds() const {
    std::vector<int32_t> kinds;
    for (const ug_event* e = FirstEvent(); e != nullptr; e = e->next) kinds.push_back(e->kind);
    return kinds;
  }
};

class Voices : public ug_container {
 public:
  using VoiceList::AppendVoice;
};

// `count` voices, each with a note source of its own.
struct VoiceRig {
  explicit VoiceRig(int32_t count) {
    master.SetEngineBlockSize(64);
    voices.SetMaster(&master);
    sources.push_back(&static_cast<RecordingSource&>(
        voices.AddChild(std::make_unique<RecordingSource>())));
    for (int32_t v = 1; v < count; ++v) {
      auto& source = *owned.emplace_back(std::make_unique<RecordingSource>());
      source.SetMaster(&master);
      source.SetVoice(v);
      voices.AppendVoice().note_source = &source;
      sources.push_back(&source);
    }
  }
  int32_t On(uint32_t time, int16_t key) { return voices.AllocateVoice(time, 0, key, 100, -1); }
  int32_t HolderOf(int16_t key) {
    for (int32_t v = 0; v < voices.VoiceCount(); ++v) {
      if (voices.voice(v).held && voices.voice(v).key == key) return v;
    }
    return -1;
  }

  FakeEngineHost host;
  OvAudioMaster master{host};
  Voices voices;
  std::vector<std::unique_ptr<RecordingSource>> owned;
  std::vector<RecordingSource*> sources;
};

TEST(VoiceAllocation, AFullListStealsTheOldestNote) {
  VoiceRig rig(2);
  EXPECT_EQ(rig.On(10, 60), 0);
  EXPECT_EQ(rig.On(20, 62), 1);
  EXPECT_EQ(rig.On(30, 64), 0);  // the voice that held 60
  EXPECT_EQ(rig.HolderOf(60), -1);
  EXPECT_EQ(rig.HolderOf(64), 0);
  EXPECT_EQ(rig.sources[0]->Kinds(), (std::vector<int32_t>{UET_NOTE_ON, UET_NOTE_ON}));
}

TEST(VoiceAllocation, TheVoiceReleasedLongestAgoIsTakenFirst) {
  // A voice never released counts as released at time 0, so it is chosen
  // before any voice released since.
  VoiceRig rig(3);
  rig.On(10, 60);
  rig.voices.Release(20, 0, 60, 0);
  EXPECT_EQ(rig.On(30, 62), 2);  // never used: released "at 0"
  EXPECT_EQ(rig.On(40, 64), 1);
  rig.voices.Release(50, 0, 64, 0);
  EXPECT_EQ(rig.On(60, 65), 0);  // released at 20, before voice 1 at 50
  EXPECT_EQ(rig.On(70, 67), 1);
  EXPECT_EQ(rig.On(80, 69), 2);  // all held: the oldest note (62 at 30)
}

TEST(VoiceAllocation, TheSameKeyAgainRetriggersItsVoiceAndTakesAnother) {
  VoiceRig rig(2);
  rig.On(10, 60);
  EXPECT_EQ(rig.On(20, 60), 1);
  EXPECT_TRUE(rig.voices.voice(0).retriggered);
  EXPECT_EQ(rig.sources[0]->Kinds(), (std::vector<int32_t>{UET_NOTE_ON, UET_NOTE_RETRIGGER}));
  EXPECT_EQ(rig.voices.voice(0).release_time, 20u);
  // Released: the retriggered voice, having the older release, goes first.
  EXPECT_EQ(rig.On(30, 62), 0);
}

TEST(VoiceAllocation, ReleaseAllAndTheSustainPedal) {
  VoiceRig rig(3);
  rig.On(10, 60);
  rig.On(20, 62);
  rig.voices.Sustain(30, 0, 60);
  rig.voices.Release(30, 0, 60, 0);  // held by the pedal: nothing
  EXPECT_TRUE(rig.voices.voice(0).held);
  EXPECT_TRUE(rig.voices.voice(0).sustained);
  rig.voices.ReleaseSustained(40, 0);
  EXPECT_FALSE(rig.voices.voice(0).held);
  EXPECT_EQ(rig.voices.voice(0).release_time, 40u);
  EXPECT_EQ(rig.HolderOf(62), 2);  // among equals the highest index wins

  rig.voices.Release(50, 0, VoiceList::kAllKeys, 0);
  for (int32_t v = 0; v < 3; ++v) EXPECT_FALSE(rig.voices.voice(v).held) << v;
  EXPECT_EQ(rig.sources[2]->Kinds(), (std::vector<int32_t>{UET_NOTE_ON, UET_NOTE_OFF}));
}

TEST(VoiceAllocation, OnlyReleasedVoicesAreSuspendedAndANoteResumesThem) {
  VoiceRig rig(2);
  rig.On(10, 60);
  rig.voices.SuspendVoice(0);
  EXPECT_FALSE(rig.voices.voice(0).suspended);  // still held
  rig.voices.Release(20, 0, 60, 0);
  rig.voices.SuspendVoice(0);
  EXPECT_TRUE(rig.voices.voice(0).suspended);
  rig.voices.SuspendVoice(7);  // out of range: ignored
  EXPECT_EQ(rig.On(30, 62), 0);  // a suspended voice is the first choice
  EXPECT_FALSE(rig.voices.voice(0).suspended);
}

TEST(VoiceAllocation, ASecondNoteSourceInOneVoiceIsRefused) {
  VoiceRig rig(1);
  try {
    rig.voices.AddChild(std::make_unique<RecordingSource>());
    FAIL() << "accepted a second note source";
  } catch (const VoiceConflict& conflict) {
    EXPECT_STREQ(conflict.what(),
                 "You have several 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' modules "
                 "together. Put each in it's own container.");
  }
}

}  // namespace
}  // namespace ov::test
