// The installed program as a user meets it: help and usage for every
// command, exit codes, results on standard output and messages on standard
// error; `orvane install` into a home of the test's own; `orvane graph` read
// back through Graphviz.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "document/project_text.h"
#include "tests/host/temp_folder.h"

namespace ov {
namespace {

namespace fs = std::filesystem;

struct Ran {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A folder of the test's own, removed afterwards.
class ScratchFolder {
 public:
  const fs::path path() const { return folder_.Path(); }

 private:
  testing::TempFolder folder_;
};

// Runs a shell command line, keeping its two output streams apart.
Ran RunShell(const std::string& line) {
  ScratchFolder scratch;
  const fs::path out = scratch.path() / "out", err = scratch.path() / "err";
  const int status = std::system((line + " >" + out.string() + " 2>" + err.string()).c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out), ReadAll(err)};
}

std::string Program() { return std::string(std::getenv("OV_BUILD_DIR")) + "/orvane"; }

Ran RunOrvane(const std::string& arguments, const std::string& environment = "") {
  return RunShell(environment + " " + Program() + " " + arguments);
}

const char* const kCommands[] = {"info",     "render",   "dump",     "compile", "bake",
                                  "graph",    "bench",    "validate", "snapshot", "show",     "play",
                                  "install",  "uninstall", "help"};

TEST(CommandLine, EveryCommandHasHelpAndAUsageError) {
  for (const char* command : kCommands) {
    SCOPED_TRACE(command);
    const std::string usage = std::string("usage: orvane ") + command;
    for (const std::string& asked : {"help " + std::string(command), std::string(command) + " --help"}) {
      const Ran help = RunOrvane(asked);
      EXPECT_EQ(help.exit_code, 0) << asked;
      EXPECT_EQ(help.out.rfind(usage, 0), 0u) << asked << ": " << help.out;
      EXPECT_EQ(help.err, "");
    }
    const Ran wrong = RunOrvane(std::string(command) + " --no-such-option");
    EXPECT_EQ(wrong.exit_code, 2);
    EXPECT_EQ(wrong.out, "");
    EXPECT_NE(wrong.err.find("'--no-such-option'"), std::string::npos) << wrong.err;
    if (std::string(command) == "help") continue;  // help alone is an answer
    EXPECT_NE(wrong.err.find(usage), std::string::npos) << wrong.err;
    const Ran bare = RunOrvane(command);
    EXPECT_EQ(bare.exit_code, 2);
    EXPECT_EQ(bare.out, "");
    EXPECT_NE(bare.err.find(usage), std::string::npos) << bare.err;
  }
}

TEST(CommandLine, OverviewVersionAndUnknownCommands) {
  const Ran overview = RunOrvane("help");
  EXPECT_EQ(overview.exit_code, 0);
  for (const char* command : kCommands) {
    EXPECT_NE(overview.out.find(std::string("orvane ") + command + " "), std::string::npos)
        << command;
  }
  const Ran nothing = RunOrvane("");
  EXPECT_EQ(nothing.exit_code, 2);
  EXPECT_EQ(nothing.out, "");
  EXPECT_EQ(nothing.err, overview.out);

  const Ran version = RunOrvane("--version");
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("orvane ", 0), 0u);
  EXPECT_EQ(version.out.find_first_not_of("0123456789.\n", 7), std::string::npos) << version.out;

  const Ran unknown = RunOrvane("frobnicate");
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_NE(unknown.err.find("unknown command 'frobnicate'"), std::string::npos);
  EXPECT_EQ(RunOrvane("help frobnicate").exit_code, 2);
  EXPECT_EQ(RunOrvane("graph x.json -o x.jpeg").exit_code, 2);
}

TEST(CommandLine, DumpAndGraphWriteToStandardOutputForDash) {
  const std::string project = std::string(OV_EXAMPLES_DIR) + "/demo-synth.json";
  ScratchFolder scratch;
  const std::string stream = (scratch.path() / "synth.ov1").string();
  ASSERT_EQ(RunOrvane("compile " + project + " -o " + stream).exit_code, 0);
  // Run in the scratch folder, where a file named "-" would show.
  const std::string here = "cd " + scratch.path().string() + " && ";
  const Ran dumped = RunShell(here + Program() + " dump " + stream + " -o -");
  EXPECT_EQ(dumped.exit_code, 0) << dumped.err;
  EXPECT_EQ(Json::parse(dumped.out)["plugin_id"], "OvSy");
  const Ran graph = RunShell(here + Program() + " graph " + project + " -o -");
  EXPECT_EQ(graph.exit_code, 0) << graph.err;
  EXPECT_EQ(graph.out.rfind("digraph patch {", 0), 0u);
  EXPECT_FALSE(fs::exists(scratch.path() / "-"));
}

TEST(CommandLine, InfoListsTheSkinAPanelGets) {
  const std::string build = std::getenv("OV_BUILD_DIR");
  const Ran generic = RunOrvane("info " + build + "/orvane-vst.so --skin default");
  ASSERT_EQ(generic.exit_code, 0) << generic.err;
  EXPECT_NE(generic.out.find("built into the library"), std::string::npos) << generic.out;
  for (const char* line : {"knob_med: 40 x 2440, 61 frames of 40 x 40, knob, rotary",
                           "bar_graph1: 12 x 128, 2 frames of 12 x 64, bar graph",
                           "switch_rotary: 36 x 2304, 64 frames", "lines: 19 x 19",
                           "tty: Courier New 12 px", "panel_group:", "user 3:"}) {
    EXPECT_NE(generic.out.find(line), std::string::npos) << line << "\n" << generic.out;
  }
  EXPECT_EQ(generic.out.find("No skin is named"), std::string::npos);

  // A baked project with one skin of its own, made from a folder.
  ScratchFolder scratch;
  const fs::path folder = scratch.path() / "blue";
  fs::create_directories(folder);
  fs::copy_file(build + "/default_skin/led.png", folder / "led.png");
  Json project = Json::parse(ReadAll(std::string(OV_EXAMPLES_DIR) + "/demo-synth.json"));
  project["skins"] = Json::array({{{"name", "Blue"}, {"folder", "blue"}}});
  std::ofstream(scratch.path() / "blue.json") << project.dump();
  const std::string baked = (scratch.path() / "blue.so").string();
  const Ran bake = RunOrvane("bake " + (scratch.path() / "blue.json").string() + " -o " + baked);
  ASSERT_EQ(bake.exit_code, 0) << bake.err;
  const Ran own = RunOrvane("info " + baked + " --skin blue");
  EXPECT_EQ(own.exit_code, 0) << own.err;
  EXPECT_NE(own.out.find("Skin \"Blue\" (stored in the project"), std::string::npos) << own.out;
  EXPECT_NE(own.out.find("led: 12 x 24, 1 frame of 12 x 24"), std::string::npos) << own.out;
  const Ran other = RunOrvane("info " + baked + " --skin green");
  EXPECT_NE(other.out.find("No skin is named \"green\""), std::string::npos) << other.out;
  EXPECT_EQ(RunOrvane("info " + baked + " --skin").exit_code, 2);
}

TEST(CommandLine, InstallAndUninstallStayInTheUsersFolder) {
  ScratchFolder home;
  const std::string environment = "HOME=" + home.path().string();
  const fs::path baked = home.path() / "Synth.so";
  ASSERT_EQ(RunOrvane("bake " + std::string(OV_EXAMPLES_DIR) + "/demo-synth.json -o " +
                      baked.string()).exit_code, 0);

  const Ran installed = RunOrvane("install " + baked.string(), environment);
  EXPECT_EQ(installed.exit_code, 0) << installed.err;
  const fs::path target = home.path() / ".lxvst" / "Synth.so";
  EXPECT_EQ(installed.out, "Installed " + target.string() + "\n");
  EXPECT_EQ(ReadAll(target), ReadAll(baked));

  // The generic library alone would give hosts nothing.
  const std::string generic = std::string(std::getenv("OV_BUILD_DIR")) + "/orvane-vst.so";
  const Ran refused = RunOrvane("install " + generic, environment);
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("not a baked Orvane plug-in"), std::string::npos);

  // Names only, and only our own plug-ins are removed.
  std::ofstream(home.path() / ".lxvst" / "Other.so") << "someone else's";
  EXPECT_EQ(RunOrvane("uninstall ../Synth", environment).exit_code, 1);
  EXPECT_EQ(RunOrvane("uninstall Other", environment).exit_code, 1);
  EXPECT_TRUE(fs::exists(home.path() / ".lxvst" / "Other.so"));
  EXPECT_TRUE(fs::exists(baked));

  const Ran removed = RunOrvane("uninstall Synth.so", environment);
  EXPECT_EQ(removed.exit_code, 0) << removed.err;
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(RunOrvane("uninstall Synth", environment).exit_code, 1);  // already gone
}

// A command that could not do its job says why and exits 1, also when the
// plug-in loads but its engine cannot be built.
TEST(CommandLine, FailuresExitNonZeroNamingTheirCause) {
  ScratchFolder scratch;
  Json project = Json::parse(ReadAll(std::string(OV_EXAMPLES_DIR) + "/passthrough.json"));
  Json& effect = project["root"]["modules"][0];
  effect["modules"] = Json::array({{{"type", "VCA"}, {"name", "a"}}, {{"type", "VCA"}, {"name", "b"}}});
  effect["connections"] = Json::array({"io.Left In -> a.Signal", "a.Output -> b.Signal",
                                       "b.Output -> a.Signal", "a.Output -> io.Left Out"});
  const std::string loop = (scratch.path() / "loop.json").string();
  std::ofstream(loop) << project.dump();
  const std::string baked = (scratch.path() / "loop.so").string();
  ASSERT_EQ(RunOrvane("bake " + loop + " -o " + baked).exit_code, 0);
  const std::string wav = (scratch.path() / "out.wav").string();
  const std::string example = std::string(OV_EXAMPLES_DIR) + "/passthrough.json";
  const std::string passthrough = (scratch.path() / "pass.so").string();
  ASSERT_EQ(RunOrvane("bake " + example + " -o " + passthrough).exit_code, 0);
  const std::string deep = (scratch.path() / "deep.json").string();
  std::ofstream(deep) << std::string(100000, '[') << std::string(100000, ']');

  const struct {
    std::string arguments;
    std::string cause;
  } cases[] = {
      {"render " + baked + " -o " + wav + " --seconds 0.1", "FEEDBACK path"},
      {"bench " + baked + " --seconds 0.1", "FEEDBACK path"},
      {"bench " + loop + " --seconds 0.1", "FEEDBACK path"},
      {"validate " + baked + " --quick", "FAIL  This patch contains a FEEDBACK path"},
      {"show " + baked + " --quit-after 0.1", "FEEDBACK path"},
      {"render " + passthrough + " -o /proc/x.wav --seconds 0.1", "/proc/x.wav: No such file"},
      {"dump " + example, "not an Orvane project"},
      {"bench " + deep + " --seconds 0.1", "nested more than 2048 levels deep"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Ran ran = RunOrvane(c.arguments);
    EXPECT_EQ(ran.exit_code, 1);
    EXPECT_NE((ran.out + ran.err).find(c.cause), std::string::npos) << ran.out << ran.err;
  }
  EXPECT_FALSE(fs::exists(wav));
}

// What Graphviz read of a DOT graph (as JSON): the type of every module
// node, and every edge as its two ends "type:plug", in either direction.
struct ReadBack {
  std::multiset<std::string> modules;
  std::multiset<std::string> edges;
};

std::string EdgeKey(std::string a, std::string b) {
  if (b < a) std::swap(a, b);
  return a + " ~ " + b;
}

ReadBack ReadThroughGraphviz(const fs::path& dot_file) {
  const Ran read = RunShell("dot -Tjson0 " + dot_file.string());
  EXPECT_EQ(read.exit_code, 0) << read.err;
  EXPECT_EQ(read.err, "");
  ReadBack back;
  if (read.exit_code != 0) return back;
  const Json graph = Json::parse(read.out);
  std::map<int, std::string> types;
  for (const Json& object : graph.value("objects", Json::array())) {
    if (object["name"].get<std::string>().starts_with("cluster_")) continue;
    const std::string type = object.value("tooltip", "");
    types[object["_gvid"].get<int>()] = type;
    if (type != "Container") back.modules.insert(type);
  }
  for (const Json& edge : graph.value("edges", Json::array())) {
    back.edges.insert(EdgeKey(types[edge["tail"].get<int>()] + ":" + edge.value("tailport", ""),
                              types[edge["head"].get<int>()] + ":" + edge.value("headport", "")));
  }
  return back;
}

// The same from the project's text: a container's own plugs and its
// input/output module ("io") are drawn as one "Container" node.
void Expect(const Json& container, ReadBack* expected) {
  std::map<std::string, std::string> types = {{"io", "Container"}};
  for (const Json& module : container.value("modules", Json::array())) {
    const std::string type = module["type"];
    if (module.contains("name")) types[module["name"]] = type;
    if (type == "Container") {
      Expect(module, expected);
    } else {
      expected->modules.insert(type);
    }
  }
  for (const Json& line : container.value("connections", Json::array())) {
    const std::string text = line;
    const std::size_t arrow = text.find(" -> ");
    const auto end = [&](const std::string& side) {
      const std::size_t dot = side.find('.');
      return types[side.substr(0, dot)] + ":" + side.substr(dot + 1);
    };
    expected->edges.insert(EdgeKey(end(text.substr(0, arrow)), end(text.substr(arrow + 4))));
  }
}

TEST(CommandLine, GraphOfEveryExampleNamesEveryModuleAndConnection) {
  ScratchFolder scratch;
  int examples = 0;
  for (const auto& entry : fs::directory_iterator(OV_EXAMPLES_DIR)) {
    if (entry.path().extension() != ".json") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++examples;
    const fs::path dot = scratch.path() / (entry.path().stem().string() + ".dot");
    const Ran drawn = RunOrvane("graph " + entry.path().string() + " -o " + dot.string());
    ASSERT_EQ(drawn.exit_code, 0) << drawn.err;
    const ReadBack back = ReadThroughGraphviz(dot);
    ReadBack expected;
    Expect(Json::parse(ReadAll(entry.path()))["root"], &expected);
    EXPECT_EQ(back.modules, expected.modules);
    EXPECT_EQ(back.edges, expected.edges);
  }
  EXPECT_GE(examples, 5);

  const fs::path picture = scratch.path() / "synth.svg";
  const Ran svg = RunOrvane("graph " + std::string(OV_EXAMPLES_DIR) + "/demo-synth.json -o " +
                            picture.string());
  EXPECT_EQ(svg.exit_code, 0) << svg.err;
  EXPECT_NE(ReadAll(picture).find("<svg"), std::string::npos);
  EXPECT_FALSE(fs::exists(picture.string() + ".dot.tmp"));
}

}  // namespace
}  // namespace ov
