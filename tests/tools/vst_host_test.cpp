// The host against plug-ins we did not write (Debian's DPF builds), a probe
// plug-in that reports what the host did, and libraries that are not plug-ins.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "media/midi_file.h"
#include "tests/media/media_test_support.h"
#include "tools/commands.h"
#include "tools/plugin_info.h"
#include "tools/render.h"
#include "tools/vst_plugin.h"

namespace ov {
namespace {

constexpr const char* kKars = "/usr/lib/vst/Kars-vst.so";
constexpr const char* kFreeverb = "/usr/lib/vst/MaFreeverb-vst.so";
constexpr const char* kAlsaSample = "/usr/share/sounds/alsa/Front_Center.wav";

double Rms(const std::vector<float>& samples, std::size_t begin, std::size_t end) {
  double energy = 0;
  for (std::size_t i = begin; i < end; ++i) energy += double{samples[i]} * samples[i];
  return std::sqrt(energy / static_cast<double>(end - begin));
}

std::string LoadError(const std::string& path) {
  std::ostringstream log;
  std::string error;
  EXPECT_EQ(VstPlugin::Load(path, log, &error), nullptr);
  return error;
}

RenderResult RenderOrFail(const RenderSettings& settings) {
  std::ostringstream log;
  std::string error;
  std::optional<RenderResult> result = Render(settings, log, false, &error);
  EXPECT_TRUE(result) << error;
  return result.value_or(RenderResult{});
}

TEST(VstHost, LibrariesThatAreNotPluginsFailClearly) {
  const std::string text_file = testing::WriteTempFile(".so", {'n', 'o', 't', ' ', 'E', 'L', 'F'});
  const std::string not_library = LoadError(text_file);
  EXPECT_EQ(not_library.rfind("cannot load " + text_file, 0), 0u) << not_library;

  EXPECT_NE(LoadError(OV_NO_ENTRY_LIBRARY).find("no VSTPluginMain or main entry point"),
            std::string::npos);
  EXPECT_NE(LoadError(OV_BAD_MAGIC_PLUGIN).find("without the VST 2 magic number"),
            std::string::npos);
  // Our own plug-in library gives no plug-in without a project beside it.
  const std::string own = std::string(std::getenv("OV_BUILD_DIR")) + "/orvane-vst.so";
  EXPECT_EQ(LoadError(own), own + ": the entry point returned no plug-in");
}

// A library named without a folder is the file in the current folder, never
// one the loader would find on its own search path.
TEST(VstHost, BareLibraryNameMeansTheCurrentFolder) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(::testing::TempDir()) / "ov-bare-name";
  fs::create_directories(folder);
  fs::copy_file(OV_PROBE_PLUGIN, folder / "BareProbe.so", fs::copy_options::overwrite_existing);
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  std::ostringstream log;
  std::string error;
  const bool probe_loaded = VstPlugin::Load("BareProbe.so", log, &error) != nullptr;
  const std::string system_library = LoadError("libz.so.1");
  fs::current_path(before);
  fs::remove_all(folder);
  EXPECT_TRUE(probe_loaded) << error;
  EXPECT_EQ(system_library.rfind("cannot load libz.so.1: ", 0), 0u) << system_library;
  EXPECT_NE(system_library.find("No such file"), std::string::npos) << system_library;
}

TEST(VstHost, InfoDescribesKars) {
  std::ostringstream log;
  std::string error;
  const std::unique_ptr<VstPlugin> kars = VstPlugin::Load(kKars, log, &error);
  ASSERT_NE(kars, nullptr) << error;
  std::ostringstream out;
  DescribePlugin(*kars, out);
  const std::string info = out.str();
  EXPECT_NE(info.find("Name: Kars\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Flags: CanReplacing IsSynth\n"), std::string::npos) << info;
  EXPECT_NE(info.find("receiveVstMidiEvent: yes\n"), std::string::npos) << info;
  EXPECT_NE(info.find("sendVstMidiEvent: "), std::string::npos) << info;
  EXPECT_NE(info.find("sendVstTimeInfo: "), std::string::npos) << info;
  EXPECT_NE(info.find("  0: Sustain = "), std::string::npos) << info;
}

TEST(VstHost, KarsSoundsOnlyFromItsNote) {
  RenderSettings settings;
  settings.plugin_path = kKars;
  settings.notes.push_back({60, 100, 0.5, 0.5});
  settings.seconds = 1.25;
  const RenderResult result = RenderOrFail(settings);
  ASSERT_EQ(result.audio.channels.size(), 1u);
  const std::vector<float>& out = result.audio.channels[0];
  ASSERT_EQ(out.size(), 60000u);
  EXPECT_EQ(Rms(out, 0, 24000), 0.0) << "sound before the note";
  EXPECT_GT(Rms(out, 24000, 48000), 0.01) << "silence during the note";
  // The attack starts at the note's frame, not at its block's start.
  EXPECT_EQ(Rms(out, 23000, 24000), 0.0);
  EXPECT_GT(Rms(out, 24000, 24256), 0.0);
}

TEST(VstHost, FreeverbProcessesAWavFile) {
  RenderSettings settings;
  settings.plugin_path = kFreeverb;
  settings.input_path = kAlsaSample;
  const RenderResult result = RenderOrFail(settings);
  ASSERT_EQ(result.audio.channels.size(), 1u);
  EXPECT_EQ(result.audio.FrameCount(), 68545u + 96000u);  // the input and a 2 s tail
  EXPECT_GT(Rms(result.audio.channels[0], 0, result.audio.FrameCount()), 0.001);
}

TEST(VstHost, ProbeSeesInputsPositionsAndMidiAtTheirFrames) {
  AudioClip input;
  input.sample_rate = 44100;
  input.channels = {{0.25f, -0.5f, 0.75f}, {9, 9, 9}};  // the second channel has no input
  const std::string input_path = testing::TempPath("in.wav");
  std::string error;
  ASSERT_TRUE(WriteFloatWavFile(input_path, input, &error)) << error;

  RenderCommandLine command;
  RenderSettings& settings = command.settings;
  settings.plugin_path = OV_PROBE_PLUGIN;
  settings.input_path = input_path;
  settings.block_size = 100;
  settings.notes = {{60, 100, 0.001, 0.01}, {62, 90, 0.0, 0.001}};
  settings.seconds = 0.02;  // 960 frames at 48 kHz: the last block is short
  command.output_path = testing::TempPath("out.wav");
  command.midi_output_path = testing::TempPath("out.mid");
  std::ostringstream out, err;
  ASSERT_EQ(RunRenderCommand(command, out, err, false), 0) << err.str();
  EXPECT_NE(err.str().find("44100 Hz"), std::string::npos) << "no warning about the rate";
  EXPECT_NE(err.str().find("has 2 channels and the plug-in takes 1"), std::string::npos)
      << err.str();

  const std::optional<AudioClip> rendered = ReadWavFile(command.output_path, &error);
  ASSERT_TRUE(rendered) << error;
  ASSERT_EQ(rendered->channels.size(), 2u);
  ASSERT_EQ(rendered->FrameCount(), 960u);
  EXPECT_EQ(std::vector<float>(rendered->channels[0].begin(), rendered->channels[0].begin() + 4),
            (std::vector<float>{0.25f, -0.5f, 0.75f, 0.0f}));
  for (std::size_t frame = 0; frame < 960; ++frame) {
    ASSERT_EQ(rendered->channels[1][frame], static_cast<float>(frame)) << "frame " << frame;
  }

  // Sent back at the same frames: 62 on at 0 and off at 48, 60 on at 48 and off at 528.
  const std::optional<MidiSong> echoed = ReadMidiFile(command.midi_output_path, &error);
  ASSERT_TRUE(echoed) << error;
  ASSERT_EQ(echoed->events.size(), 4u);
  const double expected_seconds[] = {0.0, 0.001, 0.001, 0.011};
  const uint8_t expected_status[] = {0x90, 0x80, 0x90, 0x80};
  const uint8_t expected_key[] = {62, 62, 60, 60};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(echoed->events[i].seconds, expected_seconds[i], 0.0005) << "event " << i;
    EXPECT_EQ(echoed->events[i].bytes[0], expected_status[i]) << "event " << i;
    EXPECT_EQ(echoed->events[i].bytes[1], expected_key[i]) << "event " << i;
  }
}

}  // namespace
}  // namespace ov
