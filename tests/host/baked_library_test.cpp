// A project reaching the host: the facts read from a document, a library
// copy carrying a baked project or a data file beside it, and `orvane bake`.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>

#include "document/container.h"
#include "document/document.h"
#include "document/project_text.h"
#include "host/document_project.h"
#include "host/embedded_files.h"
#include "tests/host/temp_folder.h"
#include "platform/files.h"
#include "platform/dynamic_library.h"
#include "platform/message_sink.h"
#include "tests/host/fake_host.h"
#include "tests/host/plugin_test_support.h"
#include "tools/project_commands.h"

namespace ov {
namespace {

namespace fs = std::filesystem;

using testing::TempFolder;
using testing::BuildDir;
using testing::LoadedPlugin;
using testing::OpenPlugin;
using testing::RunProgram;

std::string GenericLibrary() { return BuildDir() + "/orvane-vst.so"; }

COrvaneDocBase Compile(const std::string& json, const std::string& base = ".") {
  CompileOptions options;
  options.base_directory = base;
  return CompileDocument(Json::parse(json), options);
}

std::vector<uint8_t> Stream(const std::string& json, const std::string& base = ".") {
  const COrvaneDocBase document = Compile(json, base);
  return document.Write(document.version());
}

void WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
  std::string error;
  ASSERT_TRUE(WriteFileBytes(path, bytes, &error)) << error;
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}


std::string EffectName(vst2::AEffect* effect) {
  char name[64] = {};
  effect->dispatcher(effect, vst2::effGetEffectName, 0, 0, name, 0);
  return name;
}

constexpr const char* kShapedProject = R"({
  "plugin_id": "Ab", "vendor": "Maker", "plugin_flags": 13, "programs": 7,
  "mono_capable": false,
  "root": {"modules": [
    {"type": "Patch Select"},
    {"type": "Container", "title": "Shaped", "io": [
      {"name": "In", "direction": "in", "datatype": "audio"},
      {"name": "Side", "direction": "in", "datatype": "audio"},
      {"name": "Out", "direction": "out", "datatype": "audio"},
      {"name": "Notes", "direction": "in", "datatype": "midi"},
      {"name": "Echo", "direction": "out", "datatype": "midi"},
      {"name": "Level", "direction": "in", "datatype": "float"}]}]}})";

TEST(DocumentFacts, ComeFromTheHeaderAndTheMainContainersVisiblePlugs) {
  COrvaneDocBase document = Compile(kShapedProject);
  CContainer* main = document.FindMainContainer();
  ASSERT_NE(main, nullptr);
  main->FindPlug("Side")->SetHidden(true);
  main->FindPlug("Notes")->SetHidden(true);

  const ProjectFacts facts = FactsOf(document, *main);
  EXPECT_EQ(facts.title, "Shaped");
  EXPECT_EQ(facts.plugin_id, "Ab");
  EXPECT_EQ(facts.vendor, "Maker");
  EXPECT_EQ(facts.product, "");
  EXPECT_EQ(facts.plugin_options, 13u);
  EXPECT_FALSE(facts.can_mono);
  EXPECT_EQ(facts.program_count, 7);
  // The "Patch Select" sits in the container around the main one.
  EXPECT_TRUE(facts.has_program_selection);
  EXPECT_EQ(facts.audio_inputs, std::vector<std::string>{"In"});
  EXPECT_EQ(facts.audio_outputs, std::vector<std::string>{"Out"});
  // A hidden MIDI input still asks the host for MIDI, but is not offered.
  EXPECT_TRUE(facts.has_midi_input);
  EXPECT_FALSE(facts.midi_input_visible);
  EXPECT_TRUE(facts.midi_output_visible);

  COrvaneDocBase plain =
      Compile(R"({"root": {"modules": [{"type": "Container", "modules": [{"type": "VCA"}]}]}})");
  const ProjectFacts plain_facts = FactsOf(plain, *plain.FindMainContainer());
  EXPECT_FALSE(plain_facts.has_program_selection);
  EXPECT_FALSE(plain_facts.has_midi_input);
  EXPECT_TRUE(plain_facts.audio_inputs.empty());
  EXPECT_TRUE(plain_facts.audio_outputs.empty());
}

TEST(DocumentProject, TheApplicationKeepsTheDocumentAndItsFiles) {
  TempFolder folder;
  WriteText(folder / "kick.wav", "RIFF-kick");
  WriteText(folder / "filter.ovm", "module library");
  const std::string library = folder / "Pad.so";
  WriteText(library, "not read: the project is in the data file");
  WriteBytes(folder / "Pad.dat", Stream(R"({"files": [{"path": "kick.wav"}, {"path": "filter.ovm"}],
                        "root": {"modules": [{"type": "Container", "title": "Pad"}]}})",
                                        folder.Path()));

  testing::FakeHost host;
  DocumentProject source(library);
  OvVst plugin(&testing::FakeHost::Callback, source);
  ASSERT_FALSE(plugin.LoadFailed());
  ASSERT_NE(plugin.App().Document(), nullptr);
  EXPECT_EQ(plugin.App().Document()->FindMainContainer()->title(), "Pad");
  const EmbeddedFiles* files = plugin.App().Files();
  ASSERT_NE(files, nullptr);
  ASSERT_EQ(files->InMemory().size(), 1u);
  EXPECT_EQ(files->InMemory()[0].name, "kick.wav");
  ASSERT_EQ(files->Written().size(), 1u);
  EXPECT_EQ(files->Written()[0], folder / "Pad/filter.ovm");
  EXPECT_TRUE(fs::exists(folder / "Pad/filter.ovm"));
  EXPECT_FALSE(fs::exists(folder / "Pad/kick.wav"));
}

TEST(DocumentProject, UnusableProjectsPostWhyAndGiveNothing) {
  TempFolder folder;
  const std::string library = folder / "Pad.so";
  WriteText(library, "library");
  MessageSink messages;
  messages.SetLogToStderr(false);

  // No resource, no data file.
  EXPECT_FALSE(DocumentProject(library).Load(messages));
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].text,
            "Pad: Can't find plugin data file. (" + (folder / "Pad.dat") + ")");

  // A stream cut short: the reader's error, named after the library.
  std::vector<uint8_t> stream =
      Stream(R"({"root": {"modules": [{"type": "Container", "title": "Pad"}]}})");
  stream.resize(stream.size() / 2);
  WriteBytes(folder / "Pad.dat", stream);
  messages.Clear();
  EXPECT_FALSE(DocumentProject(library).Load(messages));
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].text.rfind("Pad: ", 0), 0u) << messages.Messages()[0].text;
  EXPECT_EQ(messages.Messages()[0].style, MessageStyle::kError);

  // A stream that loads but holds only modules, no container.
  WriteBytes(folder / "Pad.dat", Stream(R"({"root": {"modules": [{"type": "VCA"}]}})"));
  messages.Clear();
  DocumentProject no_main(library);
  EXPECT_FALSE(no_main.Load(messages));
  EXPECT_TRUE(messages.Contains("Pad: The project has no main container."));
  EXPECT_EQ(no_main.TakeHoldings().document, nullptr);
}

TEST(BakedLibrary, InfoShowsTheProjectAsAHostSeesIt) {
  TempFolder folder;
  const std::string baked = folder / "OrvaneDemo.so";
  std::ostringstream out, err;
  ASSERT_EQ(RunBakeCommand({OV_EXAMPLES_DIR "/demo.json", baked, GenericLibrary()}, out, err), 0)
      << err.str();
  struct stat status {};
  ASSERT_EQ(stat(baked.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0755u);

  std::string info;
  ASSERT_EQ(RunProgram(BuildDir() + "/orvane info " + baked, &info), 0) << info;
  for (const char* line :
       {"Name: Orvane Demo\n", "Unique id: 'OvDm'",
        "Flags: HasEditor CanMono CanReplacing ProgramChunks IsSynth\n", "Inputs: 0\n",
        "Outputs: 2\n",
        "  0: \"Left\" (short \"Left\") active\n", "  1: \"Right\" (short \"Right\") active\n",
        "Programs: 2\n", "receiveVstMidiEvent: yes\n", "sendVstMidiEvent: no\n"}) {
    EXPECT_NE(info.find(line), std::string::npos) << line << " missing from\n" << info;
  }

  // Baking the baked library again replaces its project.
  WriteText(
      folder / "other.json",
      R"({"plugin_id": "OvOt", "root": {"modules": [{"type": "Container", "title": "Other"}]}})");
  ASSERT_EQ(RunBakeCommand({folder / "other.json", folder / "Other.so", baked}, out, err), 0)
      << err.str();
  LoadedPlugin other;
  OpenPlugin(folder / "Other.so", &other);
  ASSERT_NE(other.effect, nullptr);
  EXPECT_EQ(EffectName(other.effect), "Other");
  EXPECT_EQ(other.effect->numOutputs, 0);
}

// The generic library ships without debug information; a debugger finds it
// through the library's debug link, which the appended project leaves intact,
// in the file that baking puts beside the baked library.
TEST(BakedLibrary, KeepsItsDebugLinkWithTheDebugInformationBesideIt) {
  const std::string debug = GenericLibrary() + ".debug";
  if (!fs::exists(debug)) GTEST_SKIP() << "this build keeps its debug information inside";
  TempFolder folder;
  const std::string baked = folder / "Synth.so";
  std::ostringstream out, err;
  ASSERT_EQ(RunBakeCommand({OV_EXAMPLES_DIR "/demo-synth.json", baked, GenericLibrary()}, out,
                           err),
            0)
      << err.str();
  EXPECT_EQ(err.str(), "");
  ASSERT_TRUE(fs::exists(folder / "orvane-vst.so.debug"));
  EXPECT_EQ(fs::file_size(folder / "orvane-vst.so.debug"), fs::file_size(debug));

  std::string sections;
  ASSERT_EQ(RunProgram("readelf --string-dump=.gnu_debuglink " + baked, &sections), 0) << sections;
  EXPECT_NE(sections.find("orvane-vst.so.debug"), std::string::npos) << sections;
  LoadedPlugin plugin;
  OpenPlugin(baked, &plugin);
  ASSERT_NE(plugin.effect, nullptr);
  EXPECT_EQ(EffectName(plugin.effect), "Orvane Demo Synth");
  // Baking again beside it replaces the file rather than failing on it.
  ASSERT_EQ(RunBakeCommand({OV_EXAMPLES_DIR "/demo-synth.json", folder / "Again.so",
                            GenericLibrary()},
                           out, err),
            0);
  EXPECT_EQ(err.str(), "");
}

TEST(BakedLibrary, WithoutAProjectTheDataFileServesAndThenNothing) {
  TempFolder folder;
  const std::string library = folder / "Pad.so";
  fs::copy_file(GenericLibrary(), library);
  WriteBytes(folder / "Pad.dat", Stream(R"({"plugin_flags": 1,
      "root": {"modules": [{"type": "Container", "title": "From the data file",
        "io": [{"name": "Out", "direction": "out", "datatype": "audio"}]}]}})"));
  {
    LoadedPlugin plugin;
    OpenPlugin(library, &plugin);
    ASSERT_NE(plugin.effect, nullptr);
    EXPECT_EQ(EffectName(plugin.effect), "From the data file");
    EXPECT_EQ(plugin.effect->numOutputs, 1);
    EXPECT_NE(plugin.effect->flags & vst2::effFlagsIsSynth, 0);
  }
  // Each instance reads the project afresh, so the same loaded library now
  // finds nothing and the host gets no plug-in.
  fs::remove(folder / "Pad.dat");
  LoadedPlugin none;
  OpenPlugin(library, &none);
  EXPECT_EQ(none.effect, nullptr);
}

TEST(BakeCommand, RefusesProjectsThePluginCouldNotLoad) {
  TempFolder folder;
  std::ostringstream out, err;
  const std::string output = folder / "Bad.so";

  std::vector<uint8_t> cut =
      Stream(R"({"root": {"modules": [{"type": "Container", "title": "Cut"}]}})");
  cut.resize(cut.size() - 3);
  WriteBytes(folder / "cut.ov1", cut);
  EXPECT_EQ(RunBakeCommand({folder / "cut.ov1", output, GenericLibrary()}, out, err), 1);
  EXPECT_NE(err.str().find("orvane bake: " + (folder / "cut.ov1") + ": "), std::string::npos)
      << err.str();

  err.str("");
  WriteText(folder / "flat.json", R"({"root": {"modules": [{"type": "VCA"}]}})");
  EXPECT_EQ(RunBakeCommand({folder / "flat.json", output, GenericLibrary()}, out, err), 1);
  EXPECT_NE(err.str().find("the project has no main container"), std::string::npos) << err.str();

  err.str("");
  WriteText(folder / "broken.json", R"({"root": )");
  // Text a person must mend is refused as compile refuses it.
  EXPECT_EQ(RunBakeCommand({folder / "broken.json", output, GenericLibrary()}, out, err), 2);
  EXPECT_NE(err.str().find("orvane bake: " + (folder / "broken.json")), std::string::npos);

  err.str("");
  WriteText(folder / "good.json",
            R"({"root": {"modules": [{"type": "Container", "title": "Good"}]}})");
  EXPECT_EQ(RunBakeCommand({folder / "good.json", output, folder / "missing.so"}, out, err), 1);
  EXPECT_NE(err.str().find("missing.so"), std::string::npos) << err.str();
  EXPECT_FALSE(fs::exists(output));
}

}  // namespace
}  // namespace ov
