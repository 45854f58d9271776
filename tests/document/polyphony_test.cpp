// Polyphony built from documents: what is copied per voice, how voices meet
// shared generators, voice monitors suspending released voices, and the
// limits on note sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "document/graph_build.h"
#include "document/project_text.h"
#include "engine/audio_master.h"
#include "engine/ug_notesource.h"
#include "engine/voice_list.h"
#include "engine/voice_monitor.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/engine_test_support.h"

namespace ov::testing {
namespace {

bool PerVoice(const ug_base* generator) { return (generator->Flags() & UGF_PER_VOICE) != 0; }

struct Built {
  explicit Built(TestProject& project) {
    master.SetEngineBlockSize(64);
    build.Build(*project.document.root());
  }
  ~Built() { master.Stop(); }
  ug_base* Of(const CUG& module) const { return build.GeneratorOf(module); }
  ug_container* Voices(const CUG& container) const {
    return dynamic_cast<ug_container*>(build.GeneratorOf(container));
  }

  test::FakeEngineHost host;
  OvAudioMaster master{host};
  GraphBuild build{master};
};

// MIDI-to-CV gate -> inverter (per voice) -> "Voice Combiner" -> inverter
// (shared), with `voices` voices.
struct CombinedVoices {
  explicit CombinedVoices(const char* voices) {
    project.main->FindPlug("Polyphony")->SetValueText(voices);
    cv = Add(*project.main, "Midi to CV");
    voice = Add(*project.main, "Inverter");
    combiner = Add(*project.main, "Voice Combiner");
    shared = Add(*project.main, "Inverter");
    project.main->Connect(Plug(*cv, "Gate"), Plug(*voice, "Signal in"));
    project.main->Connect(Plug(*voice, "Signal Out"), Plug(*combiner, "Signals In"));
    project.main->Connect(Plug(*combiner, "Signal Out"), Plug(*shared, "Signal in"));
  }
  TestProject project;
  CUG* cv;
  CUG* voice;
  CUG* combiner;
  CUG* shared;
};

TEST(Polyphony, WhatDiffersPerVoiceIsCopiedIntoEveryVoice) {
  CombinedVoices project("4");
  Built built(project.project);
  ug_container& voices = *built.Voices(*project.project.main);
  ASSERT_EQ(voices.VoiceCount(), 4);
  EXPECT_TRUE(PerVoice(built.Of(*project.cv)));
  EXPECT_TRUE(PerVoice(built.Of(*project.voice)));
  EXPECT_FALSE(PerVoice(built.Of(*project.combiner)));
  EXPECT_FALSE(PerVoice(built.Of(*project.shared)));

  // Every voice plays through its own copies into the one combiner.
  const UPlug& summed = *built.Of(*project.combiner)->plug(1);
  EXPECT_EQ(summed.Connectors().size(), 4u);
  for (int32_t v = 0; v < 4; ++v) {
    const Voice& each = voices.voice(v);
    ASSERT_NE(each.note_source, nullptr) << v;
    EXPECT_EQ(each.note_source->VoiceIndex(), v);
    EXPECT_EQ(each.note_source->IsModel(), v == 0);
    const auto monitors =
        std::count_if(each.generators.begin(), each.generators.end(),
                      [](ug_base* g) { return dynamic_cast<ug_voice_monitor*>(g); });
    EXPECT_EQ(monitors, 1) << v;
    // What every voice shares belongs to none of them.
    for (const ug_base* generator : each.generators) {
      EXPECT_EQ(generator->VoiceGroup(), PerVoice(generator) ? v : -1);
    }
  }
  EXPECT_EQ(built.Of(*project.shared)->VoiceGroup(), -1);
  // Copies of the note source run right after it, before what they feed.
  const int32_t model_order = voices.voice(0).note_source->SortOrder();
  for (int32_t v = 1; v < 4; ++v) {
    EXPECT_EQ(voices.voice(v).note_source->SortOrder(), model_order - 1);
  }
  EXPECT_LT(built.Of(*project.voice)->SortOrder(), model_order - 1);
  EXPECT_LT(built.Of(*project.combiner)->SortOrder(), built.Of(*project.voice)->SortOrder());
  EXPECT_LT(built.Of(*project.shared)->SortOrder(), built.Of(*project.combiner)->SortOrder());
}

TEST(Polyphony, VoicesMeetingASharedInputAreSummedByAnAdder) {
  // The plug-in's output module stops marking: the voices meet at its input.
  COrvaneDocBase document = CompileDocument(Json::parse(R"({"root": {"modules": [
      {"type": "Container", "name": "synth", "io": [{"name": "Level", "direction": "out"}],
       "plug_values": {"Polyphony": 3},
       "modules": [{"type": "Midi to CV", "name": "cv"}],
       "connections": ["cv.Velocity -> io.Level"]},
      {"type": "VST Output", "name": "out"}],
    "connections": ["synth.Level -> out.Audio"]}})"),
                                            {});
  test::FakeEngineHost host;
  OvAudioMaster master(host);
  master.SetEngineBlockSize(64);
  GraphBuild build(master);
  build.Build(*document.root());
  const CUG* output = nullptr;
  for (const auto& child : document.root()->children()) {
    const auto* module = dynamic_cast<const CUG*>(child.get());
    if (module != nullptr && module->type_key() == "VST Output") output = module;
  }
  ASSERT_NE(output, nullptr);
  const UPlug& host_channel = *build.GeneratorOf(*output)->plug(1);
  ASSERT_EQ(host_channel.Connectors().size(), 1u);
  const ug_base& adder = host_channel.Connectors().front()->Source()->Owner();
  EXPECT_EQ(adder.plug(1)->Connectors().size(), 3u);  // one per voice
  EXPECT_FALSE(PerVoice(&adder));
}

TEST(Polyphony, AReleasedVoiceIsSuspendedOnceSilentAndNotBefore) {
  CombinedVoices project("2");
  Built built(project.project);
  std::unique_ptr<ug_container> root = built.build.TakeRoot();
  built.master.Start(root.get());
  ug_container& voices = *built.Voices(*project.project.main);
  ug_base& cv = *built.Of(*project.cv);
  cv.QueueEvent(10, UET_MIDI, 0x643C90, cv.plug(0), 0, true);
  cv.QueueEvent(200, UET_MIDI, 0x3C80, cv.plug(0), 0, true);
  built.master.Process(192);
  EXPECT_FALSE(voices.voice(0).suspended);
  EXPECT_TRUE(voices.voice(1).suspended);  // never played: free, and costs nothing
  built.master.Process(64);                // to 256: less than a block since the gate fell
  EXPECT_FALSE(voices.voice(0).suspended);
  built.master.Process(128);
  EXPECT_TRUE(voices.voice(0).suspended);
  // The model note source stays awake to take the next note, which resumes
  // the highest of the equally free voices.
  cv.QueueEvent(400, UET_MIDI, 0x643E90, cv.plug(0), 0, true);
  built.master.Process(64);
  EXPECT_FALSE(voices.voice(1).suspended);
  EXPECT_TRUE(voices.voice(1).held);
  EXPECT_TRUE(voices.voice(0).suspended);
  built.master.Stop();
}

TEST(Polyphony, MarkingWalksAChainOfTenThousandWithoutRecursion) {
  TestProject project;
  project.main->FindPlug("Polyphony")->SetValueText("1");
  CUG* previous = Add(*project.main, "Midi to CV");
  const char* out = "Gate";
  for (int i = 0; i < 10000; ++i) {
    CUG* next = Add(*project.main, "Inverter");
    project.main->Connect(Plug(*previous, out), Plug(*next, "Signal in"));
    previous = next;
    out = "Signal Out";
  }
  Built built(project);
  EXPECT_TRUE(PerVoice(built.Of(*previous)));
}

TEST(Polyphony, TwoNoteSourcesInOneContainerAreRefused) {
  TestProject project;
  Add(*project.main, "Midi to CV");
  Add(*project.main, "Midi to CV");
  test::FakeEngineHost host;
  OvAudioMaster master(host);
  GraphBuild build(master);
  EXPECT_THROW(build.Build(*project.document.root()), VoiceConflict);
}

}  // namespace
}  // namespace ov::testing
