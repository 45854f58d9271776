// The host boundary as a busy host drives it from three threads at once: the
// user-interface thread resumes, suspends, loads chunks and changes
// programs; the audio thread processes with MIDI and asks what hosts ask
// there; a third thread automates. Run under ThreadSanitizer, any share
// without its guard shows.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <random>
#include <thread>
#include <vector>

#include "host/ov_vst.h"
#include "host/vendor_queries.h"
#include "tests/host/compiled_project.h"

namespace ov::testing {
namespace {

// The host callback of these tests: safe on every thread. While `pause` is
// set, the user-interface thread's want-MIDI call during a resume (made
// with the editor side held) waits until `pause` is fulfilled.
struct ThreadSafeHost {
  static intptr_t Callback(vst2::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == vst2::audioMasterVersion) return 2400;
    if (opcode != vst2::audioMasterWantMidi) return 0;
    if (std::promise<void>* waiting = pause.exchange(nullptr)) {
      inside_resume.set_value();
      // Longer than any lock-free call takes, even under a sanitiser.
      resumed_in_time = waiting->get_future().wait_for(std::chrono::seconds(20)) ==
                        std::future_status::ready;
    }
    return 1;
  }
  static inline std::atomic<std::promise<void>*> pause{nullptr};
  static inline std::promise<void> inside_resume;
  static inline bool resumed_in_time = false;
};

// The echo example with its delay time (a float) and oscillator wave (an
// item) kept per patch beside its shaper's formula (a text).
Json BoundaryProject() {
  std::ifstream in(std::string(OV_EXAMPLES_DIR) + "/pd-echo.json");
  Json project = Json::parse(in);
  for (Json& module : project["root"]["modules"][0]["modules"]) {
    if (module["name"] == "delay") module["patch_values"] = {{"Delay Time (secs)", {0.25}}};
    if (module["name"] == "osc") module["patch_values"] = {{"Wave1", {0}}};
  }
  return project;
}

// One 64-frame block with a note-on, as the audio thread processes it.
void ProcessANote(vst2::AEffect& effect) {
  vst2::VstMidiEvent note{};
  note.type = vst2::kVstMidiType;
  note.byteSize = sizeof note;
  note.midiData[0] = static_cast<char>(0x90);
  note.midiData[1] = 60;
  note.midiData[2] = 100;
  vst2::VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<vst2::VstEvent*>(&note);
  float left[64], right[64];
  float* outputs[] = {left, right};
  effect.dispatcher(&effect, vst2::effProcessEvents, 0, 0, &events, 0);
  effect.processReplacing(&effect, nullptr, outputs, 64);
}

// What hosts ask from their audio thread, none of which may wait for the
// editor side.
void AskAsTheAudioThreadDoes(vst2::AEffect& effect) {
  char receive[] = "receiveVstMidiEvent";
  int32_t voices = 0;
  effect.dispatcher(&effect, vst2::effCanDo, 0, 0, receive, 0);
  effect.dispatcher(&effect, vst2::effGetTailSize, 0, 0, nullptr, 0);
  effect.dispatcher(&effect, vst2::effStartProcess, 0, 0, nullptr, 0);
  effect.dispatcher(&effect, vst2::effVendorSpecific, kOrvaneQuery, kQuerySoundingVoices, &voices,
                    0);
  effect.dispatcher(&effect, vst2::effStopProcess, 0, 0, nullptr, 0);
}

TEST(HostBoundary, ThreeThreadsDriveThePluginAtOnce) {
  CompiledProject project(BoundaryProject());
  OvVst plugin(&ThreadSafeHost::Callback, project);
  ASSERT_FALSE(plugin.LoadFailed());
  vst2::AEffect& effect = *plugin.getAeffect();
  ASSERT_EQ(effect.numParams, 3);
  effect.dispatcher(&effect, vst2::effSetSampleRate, 0, 0, nullptr, 48000);
  effect.dispatcher(&effect, vst2::effSetBlockSize, 0, 64, nullptr, 0);
  void* data = nullptr;
  const auto size = effect.dispatcher(&effect, vst2::effGetChunk, 0, 0, &data, 0);
  std::vector<uint8_t> bank(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);

  std::atomic<bool> stop{false};
  std::atomic<int> out_of_range{0};
  std::thread audio([&] {
    while (!stop.load()) {
      ProcessANote(effect);
      AskAsTheAudioThreadDoes(effect);
      effect.setParameter(&effect, 0, 0.25f);
    }
  });
  std::thread automation([&] {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    while (!stop.load()) {
      for (int32_t p = 0; p < effect.numParams; ++p) {
        effect.setParameter(&effect, p, value(random));
        const float read = effect.getParameter(&effect, p);
        if (!(read >= 0.0f && read <= 1.0f)) out_of_range.fetch_add(1);
      }
    }
  });
  for (int i = 0; i < 40; ++i) {
    effect.dispatcher(&effect, vst2::effMainsChanged, 0, 1, nullptr, 0);
    effect.dispatcher(&effect, vst2::effSetChunk, 0, static_cast<intptr_t>(bank.size()),
                      bank.data(), 0);
    effect.dispatcher(&effect, vst2::effSetProgram, 0, i % 16, nullptr, 0);
    effect.dispatcher(&effect, vst2::effIdle, 0, 0, nullptr, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (i % 3 == 0) effect.dispatcher(&effect, vst2::effMainsChanged, 0, 0, nullptr, 0);
  }
  stop.store(true);
  audio.join();
  automation.join();
  EXPECT_EQ(out_of_range.load(), 0);
  // Still whole: it plays after all that.
  effect.dispatcher(&effect, vst2::effMainsChanged, 0, 1, nullptr, 0);
  EXPECT_NE(plugin.App().Engine(), nullptr);
}

TEST(HostBoundary, TheAudioThreadNeverWaitsForTheEditorSide) {
  CompiledProject project(BoundaryProject());
  OvVst plugin(&ThreadSafeHost::Callback, project);
  vst2::AEffect& effect = *plugin.getAeffect();
  const float before = effect.getParameter(&effect, 0);

  // The user-interface thread resumes, and is held inside the resume with
  // the editor side taken; meanwhile the audio thread sets and asks.
  std::promise<void> release;
  ThreadSafeHost::inside_resume = {};
  ThreadSafeHost::pause.store(&release);
  std::thread audio([&] {
    ThreadSafeHost::inside_resume.get_future().wait();
    ProcessANote(effect);
    AskAsTheAudioThreadDoes(effect);
    effect.setParameter(&effect, 0, 0.75f);
    // The host reads what it set at once.
    EXPECT_EQ(effect.getParameter(&effect, 0), 0.75f);
    release.set_value();
  });
  effect.dispatcher(&effect, vst2::effMainsChanged, 0, 1, nullptr, 0);
  audio.join();
  EXPECT_TRUE(ThreadSafeHost::resumed_in_time) << "the audio thread waited for the editor side";
  // The set waited for the editor thread and then reached the parameter.
  EXPECT_NE(before, 0.75f);
  ASSERT_NE(plugin.App().Engine(), nullptr);
  EXPECT_NEAR(effect.getParameter(&effect, 0), 0.75f, 1e-6f);
}

}  // namespace
}  // namespace ov::testing
