// The installed program as a user meets it: help and usage for every
// command, exit codes, results on standard output and messages on standard
// error; `orvane install` into a home of the test's own; `orvane graph` read
// back through Graphviz.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "document/project_text.h"
#include "media/wav_file.h"
#include "modules/module_registry.h"
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

const char* const kCommands[] = {"info",     "render",    "dump",     "compile", "bake",
                                 "graph",    "bench",     "validate", "snapshot", "show",
                                 "play",     "install",   "uninstall", "modules", "plugs",
                                 "help"};

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
    if (std::string(command) == "modules") continue;  // alone it lists them
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

TEST(CommandLine, ModulesAndPlugsDescribeEveryRegisteredType) {
  const Ran listed = RunOrvane("modules --json");
  ASSERT_EQ(listed.exit_code, 0) << listed.err;
  std::set<std::string> keys, placeholders;
  for (const Json& type : Json::parse(listed.out)) {
    keys.insert(type["key"].get<std::string>());
    EXPECT_NE(type["purpose"], "(not described)") << type["key"];
    if (type["placeholder"] == true) placeholders.insert(type["key"].get<std::string>());
  }
  std::set<std::string> registered;
  for (const auto& [key, type] : BuiltInModules().Types()) registered.insert(key);
  EXPECT_EQ(keys, registered);
  EXPECT_TRUE(placeholders.contains("Thrasher"));
  EXPECT_FALSE(placeholders.contains("Oscillator"));

  const struct {
    std::string type, plug, direction, datatype, unit, values;
  } plugs[] = {
      {"Moog Filter", "Pitch", "in", "audio", "1 V/oct or 1 V/kHz (Freq Scale)", ""},
      {"Oscillator", "Pitch", "in", "audio", "1 V/oct, 5 V = A 440", "0 to 10"},
      {"Oscillator", "Waveform", "in", "list", "",
       "Sine, Saw, Ramp, Triangle, Pulse, White Noise, Pink Noise"},
      {"Container", "Polyphony", "setting", "list", "", "integers 1 to 200"},
      {"Delay", "Feedback", "in", "audio", "V", "0 to 10"},
      {"Midi to CV", "MIDI In", "in", "midi", "", ""},
      // A type without descriptors: the plugs its modules make themselves.
      {"Increment2", "Wrap", "in", "bool", "", ""},
  };
  for (const auto& c : plugs) {
    SCOPED_TRACE(c.type + "." + c.plug);
    const Ran described = RunOrvane("plugs '" + c.type + "' --json");
    ASSERT_EQ(described.exit_code, 0) << described.err;
    const Json all = Json::parse(described.out)["plugs"];
    const auto plug =
        std::find_if(all.begin(), all.end(), [&](const Json& p) { return p["name"] == c.plug; });
    ASSERT_NE(plug, all.end());
    EXPECT_EQ((*plug)["direction"], c.direction);
    EXPECT_EQ((*plug)["datatype"], c.datatype);
    EXPECT_EQ((*plug)["unit"], c.unit);
    EXPECT_EQ((*plug)["values"], c.values);
  }
  const Ran unknown = RunOrvane("plugs 'moog filter'");
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_NE(unknown.err.find("did you mean 'Moog Filter'"), std::string::npos) << unknown.err;

  // A dump names each plug beside its index and compiles back to the same
  // stream; a name that is not the plug's is refused.
  ScratchFolder scratch;
  const std::string stream = (scratch.path() / "a.ov1").string();
  const std::string again = (scratch.path() / "b.ov1").string();
  const std::string dump = (scratch.path() / "a.json").string();
  ASSERT_EQ(RunOrvane("compile " + std::string(OV_EXAMPLES_DIR) + "/passthrough.json -o " + stream)
                .exit_code,
            0);
  ASSERT_EQ(RunOrvane("dump " + stream + " -o " + dump).exit_code, 0);
  Json dumped = Json::parse(ReadAll(dump));
  EXPECT_EQ(dumped["root"]["plugs"][0]["name"], "Polyphony");
  ASSERT_EQ(RunOrvane("compile " + dump + " -o " + again).exit_code, 0);
  EXPECT_EQ(ReadAll(stream), ReadAll(again));
  dumped["root"]["plugs"][0]["name"] = "Voices";
  std::ofstream(dump) << dumped.dump(2);
  const Ran renamed = RunOrvane("compile " + dump + " -o " + again);
  EXPECT_NE(renamed.exit_code, 0);
  EXPECT_NE(renamed.err.find("plug 0 of a \"Container\" is \"Polyphony\", not \"Voices\""),
            std::string::npos)
      << renamed.err;
}

// What compile and bake find in a project written by hand: each finding names
// the module, the plug and the line:column, and refuses with exit 2 unless
// --warn-only lets it through. A stream compiled leniently still bakes.
TEST(CommandLine, CompileChecksNameTheModulePlugAndPlace) {
  ScratchFolder scratch;
  const fs::path project = scratch.path() / "p.json";
  const std::string name = project.string();
  std::ofstream(scratch.path() / "beside.wav") << "RIFF";
  // Line 4 holds the module under test, line 5 its connection.
  const auto write = [&](const std::string& module, const std::string& connection) {
    std::ofstream(project) << "{\"root\": {\"type\": \"Container\", \"modules\": [\n"
                              "{\"type\": \"Container\", \"name\": \"fx\",\n"
                              " \"modules\": [{\"type\": \"VCA\", \"name\": \"vca\"},\n"
                           << "  " << module << "],\n"
                           << " \"connections\": [" << connection << "]}]}}\n";
  };
  const struct {
    std::string module, connection, options;
    int exit_code;
    std::string message;
  } cases[] = {
      {R"({"type": "Osclator", "name": "osc"})", "", "", 2,
       ":4:12: no module type 'Osclator' for module \"osc\" (did you mean 'Oscillator'?)"},
      {R"({"type": "Oscillator", "name": "osc", "plug_values": {"Pich": 5}})", "", "", 2,
       ":4:65: module \"osc\" (Oscillator) has no plug \"Pich\" (did you mean 'Pitch'?)"},
      {R"({"type": "KeyBoard", "name": "keys"})", R"("keys.MIDI Out -> vca.Signal")", "", 2,
       ":5:18: Can't connect different plug types: \"keys.MIDI Out\" is midi, \"vca.Signal\" is "
       "audio"},
      {R"({"type": "KeyBoard", "name": "keys"})", R"("keys.MIDI Out -> vca.Signal")", "--warn-only",
       0, ":5:18: warning: Can't connect different plug types"},
      {R"({"type": "KeyBoard", "name": "keys"})", R"("keys.MIDI Out -> vcx.Signal")", "", 2,
       ":5:18: no module and plug 'vcx.Signal' here (did you mean 'vca'?)"},
      {R"({"type": "Oscillator", "name": "osc", "plug_values": {"Pitch": "high"}})", "", "", 2,
       ":4:66: module \"osc\" (Oscillator) plug \"Pitch\" takes a number, not \"high\""},
      {R"({"type": "Oscillator", "name": "osc", "plug_values": {"Waveform": "Saw"}})", "", "", 2,
       ":4:69: module \"osc\" (Oscillator) plug \"Waveform\" takes the value of one of its items "
       "(0 Sine, 1 Saw, 2 Ramp, 3 Triangle, 4 Pulse, 5 White Noise, 6 Pink Noise), not \"Saw\" "
       "(did you mean 1?)"},
      {R"({"type": "Wave Player", "name": "wp", "plug_values": {"File Name": "nowhere"}})", "", "",
       2,
       ":4:70: module \"wp\" (Wave Player) plug \"File Name\" names \"nowhere.wav\", which is "
       "neither among the project's \"files\" nor on disk"},
      {R"({"type": "Wave Player", "name": "wp", "plug_values": {"File Name": "beside.wav"}})", "",
       "", 2,
       ":4:70: module \"wp\" (Wave Player) plug \"File Name\" names \"beside.wav\", which "
       "is beside the project but not among its \"files\""},
      {R"({"type": "Wave Recorder", "name": "take", "plug_values": {"File Name": "new.wav"}})",
       R"x("vca.Output -> take.Left (Mono)")x", "", 0, ""},
  };
  const std::string stream = (scratch.path() / "p.ov1").string();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.module + " " + c.connection + " " + c.options);
    write(c.module, c.connection);
    for (const std::string command : {"compile", "bake"}) {
      const std::string output = command == "compile" ? stream : stream + ".so";
      const Ran ran = RunOrvane(command + " " + name + " -o " + output + " " + c.options);
      EXPECT_EQ(ran.exit_code, c.exit_code) << command;
      if (c.message.empty()) {
        EXPECT_EQ(ran.err, "") << command;  // a recorder's file is one it writes
      } else {
        EXPECT_NE(ran.err.find(name + c.message), std::string::npos) << command << ": " << ran.err;
      }
    }
  }
  // A vendor of the project's own needs plugin_flags bit 2: told, not refused.
  std::ofstream(project) << "{\"vendor\": \"Acme\", \"plugin_flags\": 1,\n"
                            " \"root\": {\"type\": \"Container\"}}\n";
  const Ran vendor = RunOrvane("compile " + name + " -o " + stream);
  EXPECT_EQ(vendor.exit_code, 0) << vendor.err;
  EXPECT_NE(vendor.err.find(name + ":1:12: warning: hosts are told the vendor \"Orvane\", not "
                                   "\"Acme\", unless \"plugin_flags\" has bit 2 (add 4)"),
            std::string::npos)
      << vendor.err;
  // The last stream compiled with a warning is a stored project: it bakes.
  write(R"({"type": "KeyBoard", "name": "keys"})", R"("keys.MIDI Out -> vca.Signal")");
  ASSERT_EQ(RunOrvane("compile " + name + " -o " + stream + " --warn-only").exit_code, 0);
  const Ran baked = RunOrvane("bake " + stream + " -o " + stream + ".so");
  EXPECT_EQ(baked.exit_code, 0) << baked.err;
}

// The example effect rendered from its JSON: the input and a tail, the
// clipping of a hot input counted, the levels over time showing the echoes
// die away; without an input it says it heard silence.
TEST(CommandLine, RenderOfAnEffectHearsItsTailAndCountsClipping) {
  ScratchFolder scratch;
  AudioClip loud{48000, {std::vector<float>(14400)}};  // 0.3 s peaking at +3.5 dBFS
  for (std::size_t i = 0; i < loud.channels[0].size(); ++i) {
    loud.channels[0][i] = 1.5f * static_cast<float>(std::sin(i * 2 * 3.14159265 * 440 / 48000));
  }
  const std::string input = (scratch.path() / "loud.wav").string();
  std::string error;
  ASSERT_TRUE(WriteFloatWavFile(input, loud, &error)) << error;
  const std::string echo = std::string(OV_EXAMPLES_DIR) + "/echo.json";
  const std::string output = (scratch.path() / "echo.wav").string();

  const Ran ran =
      RunOrvane("render " + echo + " --in " + input + " --tail 1 --levels 0.25 -o " + output);
  ASSERT_EQ(ran.exit_code, 0) << ran.err;
  EXPECT_NE(ran.out.find("the input's 0.300 s and a 1.0 s tail after it"), std::string::npos)
      << ran.out;
  EXPECT_NE(ran.err.find("samples exceed 0 dBFS (peak +3.5 dBFS), the first at 0.000 s on "
                         "channel 1"),
            std::string::npos)
      << ran.err;
  const std::optional<AudioClip> rendered = ReadWavFile(output, &error);
  ASSERT_TRUE(rendered) << error;
  EXPECT_EQ(rendered->FrameCount(), 62400u);
  // One line per quarter second; the echoes fall in the tail, silence none.
  std::vector<std::string> levels;
  for (std::size_t at = ran.out.find("\n  "); at != std::string::npos;
       at = ran.out.find("\n  ", at + 1)) {
    const std::string line = ran.out.substr(at + 3, ran.out.find('\n', at + 1) - at - 3);
    if (line.find(" s: ") != std::string::npos) levels.push_back(line);
  }
  ASSERT_EQ(levels.size(), 6u) << ran.out;
  EXPECT_EQ(levels[4].rfind("1.00 s: ", 0), 0u) << levels[4];
  EXPECT_EQ(levels[5].find("-inf"), std::string::npos) << levels[5];

  const Ran dry = RunOrvane("render " + echo + " --seconds 0.1 -o " + output);
  EXPECT_EQ(dry.exit_code, 0) << dry.err;
  EXPECT_NE(dry.err.find("no --in was given: it rendered silence in"), std::string::npos)
      << dry.err;
  EXPECT_EQ(dry.err.find("0 dBFS"), std::string::npos) << dry.err;
}

// The demo's patches differ in waveform: the host's program and a MIDI
// program change to the selector each change what it renders.
TEST(CommandLine, RenderOfTheDemoFollowsProgramChanges) {
  ScratchFolder scratch;
  const std::string demo = std::string(OV_EXAMPLES_DIR) + "/demo.json";
  // One note, after a program change to 1 when `change` is set.
  const auto midi_file = [&](bool change) {
    std::vector<uint8_t> track = {0x00, 0xC0, 0x01, 0x00, 0x90, 0x45, 0x64,
                                  0x60, 0x80, 0x45, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    if (!change) track.erase(track.begin(), track.begin() + 3);
    std::vector<uint8_t> bytes = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                                  'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(track.size())};
    bytes.insert(bytes.end(), track.begin(), track.end());
    const fs::path path = scratch.path() / (change ? "change.mid" : "plain.mid");
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
  };
  const auto render = [&](const std::string& options, const std::string& name) {
    const std::string output = (scratch.path() / name).string();
    const Ran ran = RunOrvane("render " + demo + " " + options + " --seconds 0.5 -o " + output);
    EXPECT_EQ(ran.exit_code, 0) << ran.err;
    std::string error;
    const std::optional<AudioClip> clip = ReadWavFile(output, &error);
    EXPECT_TRUE(clip) << error;
    return clip ? clip->channels[0] : std::vector<float>();
  };
  const std::vector<float> plain = render("--midi " + midi_file(false), "plain.wav");
  ASSERT_FALSE(plain.empty());
  EXPECT_NE(render("--midi " + midi_file(false) + " --program 1", "host.wav"), plain);
  EXPECT_NE(render("--midi " + midi_file(true), "midi.wav"), plain);
  EXPECT_EQ(render("--midi " + midi_file(false) + " --program 0", "same.wav"), plain);
}

// Every example of the patching guide, as the guide gives it: it compiles
// without a finding and renders sound with the options its comment names.
TEST(CommandLine, PatchingGuideExamplesCompileAndSound) {
  ScratchFolder scratch;
  AudioClip tone{48000, {std::vector<float>(48000)}};
  for (std::size_t i = 0; i < tone.channels[0].size(); ++i) {
    tone.channels[0][i] = 0.5f * static_cast<float>(std::sin(i * 2 * 3.14159265 * 440 / 48000));
  }
  const std::string input = (scratch.path() / "in.wav").string();
  std::string error;
  ASSERT_TRUE(WriteFloatWavFile(input, tone, &error)) << error;

  const std::string guide = ReadAll(std::string(OV_EXAMPLES_DIR) + "/../docs/patching.md");
  const std::string marker = "<!-- render: ";
  int examples = 0;
  for (std::size_t at = guide.find(marker); at != std::string::npos;
       at = guide.find(marker, at + 1)) {
    std::string options =
        guide.substr(at + marker.size(), guide.find(" -->", at) - at - marker.size());
    const std::size_t in = options.find("IN.wav");
    if (in != std::string::npos) options.replace(in, 6, input);
    const std::size_t begin = guide.find("```json\n", at) + 8;
    const std::string project =
        (scratch.path() / ("example" + std::to_string(examples++) + ".json")).string();
    std::ofstream(project) << guide.substr(begin, guide.find("```", begin) - begin);
    SCOPED_TRACE(project + " " + options);

    const Ran compiled = RunOrvane("compile " + project + " -o " + project + ".ov1");
    EXPECT_EQ(compiled.exit_code, 0) << compiled.err;
    EXPECT_EQ(compiled.err, "");
    const std::string output = project + ".wav";
    const Ran rendered = RunOrvane("render " + project + " " + options + " -o " + output);
    ASSERT_EQ(rendered.exit_code, 0) << rendered.err;
    EXPECT_EQ(rendered.err.find("0 dBFS"), std::string::npos) << rendered.err;
    const std::optional<AudioClip> audio = ReadWavFile(output, &error);
    ASSERT_TRUE(audio) << error;
    float peak = 0;
    for (const float sample : audio->channels.at(0)) peak = std::max(peak, std::fabs(sample));
    EXPECT_GT(peak, 0.05f);
  }
  EXPECT_GE(examples, 3);
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

  // An LV2 bundle goes to ~/.lv2 whole; installing again leaves no file of
  // the earlier copy behind.
  const fs::path bundle = home.path() / "Synth.lv2";
  ASSERT_EQ(RunOrvane("bake " + std::string(OV_EXAMPLES_DIR) + "/demo-synth.json --lv2 -o " +
                      bundle.string()).exit_code, 0);
  const fs::path installed_bundle = home.path() / ".lv2" / "Synth.lv2";
  for (int round = 0; round < 2; ++round) {
    const Ran copied = RunOrvane("install " + bundle.string() + "/", environment);
    EXPECT_EQ(copied.out, "Installed " + installed_bundle.string() + "\n") << copied.err;
    EXPECT_EQ(ReadAll(installed_bundle / "Synth.so"), ReadAll(bundle / "Synth.so"));
    EXPECT_EQ(ReadAll(installed_bundle / "manifest.ttl"), ReadAll(bundle / "manifest.ttl"));
    EXPECT_FALSE(fs::exists(installed_bundle / "stale.ttl"));
    std::ofstream(installed_bundle / "stale.ttl") << "from an earlier bake";
  }
  fs::create_directories(home.path() / "Plain.lv2");
  const Ran not_ours = RunOrvane("install " + (home.path() / "Plain.lv2").string(), environment);
  EXPECT_EQ(not_ours.exit_code, 1);
  EXPECT_NE(not_ours.err.find("not an LV2 bundle of an Orvane plug-in"), std::string::npos);
  EXPECT_EQ(RunOrvane("uninstall Synth.lv2", environment).exit_code, 0);
  EXPECT_FALSE(fs::exists(installed_bundle));
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
    // Panel groups and sub-panels furnish the panel and have no plugs, so the
    // graph has no node for them.
    const bool furnishing = type == "Panel Group" || type == "Sub Panel";
    if (type == "Container") {
      Expect(module, expected);
    } else if (!furnishing) {
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
