// What the snapshot tests share: `orvane snapshot` run in-process on a
// project, its picture compared exactly with a golden one.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>

#include "platform/png_codec.h"
#include "tests/editor/editor_test_support.h"
#include "tools/snapshot.h"

namespace ov::testing {

// Runs `orvane snapshot` as `line` says and reads the picture it wrote.
inline void TakeSnapshot(const SnapshotCommandLine& line, std::optional<PixelImage>* image) {
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunSnapshotCommand(line, out, err), 0) << err.str();
  std::string error;
  *image = ReadPngFile(line.output_path, &error);
  ASSERT_TRUE(*image) << error;
}

// Snapshots `project` into the test output folder as NAME.png and expects
// the golden picture NAME.
inline void ExpectSnapshotMatchesGolden(const std::string& project, const std::string& name) {
  SnapshotCommandLine line;
  line.input_path = project;
  line.output_path = std::string(OV_TEST_OUTPUT_DIR) + "/" + name + ".png";
  std::optional<PixelImage> image;
  ASSERT_NO_FATAL_FAILURE(TakeSnapshot(line, &image));
  ExpectMatchesGolden(name, *image);
}

}  // namespace ov::testing
