// `orvane validate` against a plug-in built with known faults, our example
// projects baked into plug-ins, and Debian's DPF plug-ins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

#include "tests/host/plugin_test_support.h"
#include "tests/host/temp_folder.h"
#include "tools/validate.h"

namespace ov {
namespace {

using testing::BuildDir;
using testing::RunProgram;

struct Report {
  int exit_code = 0;
  std::string text;
  std::map<std::string, std::string> lines;  // check name -> "PASS  detail"
};

Report Validate(const std::string& library) {
  Report report;
  std::ostringstream out;
  report.exit_code = RunValidateCommand({library, true}, out);
  report.text = out.str();
  std::istringstream lines(report.text);
  for (std::string line; std::getline(lines, line);) {
    for (const char* outcome : {" PASS  ", " FAIL  ", " SKIP  "}) {
      const std::size_t at = line.find(outcome);
      if (at == std::string::npos) continue;
      std::string name = line.substr(0, at);
      name.erase(name.find_last_not_of(' ') + 1);
      report.lines[name] = line.substr(at + 1);
    }
  }
  return report;
}

bool Failed(const Report& report, const std::string& check, const std::string& detail) {
  const auto line = report.lines.find(check);
  return line != report.lines.end() && line->second.starts_with("FAIL") &&
         line->second.find(detail) != std::string::npos;
}

TEST(Validate, FindsEachFaultWhereItLies) {
  const Report report = Validate(OV_FAULTY_PLUGIN);
  EXPECT_EQ(report.exit_code, 1);
  EXPECT_TRUE(Failed(report, "sample rate 192000", "crashed (Aborted)")) << report.text;
  EXPECT_TRUE(Failed(report, "block size 97", "wrote past the block in 45 calls")) << report.text;
  EXPECT_TRUE(Failed(report, "NaN and infinity in the input", "NaN/inf samples")) << report.text;
  EXPECT_TRUE(Failed(report, "denormals", "denormal samples")) << report.text;
  EXPECT_TRUE(Failed(report, "parameters", "parameter 0 set to 1 reads 2")) << report.text;
  EXPECT_TRUE(Failed(report, "parameter texts", "display at 0 takes 37 bytes of 32")) << report.text;
  EXPECT_TRUE(Failed(report, "bank chunk round trip", "saved again: byte 6 of 16 differs"))
      << report.text;
  EXPECT_TRUE(Failed(report, "bank file round trip", "differs")) << report.text;
  // The rest of what it does is sound.
  for (const char* check : {"load", "open and close", "sample rate 44100", "block size 1",
                            "block size 8192", "process while suspended", "MIDI bursts",
                            "plug-in texts", "programs"}) {
    EXPECT_TRUE(report.lines.contains(check) && report.lines.at(check).starts_with("PASS"))
        << check << "\n" << report.text;
  }
  EXPECT_NE(report.text.find("29 checks, "), std::string::npos) << report.text;
}

TEST(Validate, RefusesWhatIsNoPlugin) {
  const Report report = Validate(OV_NO_ENTRY_LIBRARY);
  EXPECT_EQ(report.exit_code, 1);
  EXPECT_TRUE(Failed(report, "load", "no VSTPluginMain or main entry point")) << report.text;
  EXPECT_EQ(report.lines.size(), 1u) << "checks ran without a plug-in";

  std::string error;
  const std::string arguments[] = {"a.so", "--quick"};
  const auto options = ParseValidateArguments(arguments, &error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->quick);
  EXPECT_EQ(options->library_path, "a.so");
  const std::string two_libraries[] = {"a.so", "b.so"};
  EXPECT_FALSE(ParseValidateArguments(two_libraries, &error));
  EXPECT_FALSE(ParseValidateArguments({}, &error));
}

std::vector<std::filesystem::path> ExampleProjects() {
  std::vector<std::filesystem::path> projects;
  for (const auto& entry : std::filesystem::directory_iterator(OV_EXAMPLES_DIR)) {
    if (entry.path().extension() == ".json") projects.push_back(entry.path());
  }
  std::sort(projects.begin(), projects.end());
  return projects;
}

// One case per example, so that the test runner spreads them over its jobs.
class EveryExample : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(EveryExample, PassesBaked) {
  const testing::TempFolder scratch;
  const std::string library = (scratch.Path() / GetParam().stem()).string() + ".so";
  std::string log;
  ASSERT_EQ(RunProgram(BuildDir() + "/orvane bake " + GetParam().string() + " -o " + library, &log),
            0)
      << log;
  const Report report = Validate(library);
  EXPECT_EQ(report.exit_code, 0) << GetParam() << "\n" << report.text;
}

INSTANTIATE_TEST_SUITE_P(Validate, EveryExample, ::testing::ValuesIn(ExampleProjects()),
                         [](const ::testing::TestParamInfo<std::filesystem::path>& info) {
                           std::string name = info.param.stem().string();
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// Debian's builds pass everything but one check: the filters and reverbs
// among them keep NaN in their state once it came in.
TEST(Validate, DpfPluginsPassAllButNanRecovery) {
  int libraries = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/vst")) {
    if (entry.path().extension() != ".so") continue;
    ++libraries;
    const Report report = Validate(entry.path().string());
    EXPECT_EQ(report.lines.size(), 29u) << report.text;
    for (const auto& [check, line] : report.lines) {
      if (check == "NaN and infinity in the input") continue;
      EXPECT_FALSE(line.starts_with("FAIL")) << entry.path() << ": " << check << " " << line;
    }
  }
  EXPECT_GE(libraries, 10);
  EXPECT_EQ(Validate("/usr/lib/vst/Kars-vst.so").exit_code, 0);
}

}  // namespace
}  // namespace ov
