// "Feedback Delay": the loop it closes builds, samples and stream states
// cross one engine block later whatever the run order, the delay-time
// output, and the halves' partners in every voice.
#include "modules/feedback_delay.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "document/graph_build.h"
#include "engine/audio_master.h"
#include "engine/voice_list.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/engine_test_support.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

using ov::testing::Add;
using ov::testing::Plug;
using ov::testing::TestProject;

struct DelayRig : ModuleRig {
  // `input_order`: where the graph would run the input half, before or
  // after the reader of "Audio Out"; it runs after every other generator
  // whatever it is given.
  explicit DelayRig(int32_t input_order) {
    input = &Add(std::make_unique<ug_feedback_delay>(), input_order);
    output = &Add(std::make_unique<ug_feedback_delay_out>(), 40);
    input->SetPartner(output);
    reader = &Add(std::make_unique<Follower>(), 20);
    top.connect(output->plug(ug_feedback_delay_out::kAudioOut), reader->plug(0));
    probe = &Add(std::make_unique<Probe>(DT_FSAMPLE, 1), 20);
    top.connect(output->plug(ug_feedback_delay_out::kAudioOut), probe->plug(0));
  }
  ug_feedback_delay* input;
  ug_feedback_delay_out* output;
  Follower* reader;
  Probe* probe;
};

TEST(FeedbackDelay, SamplesAndStatesArriveOneEngineBlockLater) {
  for (const int32_t input_order : {5, 30, 90}) {
    DelayRig rig(input_order);
    // An impulse at 300, its input running from 200 and static from 700.
    rig.DriveInput(
        *rig.input->plug(ug_feedback_delay::kAudioIn), [](int64_t n) { return n == 300 ? 1.0f : 0.0f; },
        ST_STOP, {{200u, ST_RUN}, {700u, ST_STATIC}});
    rig.Start();
    const std::vector<float> out = rig.Record(*rig.reader->plug(1), 1400);
    for (int64_t n = 0; n < 1400; ++n) {
      ASSERT_EQ(out[n], n == 300 + ModuleRig::kCell ? 1.0f : 0.0f) << n << " " << input_order;
    }
    // The states after the run starts: run at 200 + 128, static at 700 + 128.
    std::vector<std::pair<uint32_t, int32_t>> states;
    for (const Probe::Change& change : rig.probe->changes) {
      if (change.clock > 128) states.emplace_back(change.clock, change.state);
    }
    EXPECT_EQ(states, (std::vector<std::pair<uint32_t, int32_t>>{{328u, ST_RUN}, {828u, ST_STATIC}}))
        << input_order;
    EXPECT_TRUE(rig.input->IsSleeping());
  }
}

TEST(FeedbackDelay, DelayTimeOutReadsTheBlockInMilliseconds) {
  DelayRig rig(5);
  rig.Start();
  const std::vector<float> out =
      rig.Record(*rig.output->plug(ug_feedback_delay_out::kDelayTimeOut), 256);
  EXPECT_NEAR(out[0], 0.2902, 1e-4);  // 128 samples at 44.1 kHz: 2.902 ms, read as volts
  EXPECT_EQ(out[255], out[0]);
  EXPECT_FLOAT_EQ(ug_feedback_delay_out::DelayTimeValue(64, 48000.0f), 64 / 480.0f);
}

TEST(FeedbackDelay, AHalfWithoutPartnerDoesNothing) {
  ModuleRig rig;
  auto& input = rig.Add(std::make_unique<ug_feedback_delay>());
  rig.DriveInput(*input.plug(ug_feedback_delay::kAudioIn), [](int64_t) { return 0.5f; });
  rig.Start();
  rig.Step();
  rig.Step();
  EXPECT_EQ(input.Partner(), nullptr);
}

TEST(FeedbackDelay, ALoopThroughItBuildsAndItsOutputsStartAtTheOutputHalf) {
  TestProject project;
  CUG* vca = Add(*project.main, "VCA");
  CUG* delay = Add(*project.main, "Feedback Delay");
  CUG* reader = Add(*project.main, "VCA");
  project.main->Connect(Plug(*vca, "Output"), Plug(*delay, "Audio In"));
  project.main->Connect(Plug(*delay, "Audio Out"), Plug(*vca, "Signal"));
  project.main->Connect(Plug(*delay, "Delay Time Out"), Plug(*reader, "Volume"));
  FakeEngineHost host;
  OvAudioMaster master{host};
  GraphBuild build{master};
  ASSERT_NO_THROW(build.Build(*project.document.root()));
  auto* input = dynamic_cast<ug_feedback_delay*>(build.GeneratorOf(*delay));
  ASSERT_NE(input, nullptr);
  ug_feedback_delay_out* output = input->Partner();
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(output->Partner(), input);
  EXPECT_EQ(build.ModuleOf(*output), delay);
  const UPlug& signal = *build.GeneratorOf(*vca)->plug(0);
  ASSERT_EQ(signal.Connectors().size(), 1u);
  EXPECT_EQ(&signal.Connectors().front()->Source()->Owner(), output);
  const UPlug& volume = *build.GeneratorOf(*reader)->plug(1);
  ASSERT_EQ(volume.Connectors().size(), 1u);
  EXPECT_EQ(volume.Connectors().front()->Source(),
            output->plug(ug_feedback_delay_out::kDelayTimeOut));
  master.Stop();
}

TEST(FeedbackDelay, EachVoiceHasItsOwnPairOfPartners) {
  // Gate -> delay -> inverter (per voice) -> voice combiner.
  TestProject project;
  project.main->FindPlug("Polyphony")->SetValueText("4");
  CUG* cv = Add(*project.main, "Midi to CV");
  CUG* delay = Add(*project.main, "Feedback Delay");
  CUG* voice = Add(*project.main, "Inverter");
  CUG* combiner = Add(*project.main, "Voice Combiner");
  project.main->Connect(Plug(*cv, "Gate"), Plug(*delay, "Audio In"));
  project.main->Connect(Plug(*delay, "Audio Out"), Plug(*voice, "Signal in"));
  project.main->Connect(Plug(*voice, "Signal Out"), Plug(*combiner, "Signals In"));
  FakeEngineHost host;
  OvAudioMaster master{host};
  master.SetEngineBlockSize(64);
  GraphBuild build{master};
  build.Build(*project.document.root());
  auto& voices = dynamic_cast<ug_container&>(*build.GeneratorOf(*project.main));
  ASSERT_EQ(voices.VoiceCount(), 4);
  for (int32_t v = 0; v < 4; ++v) {
    int inputs = 0;
    for (ug_base* generator : voices.voice(v).generators) {
      auto* input = dynamic_cast<ug_feedback_delay*>(generator);
      if (input == nullptr) continue;
      ++inputs;
      EXPECT_NE(input->Flags() & UGF_PER_VOICE, 0u);
      ASSERT_NE(input->Partner(), nullptr) << v;
      EXPECT_EQ(input->Partner()->Partner(), input) << v;
      EXPECT_EQ(input->Partner()->VoiceGroup(), v);
      EXPECT_NE(input->Partner()->Flags() & UGF_PER_VOICE, 0u);
    }
    EXPECT_EQ(inputs, 1) << v;
  }
  master.Stop();
}

}  // namespace
}  // namespace ov::test
