// Starting programs: command lines split as Windows programs split them,
// programs started in their folder with nothing of ours, and reaped.
#include "platform/process_starter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/host/temp_folder.h"

namespace ov::test {
namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsRules) {
  EXPECT_EQ(SplitCommandLine(""), Arguments{});
  EXPECT_EQ(SplitCommandLine(" \t "), Arguments{});
  EXPECT_EQ(SplitCommandLine("a  b\tc"), (Arguments{"a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine(R"(prog "two words" x"y z"w)"),
            (Arguments{"prog", "two words", "xy zw"}));
  EXPECT_EQ(SplitCommandLine(R"("" a)"), (Arguments{"", "a"}));
  EXPECT_EQ(SplitCommandLine(R"("say ""hi""")"), (Arguments{R"(say "hi")"}));
  // Backslashes count only before a quote.
  EXPECT_EQ(SplitCommandLine(R"(a\b c\\d)"), (Arguments{R"(a\b)", R"(c\\d)"}));
  EXPECT_EQ(SplitCommandLine(R"(a\"b "c\\" d)"), (Arguments{R"(a"b)", R"(c\)", "d"}));
  EXPECT_EQ(SplitCommandLine(R"("a\\\"b")"), (Arguments{R"(a\"b)"}));
  EXPECT_EQ(SplitCommandLine(R"("unclosed quote)"), (Arguments{"unclosed quote"}));
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void WaitForAll(ProcessStarter& starter) {
  for (int i = 0; i < 500 && starter.Reap() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TEST(ProcessStarter, RunsInItsFolderWithNothingOfOursAndIsReaped) {
  testing::TempFolder folder;
  ProcessStarter starter;
  // A descriptor of ours without close-on-exec must not reach the child.
  std::FILE* ours = std::fopen((folder / "ours.txt").c_str(), "w");
  ASSERT_NE(ours, nullptr);
  std::string error;
  ASSERT_TRUE(starter.Start(
      {"sh", "-c", "pwd > where.txt; ls /proc/self/fd > fds.txt; printf '%s' \"$0\" > arg.txt",
       "two words"},
      folder.Path(), &error))
      << error;
  WaitForAll(starter);
  std::fclose(ours);
  EXPECT_EQ(starter.Running(), 0);
  EXPECT_EQ(ReadAll(folder / "where.txt"),
            std::filesystem::canonical(folder.Path()).string() + "\n");
  EXPECT_EQ(ReadAll(folder / "arg.txt"), "two words");
  // 0, 1, 2 and the one ls opens to list them.
  std::istringstream fds(ReadAll(folder / "fds.txt"));
  std::vector<std::string> listed;
  for (std::string fd; fds >> fd;) listed.push_back(fd);
  EXPECT_LE(listed.size(), 4u) << ReadAll(folder / "fds.txt");

  EXPECT_FALSE(starter.Start({"no-such-program-here"}, folder.Path(), &error));
  EXPECT_NE(error.find("no-such-program-here"), std::string::npos) << error;
  EXPECT_FALSE(starter.Start({"true"}, folder / "missing", &error));
  EXPECT_FALSE(starter.Start({}, folder.Path(), &error));
  EXPECT_EQ(starter.Running(), 0);
}

}  // namespace
}  // namespace ov::test
