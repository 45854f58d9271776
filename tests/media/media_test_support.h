// Files for media tests: written to the test temporary folder, one name per
// test so that cases can run in parallel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace ov::testing {

// A path in the temporary folder, unique to the running test and `suffix`.
inline std::string TempPath(const std::string& suffix) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + "orvane_" + test->test_suite_name() + "_" + test->name() + suffix;
}

inline std::string WriteTempFile(const std::string& suffix, const std::vector<uint8_t>& bytes) {
  const std::string path = TempPath(suffix);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace ov::testing
