// The step-bass example's panel as hosts open it, without an X server: the
// step sequencer's own line (rests, slides, an accented note), the default
// drum grid and the two break-point editors, compared exactly (the fonts
// are the project's own).
#include <gtest/gtest.h>

#include "tests/tools/snapshot_test_support.h"

namespace ov {
namespace {

TEST(StepBassPanel, ShowsTheSequencersAndEnvelopes) {
  testing::ExpectSnapshotMatchesGolden(std::string(OV_EXAMPLES_DIR) + "/step-bass.json",
                                       "step_bass_panel");
}

}  // namespace
}  // namespace ov
