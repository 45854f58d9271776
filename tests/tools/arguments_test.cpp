#include "tools/arguments.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace ov {
namespace {

std::optional<RenderCommandLine> Parse(const std::vector<std::string>& arguments,
                                       std::string* error) {
  return ParseRenderArguments(arguments, error);
}

TEST(RenderArguments, ReadsEveryOption) {
  std::string error;
  const auto line =
      Parse({"lib.so",       "-o",         "out.wav", "--note",       "60:100:0.5:0.25",
             "--note",       "72:1:0:2",   "--param", "3=0.75",       "--seconds",
             "1.5",          "--rate",     "44100",   "--block",      "64",
             "--program",    "2",          "--midi",  "in.mid",       "--in",
             "in.wav",       "--midi-out", "out.mid", "--load-state", "in.fxb",
             "--save-state", "out.fxp"},
            &error);
  ASSERT_TRUE(line) << error;
  const RenderSettings& settings = line->settings;
  EXPECT_EQ(settings.plugin_path, "lib.so");
  EXPECT_EQ(line->output_path, "out.wav");
  EXPECT_EQ(line->midi_output_path, "out.mid");
  ASSERT_EQ(settings.notes.size(), 2u);
  EXPECT_EQ(settings.notes[0].key, 60);
  EXPECT_EQ(settings.notes[0].velocity, 100);
  EXPECT_EQ(settings.notes[0].start_seconds, 0.5);
  EXPECT_EQ(settings.notes[0].length_seconds, 0.25);
  ASSERT_EQ(settings.parameters.size(), 1u);
  EXPECT_EQ(settings.parameters[0].index, 3);
  EXPECT_EQ(settings.parameters[0].value, 0.75f);
  EXPECT_EQ(settings.seconds, 1.5);
  EXPECT_EQ(settings.sample_rate, 44100);
  EXPECT_EQ(settings.block_size, 64);
  EXPECT_EQ(settings.program, 2);
  EXPECT_EQ(settings.midi_path, "in.mid");
  EXPECT_EQ(settings.input_path, "in.wav");
  EXPECT_EQ(settings.load_state_path, "in.fxb");
  EXPECT_EQ(settings.save_state_path, "out.fxp");
}

TEST(RenderArguments, RejectsMalformedValuesNamingThem) {
  const std::vector<std::vector<std::string>> bad = {
      {"lib.so"},                             // no output
      {"-o", "out.wav"},                      // no library
      {"lib.so", "-o"},                       // option without value
      {"lib.so", "other.so", "-o", "x.wav"},  // two libraries
      {"lib.so", "-o", "x.wav", "--note", "60:100:0.5"},
      {"lib.so", "-o", "x.wav", "--note", "128:100:0:1"},
      {"lib.so", "-o", "x.wav", "--note", "60:0:0:1"},
      {"lib.so", "-o", "x.wav", "--note", "60:100:0:0"},
      {"lib.so", "-o", "x.wav", "--note", "60:100:-1:1"},
      {"lib.so", "-o", "x.wav", "--param", "1"},
      {"lib.so", "-o", "x.wav", "--param", "1=1.5"},
      {"lib.so", "-o", "x.wav", "--block", "0"},
      {"lib.so", "-o", "x.wav", "--rate", "44.1k"},
      {"lib.so", "-o", "x.wav", "--seconds", "0"},
      {"lib.so", "-o", "x.wav", "--volume", "3"},
  };
  for (const auto& arguments : bad) {
    std::string error;
    EXPECT_FALSE(Parse(arguments, &error)) << arguments.back();
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  Parse({"lib.so", "-o", "x.wav", "--note", "60:100:zero:1"}, &error);
  EXPECT_EQ(error, "invalid value '60:100:zero:1' for --note");
}

// Runs the built program; returns its exit code and what it printed.
int RunOrvane(const std::string& arguments, std::string* output) {
  const std::string command =
      std::string(std::getenv("OV_BUILD_DIR")) + "/orvane " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  output->clear();
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) *output += buffer;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OrvaneProgram, ExitCodesSeparateUsageFromFailure) {
  std::string output;
  EXPECT_EQ(RunOrvane("", &output), 2);
  EXPECT_NE(output.find("orvane info LIB.so"), std::string::npos);
  EXPECT_EQ(RunOrvane("frobnicate", &output), 2);
  EXPECT_NE(output.find("unknown command 'frobnicate'"), std::string::npos);
  EXPECT_EQ(RunOrvane("render /usr/lib/vst/Kars-vst.so", &output), 2);
  EXPECT_NE(output.find("no output file given (-o)"), std::string::npos);

  const std::string own = std::string(std::getenv("OV_BUILD_DIR")) + "/orvane-vst.so";
  EXPECT_EQ(RunOrvane("info " + own, &output), 1);
  EXPECT_NE(output.find("orvane info: " + own + ": the entry point returned no plug-in"),
            std::string::npos)
      << output;
  EXPECT_EQ(
      RunOrvane("render /usr/lib/vst/Kars-vst.so -o /nonexistent/x.wav --seconds 0.1", &output), 1);
  EXPECT_NE(output.find("orvane render: /nonexistent/x.wav: No such file or directory"),
            std::string::npos)
      << output;
}

}  // namespace
}  // namespace ov
