// The step-bass example's panel as hosts open it, without an X server: the
// step sequencer's own line (rests, slides, an accented note), the default
// drum grid and the two break-point editors, compared exactly (the fonts
// are the project's own).
#include <gtest/gtest.h>

#include <sstream>

#include "platform/png_codec.h"
#include "tests/editor/editor_test_support.h"
#include "tools/snapshot.h"

namespace ov {
namespace {

TEST(StepBassPanel, ShowsTheSequencersAndEnvelopes) {
  SnapshotCommandLine line;
  line.input_path = std::string(OV_EXAMPLES_DIR) + "/step-bass.json";
  line.output_path = std::string(OV_TEST_OUTPUT_DIR) + "/step_bass_panel.png";
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunSnapshotCommand(line, out, err), 0) << err.str();
  std::string error;
  const std::optional<PixelImage> image = ReadPngFile(line.output_path, &error);
  ASSERT_TRUE(image) << error;
  testing::ExpectMatchesGolden("step_bass_panel", *image);
}

}  // namespace
}  // namespace ov
