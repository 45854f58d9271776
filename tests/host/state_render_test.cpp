// A baked project whose filter's cutoff scale is a host parameter, driven by
// `orvane render`: the host's setting is heard, saved state files bring the
// same render back, and files of other plug-ins or damaged ones are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "media/midi_file.h"
#include "media/wav_file.h"
#include "tests/host/plugin_test_support.h"
#include "tests/host/temp_folder.h"
#include "tools/project_commands.h"

namespace ov {
namespace {

using testing::BuildDir;
using testing::RunProgram;
using testing::TempFolder;

// A saw through a Moog filter held at 1 V: "Cutoff Scale" (parameter 0)
// chooses 1 Volt/Octave (a dark, quiet output) or 1 Volt/kHz (bright). MIDI
// controller 74 moves it too, through a "MIDI Automator".
constexpr const char* kProject = R"({
  "version": 95960, "plugin_id": "OvCt", "vendor": "Orvane", "plugin_flags": 1,
  "root": {"type": "Container", "modules": [{
    "type": "Container", "name": "synth", "title": "Cutoff",
    "io": [{"name": "MIDI In", "direction": "in", "datatype": "midi"},
           {"name": "Left", "direction": "out", "datatype": "audio"}],
    "patches": {"current": 0, "names": ["Dark"]},
    "modules": [
      {"type": "MIDI Automator", "name": "automator"},
      {"type": "Oscillator", "name": "osc", "title": "Wave", "patch_values": {"Waveform": [1]}},
      {"type": "Moog Filter", "name": "filter", "title": "Cutoff Scale",
       "plug_values": {"Pitch": 1}, "patch_values": {"Freq Scale": [0]},
       "midi_controllers": {"Freq Scale": 74}}],
    "connections": ["io.MIDI In -> automator.MIDI In", "osc.Audio Out -> filter.Signal",
                    "filter.Output -> io.Left"]}]}
})";

class StateRender : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(folder_ / "cutoff.json") << kProject;
    std::ostringstream out, err;
    ASSERT_EQ(RunBakeCommand({folder_ / "cutoff.json", library_, BuildDir() + "/orvane-vst.so"},
                             out, err),
              0)
        << err.str();
  }

  // The rendered file's bytes; `log` receives what the command printed.
  std::string Render(const std::string& name, const std::string& options, int expected_status = 0,
                     std::string* log = nullptr) {
    std::string output;
    EXPECT_EQ(RunProgram(BuildDir() + "/orvane render " + library_ + " -o " + (folder_ / name) +
                             " --seconds 0.3 " + options,
                         &output),
              expected_status)
        << output;
    if (log != nullptr) *log = output;
    std::ifstream file(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  double Rms(const std::string& name) {
    std::string error;
    const std::optional<AudioClip> clip = ReadWavFile(folder_ / name, &error);
    EXPECT_TRUE(clip && clip->channels.size() == 1) << error;
    if (!clip || clip->channels.empty() || clip->channels[0].empty()) return 0;
    double sum = 0;
    for (const float sample : clip->channels[0]) sum += double{sample} * sample;
    return std::sqrt(sum / static_cast<double>(clip->channels[0].size()));
  }

  TempFolder folder_;
  const std::string library_ = folder_ / "cutoff.so";
};

TEST_F(StateRender, HostAutomationIsHeardAndStateFilesBringItBack) {
  std::string info;
  ASSERT_EQ(RunProgram(BuildDir() + "/orvane info " + library_, &info), 0);
  EXPECT_NE(info.find("0: Cutoff Scale = 1 Volt/Octave"), std::string::npos) << info;
  EXPECT_NE(info.find("0: Dark"), std::string::npos) << info;

  const std::string dark = Render("dark.wav", "--save-state " + (folder_ / "dark.fxb"));
  const std::string bright =
      Render("bright.wav", "--param 0=1 --save-state " + (folder_ / "bright.fxp"));
  // The cutoff moves by far more than 20 dB of level.
  EXPECT_GT(Rms("bright.wav"), 10 * Rms("dark.wav"));
  EXPECT_GT(Rms("dark.wav"), 0.0);

  EXPECT_EQ(Render("restored.wav", "--load-state " + (folder_ / "bright.fxp")), bright);
  // A bank restores what was saved; options given as well apply on top.
  EXPECT_EQ(Render("bank.wav", "--load-state " + (folder_ / "dark.fxb")), dark);
  EXPECT_EQ(Render("over.wav", "--load-state " + (folder_ / "dark.fxb") + " --param 0=1"), bright);
}

TEST_F(StateRender, AMidiControllerMovesTheParameterAndStateKeepsWhereItWent) {
  const MidiChannelEvent bright_cc{0.0, 0, 0, {0xB0, 74, 127}, 3};
  std::string error;
  ASSERT_TRUE(WriteMidiFile(folder_ / "cc74.mid", std::span(&bright_cc, 1), 120, &error)) << error;
  Render("dark.wav", "");
  Render("cc.wav", "--midi " + (folder_ / "cc74.mid") + " --save-state " + (folder_ / "cc.fxp"));
  EXPECT_GT(Rms("cc.wav"), 10 * Rms("dark.wav"));
  // The state saved after the render holds the value the controller set.
  const bool same = Render("restored.wav", "--load-state " + (folder_ / "cc.fxp")) ==
                    Render("bright.wav", "--param 0=1");
  EXPECT_TRUE(same) << Rms("restored.wav") << " " << Rms("bright.wav") << " " << Rms("dark.wav");
}

TEST_F(StateRender, ForeignAndDamagedFilesAreRefused) {
  Render("saved.wav", "--save-state " + (folder_ / "saved.fxp"));
  std::ifstream in(folder_ / "saved.fxp", std::ios::binary);
  const std::string saved(std::istreambuf_iterator<char>(in), {});
  ASSERT_GT(saved.size(), 60u);

  std::string foreign = saved;
  foreign.replace(16, 4, "Abcd");
  std::ofstream(folder_ / "foreign.fxp", std::ios::binary) << foreign;
  std::ofstream(folder_ / "short.fxp", std::ios::binary) << saved.substr(0, saved.size() - 1);
  std::string log;
  Render("x.wav", "--load-state " + (folder_ / "foreign.fxp"), 1, &log);
  EXPECT_NE(log.find("This file not compatible - Abcd"), std::string::npos) << log;
  Render("y.wav", "--load-state " + (folder_ / "short.fxp"), 1, &log);
  EXPECT_NE(log.find("exceeds the file"), std::string::npos) << log;
  Render("z.wav", "--load-state " + (folder_ / "missing.fxp"), 1, &log);
}

}  // namespace
}  // namespace ov
