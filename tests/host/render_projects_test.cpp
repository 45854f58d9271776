// Baked example projects rendered through the plug-in by `orvane render`, the
// way a host plays them: MIDI becomes exact control voltages on the outputs,
// and an effect passes its audio input through untouched.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "media/wav_file.h"
#include "tests/host/plugin_test_support.h"
#include "tests/host/temp_folder.h"
#include "tools/project_commands.h"

namespace ov {
namespace {

using testing::BuildDir;
using testing::RunProgram;
using testing::TempFolder;

std::string Bake(const TempFolder& folder, const std::string& example) {
  const std::string baked = folder / (example + ".so");
  std::ostringstream out, err;
  EXPECT_EQ(RunBakeCommand({std::string(OV_EXAMPLES_DIR) + "/" + example + ".json", baked,
                            BuildDir() + "/orvane-vst.so"},
                           out, err),
            0)
      << err.str();
  return baked;
}

AudioClip Render(const std::string& library, const std::string& wav, const std::string& options) {
  std::string log;
  EXPECT_EQ(RunProgram(BuildDir() + "/orvane render " + library + " -o " + wav + " " + options,
                       &log),
            0)
      << log;
  std::string error;
  std::optional<AudioClip> clip = ReadWavFile(wav, &error);
  EXPECT_TRUE(clip.has_value()) << error;
  return clip.value_or(AudioClip{});
}

TEST(RenderProjects, MidiToCvGivesExactVoltagesAtExactSamples) {
  TempFolder folder;
  const std::string library = Bake(folder, "midi_cv_probe");
  // Key 69 at velocity 100 from 0.1 s for 0.5 s, at 48 kHz.
  const AudioClip clip = Render(library, folder / "cv.wav",
                                "--note 69:100:0.1:0.5 --seconds 1 --rate 48000 --block 512");
  ASSERT_EQ(clip.channels.size(), 3u);
  ASSERT_EQ(clip.FrameCount(), 48000u);
  const auto& pitch = clip.channels[0];
  const auto& gate = clip.channels[1];
  const auto& velocity = clip.channels[2];
  constexpr size_t kOn = 4800, kOff = 28800;
  const float level = 100.0f / 127.0f;
  for (size_t i = 0; i < clip.FrameCount(); ++i) {
    const bool sounding = i >= kOn;
    ASSERT_EQ(pitch[i], sounding ? 0.5f : 0.0f) << i;  // 5 V from the note on
    ASSERT_EQ(velocity[i], sounding ? level : 0.0f) << i;
    // The gate rises three samples after the note and falls with its end.
    ASSERT_EQ(gate[i], i >= kOn + 3 && i < kOff ? 1.0f : 0.0f) << i;
  }
}

TEST(RenderProjects, AnEffectPassesItsInputThroughUnchanged) {
  TempFolder folder;
  const std::string library = Bake(folder, "passthrough");
  AudioClip input;
  input.sample_rate = 44100;
  input.channels.resize(2);
  uint32_t noise = 1;
  for (int i = 0; i < 30000; ++i) {
    noise = noise * 1664525u + 1013904223u;
    input.channels[0].push_back(static_cast<float>(noise >> 8) / 16777216.0f - 0.5f);
    input.channels[1].push_back(static_cast<float>(i % 441) / 441.0f);
  }
  std::string error;
  ASSERT_TRUE(WriteFloatWavFile(folder / "in.wav", input, &error)) << error;

  const AudioClip output =
      Render(library, folder / "out.wav", "--in " + (folder / "in.wav") + " --block 300");
  ASSERT_EQ(output.channels.size(), 2u);
  ASSERT_GE(output.FrameCount(), input.FrameCount());
  for (int channel = 0; channel < 2; ++channel) {
    for (size_t i = 0; i < input.FrameCount(); ++i) {
      ASSERT_EQ(output.channels[channel][i], input.channels[channel][i]) << channel << ":" << i;
    }
  }
}

}  // namespace
}  // namespace ov
