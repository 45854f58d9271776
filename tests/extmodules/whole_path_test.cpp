// A project carrying the example library, baked into the plug-in and
// rendered by `orvane render` the way a host plays it: the library is
// written beside the baked plug-in, registered, and its gain runs between
// the host's input and output.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "media/wav_file.h"
#include "tests/extmodules/extmodules_test_support.h"
#include "tests/host/plugin_test_support.h"
#include "tests/host/temp_folder.h"
#include "tools/project_commands.h"

namespace ov::test {
namespace {

using testing::BuildDir;
using testing::RunProgram;
using testing::TempFolder;

TEST(LibraryModuleWholePath, ABakedProjectRendersItsInputTimesTheGain) {
  TempFolder folder;
  // examples/external-gain.json with the library where this build put it.
  std::ifstream example(std::string(OV_EXAMPLES_DIR) + "/external-gain.json");
  std::stringstream text;
  text << example.rdbuf();
  std::string project = text.str();
  const std::string named = "../build/example_modules.ovm";
  const std::size_t at = project.find(named);
  ASSERT_NE(at, std::string::npos);
  project.replace(at, named.size(), ExampleModules());
  std::ofstream(folder / "gain.json") << project;

  std::ostringstream out, err;
  ASSERT_EQ(RunBakeCommand({folder / "gain.json", folder / "Gain.so", BuildDir() + "/orvane-vst.so"},
                           out, err),
            0)
      << err.str();
  const std::string input = "/usr/share/sounds/alsa/Front_Center.wav";
  std::string log;
  ASSERT_EQ(RunProgram(BuildDir() + "/orvane render " + folder / "Gain.so" + " --in " + input +
                           " --tail 0 -o " + folder / "out.wav",
                       &log),
            0)
      << log;
  EXPECT_EQ(log.find("warning"), std::string::npos) << log;
  std::string error;
  const auto in = ReadWavFile(input, &error);
  const auto rendered = ReadWavFile(folder / "out.wav", &error);
  ASSERT_TRUE(in && rendered) << error;
  ASSERT_EQ(rendered->channels.size(), 1u);
  ASSERT_EQ(rendered->FrameCount(), in->FrameCount());
  float peak = 0.0f;
  for (std::size_t i = 0; i < in->FrameCount(); ++i) {
    ASSERT_NEAR(rendered->channels[0][i], in->channels[0][i] * 0.5f, 1e-6) << i;
    peak = std::max(peak, std::fabs(in->channels[0][i]));
  }
  EXPECT_GT(peak, 0.1f);  // the input is not silence
  EXPECT_TRUE(std::ifstream(folder / "Gain/example_modules.ovm").good());
}

}  // namespace
}  // namespace ov::test
