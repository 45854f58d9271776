// Shapes and patterns edited on one thread while the engine plays them on
// another: built for the thread sanitizer, which reports any read of a
// half-written or freed snapshot.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "document/envelope_shape.h"
#include "document/sequencer.h"
#include "modules/multistage_envelope.h"
#include "modules/step_sequencer.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

TEST(SnapshotThreads, EditsWhileTheEnginePlaysNeverMeetAHalfWrittenOrFreedSnapshot) {
  ModuleRig rig;
  CStepSeq2 steps;
  steps.SetTempo(300.0f);  // many ticks, so many bars and takes
  Ctl_Env_Edit shape;
  shape.ReadCurrentPatch();
  auto& sequencer = rig.Add(std::make_unique<ug_step_sequencer>());
  sequencer.AttachPatterns(steps.channel());
  auto& env = rig.Add(std::make_unique<ug_envelope_ms>());
  env.AttachShapes(shape.channel());
  rig.Stream(env, ug_envelope_ms::kGate, GateBetween(0, 1u << 30));
  rig.Start();

  std::atomic<bool> done{false};
  int64_t beats = 0;
  std::thread editor([&] {
    for (int32_t i = 0; !done.load(); ++i) {
      steps.SetStep(i % 16, {48 + i % 12, 100, i % 128, 1, (i & 1) != 0});
      // As the panel edits: through its parameters, reading the engine's
      // beat light and song position as a refresh does.
      steps.PanelParameter("StepNum")->WriteValueText(std::to_string(i % 8));
      steps.PanelParameter("Note")->WriteValueText(NoteName(36 + i % 24));
      steps.PanelParameter("StepCount")->WriteValueText(std::to_string(1 + i % 32));
      beats += sequencer.BeatLight() + sequencer.SongPosition();
      shape.SelectPoint(1);
      shape.MovePoint(1, 0.2f + 0.001f * static_cast<float>(i % 100), 0.5f);
    }
  });
  for (int32_t cell = 0; cell < 4000; ++cell) {
    // What the "envs" message does on the audio thread.
    env.ReceiveNotify(ug_envelope_ms::kNotifyNewShape, 0);
    rig.Step();
  }
  done.store(true);
  editor.join();
  EXPECT_GE(beats, 0);
  // Only what the generators hold, and the newest, stay.
  EXPECT_LE(steps.channel()->Kept(), 2u);
  EXPECT_LE(shape.channel()->Kept(), 2u);
}

}  // namespace
}  // namespace ov::test
