// `orvane compile` and `orvane dump` on files: exit codes, messages, and a
// project baked into a library.
#include "tools/project_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "host/project_resource.h"
#include "platform/files.h"
#include "platform/library_resource.h"

namespace ov {
namespace {

std::string WriteText(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + "/" + name;
  std::string error;
  EXPECT_TRUE(
      WriteFileBytes(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, &error))
      << error;
  return path;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(ReadFileBytes(path, 1 << 24, &bytes, &error)) << error;
  return bytes;
}

struct CommandRun {
  int code;
  std::string out;
  std::string err;
};

CommandRun Compile(const std::string& input, const std::string& output) {
  std::ostringstream out, err;
  const int code = RunCompileCommand({input, output}, out, err);
  return {code, out.str(), err.str()};
}

CommandRun Dump(const std::string& input, const std::string& output) {
  std::ostringstream out, err;
  const int code = RunDumpCommand({input, output}, out, err);
  return {code, out.str(), err.str()};
}

TEST(ProjectCommands, CompileDumpCompileGivesTheSameStream) {
  const std::string json = WriteText("tiny.json", R"({"plugin_id": "OvTy", "root": {
      "type": "Container", "modules": [{"type": "Container", "modules": [{"type": "VCA"}]}]}})");
  const std::string first = ::testing::TempDir() + "/tiny.ov1";
  const std::string second = ::testing::TempDir() + "/tiny2.ov1";
  const std::string dumped = ::testing::TempDir() + "/tiny.dump.json";
  ASSERT_EQ(Compile(json, first).code, 0);
  const CommandRun dump = Dump(first, dumped);
  ASSERT_EQ(dump.code, 0) << dump.err;
  ASSERT_EQ(Compile(dumped, second).code, 0);
  EXPECT_EQ(ReadBytes(first), ReadBytes(second));

  // Without -o the dump goes to standard output.
  EXPECT_EQ(Dump(first, "").out.substr(0, 22), "{\n  \"version\": 95960,\n");
}

TEST(ProjectCommands, DumpReadsTheProjectBakedIntoALibrary) {
  const std::string json = WriteText("baked.json", R"({"plugin_id": "OvBk"})");
  const std::string stream_path = ::testing::TempDir() + "/baked.ov1";
  ASSERT_EQ(Compile(json, stream_path).code, 0);
  std::vector<uint8_t> stream = ReadBytes(stream_path);
  Scramble(stream);
  const std::vector<uint8_t> library = {0x7F, 'E', 'L', 'F', 1, 2, 3};
  const std::vector<uint8_t> baked =
      AppendResource(library, kProjectResourceType, kProjectResourceId, stream);
  const std::string library_path = ::testing::TempDir() + "/baked.so";
  std::string error;
  ASSERT_TRUE(WriteFileBytes(library_path, baked, &error)) << error;
  const CommandRun dump = Dump(library_path, "");
  ASSERT_EQ(dump.code, 0) << dump.err;
  EXPECT_NE(dump.out.find("\"plugin_id\": \"OvBk\""), std::string::npos);
}

TEST(ProjectCommands, FailuresSayWhereAndWhy) {
  const std::string bad_json = WriteText("bad.json", "{\"root\": ");
  const CommandRun parse = Compile(bad_json, ::testing::TempDir() + "/bad.ov1");
  EXPECT_EQ(parse.code, 2);
  EXPECT_NE(parse.err.find("bad.json: [json.exception.parse_error"), std::string::npos)
      << parse.err;

  const std::string bad_field = WriteText("field.json", R"({"root": {"type": "VCA"}})");
  const CommandRun compile = Compile(bad_field, ::testing::TempDir() + "/field.ov1");
  EXPECT_EQ(compile.code, 2);
  EXPECT_NE(compile.err.find("field.json:1:10: a CUG where a CContainer belongs"),
            std::string::npos)
      << compile.err;

  // Nesting is bounded while parsing, long before the stack is.
  const std::string deep =
      WriteText("deep.json", std::string(100000, '[') + std::string(100000, ']'));
  const CommandRun nested = Compile(deep, ::testing::TempDir() + "/deep.ov1");
  EXPECT_EQ(nested.code, 2);
  EXPECT_NE(nested.err.find("deep.json: nested more than 2048 levels deep"), std::string::npos)
      << nested.err;

  const std::string garbage = WriteText("garbage.ov1", std::string("\x10\x00\x00\x00", 4));
  const CommandRun dump = Dump(garbage, "");
  EXPECT_EQ(dump.code, 1);
  EXPECT_NE(dump.err.find("garbage.ov1: end of data at byte 4"), std::string::npos) << dump.err;
}

TEST(ProjectCommands, ArgumentsNeedAnInputAndForCompileAnOutput) {
  std::string error;
  EXPECT_FALSE(ParseProjectArguments(std::vector<std::string>{"a.json"}, true, &error));
  EXPECT_EQ(error, "no output file given (-o)");
  EXPECT_FALSE(ParseProjectArguments(std::vector<std::string>{"-o", "x"}, false, &error));
  EXPECT_EQ(error, "no input file given");
  EXPECT_FALSE(ParseProjectArguments(std::vector<std::string>{"a", "b"}, false, &error));
  EXPECT_EQ(error, "unexpected argument 'b'");
  const auto line =
      ParseProjectArguments(std::vector<std::string>{"a.ov1", "-o", "b"}, false, &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->input_path, "a.ov1");
  EXPECT_EQ(line->output_path, "b");
}

}  // namespace
}  // namespace ov
