// Debian's plug-ins hosted inside baked projects, rendered by `orvane render`
// in processes of their own, against the same plug-ins rendered directly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "document/container.h"
#include "document/document.h"
#include "document/vst_plugin_module.h"
#include "media/wav_file.h"
#include "platform/files.h"
#include "tests/host/plugin_test_support.h"
#include "tests/host/temp_folder.h"

namespace ov {
namespace {

using testing::BuildDir;
using testing::RunProgram;
using testing::TempFolder;

constexpr char kKars[] = "/usr/lib/vst/Kars-vst.so";
constexpr char kFreeverb[] = "/usr/lib/vst/MaFreeverb-vst.so";
constexpr char kRoom[] = "/usr/lib/lxvst/DragonflyRoomReverb-vst.so";

std::string Example(const std::string& name) {
  std::ifstream in(std::string(OV_EXAMPLES_DIR) + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<float> FirstChannel(const std::string& wav) {
  std::string error;
  const std::optional<AudioClip> clip = ReadWavFile(wav, &error);
  EXPECT_TRUE(clip.has_value()) << error;
  if (!clip || clip->channels.empty()) return {};
  return clip->channels[0];
}

std::vector<float> Render(const std::string& library, const std::string& options,
                          const std::string& out) {
  std::string log;
  EXPECT_EQ(RunProgram(BuildDir() + "/orvane render " + library + " " + options +
                           " --rate 44100 -o " + out,
                       &log),
            0)
      << log;
  return FirstChannel(out);
}

struct HostedCase {
  const char* name;
  const char* example;
  const char* library;       // the plug-in rendered directly
  const char* project_edit;  // replaces the module's first line, or empty
  const char* options;       // for both renders
  const char* direct_only;   // for the direct render
  int32_t delay;             // samples our render lags the direct one by
};

const HostedCase kCases[] = {
    {"kars 512", "hosted-kars.json", kKars, "", "--note 60:100:0.1:0.5 --seconds 1 --block 512",
     "--param 2=0.25", 0},
    {"kars 100", "hosted-kars.json", kKars, "", "--note 60:100:0.1:0.5 --seconds 1 --block 100",
     "--param 2=0.25", 0},
    {"kars aligned", "hosted-kars.json", kKars, "\"plug_values\": {\"Data Alignment Fix\": 1},",
     "--note 60:100:0.1:0.5 --seconds 1 --block 512", "--param 2=0.25", 32},
    {"freeverb", "hosted-freeverb.json", kFreeverb, "",
     "--in /usr/share/sounds/alsa/Front_Center.wav --tail 1 --block 256", "", 0},
};

TEST(HostedPlugins, RenderAsTheirDirectRender) {
  for (const HostedCase& c : kCases) {
    SCOPED_TRACE(c.name);
    if (!std::filesystem::exists(c.library)) {
      ADD_FAILURE() << c.library << " is missing: scripts/deps.sh installs it";
      continue;
    }
    TempFolder folder;
    std::string project = Example(c.example);
    if (*c.project_edit != '\0') {
      const std::string anchor = "\"vst_plugin\":";
      project.insert(project.find(anchor), c.project_edit);
    }
    const std::string json = folder / "project.json";
    std::ofstream(json) << project;
    std::string log;
    ASSERT_EQ(RunProgram(BuildDir() + "/orvane bake " + json + " -o " + (folder / "baked.so"), &log),
              0)
        << log;
    const std::vector<float> ours = Render(folder / "baked.so", c.options, folder / "ours.wav");
    const std::vector<float> direct =
        Render(c.library, std::string(c.options) + " " + c.direct_only, folder / "direct.wav");
    ASSERT_GT(direct.size(), 1000u);
    ASSERT_EQ(ours.size(), direct.size());
    float loudest = 0.0f;
    std::size_t differing = 0;
    for (std::size_t i = static_cast<std::size_t>(c.delay); i < ours.size(); ++i) {
      loudest = std::max(loudest, std::abs(direct[i]));
      if (std::abs(ours[i] - direct[i - static_cast<std::size_t>(c.delay)]) > 1e-6f) ++differing;
    }
    EXPECT_GT(loudest, 0.01f);
    EXPECT_EQ(differing, 0u);
    for (int32_t i = 0; i < c.delay; ++i) EXPECT_EQ(ours[static_cast<std::size_t>(i)], 0.0f);
  }
}

// Our bank chunk carries the hosted plug-in's state: a session saved with
// Kars at volume 0.25 brings 0.25 back into a project that set 0.75.
TEST(HostedPlugins, SavedSessionRestoresTheHostedState) {
  if (!std::filesystem::exists(kKars)) GTEST_SKIP() << kKars << " is missing";
  TempFolder folder;
  const std::string notes = "--note 60:100:0.1:0.5 --seconds 1";
  std::string log;
  std::vector<float> renders[2];
  for (int loud = 0; loud < 2; ++loud) {
    std::string project = Example("hosted-kars.json");
    if (loud != 0) project.replace(project.find("0.25"), 4, "0.75");
    const std::string json = folder / ("kars" + std::to_string(loud) + ".json");
    std::ofstream(json) << project;
    const std::string baked = folder / ("kars" + std::to_string(loud) + ".so");
    ASSERT_EQ(RunProgram(BuildDir() + "/orvane bake " + json + " -o " + baked, &log), 0) << log;
    renders[loud] = Render(baked, notes + (loud == 0 ? " --save-state " + (folder / "quiet.fxb")
                                                      : std::string()),
                           folder / "plain.wav");
  }
  const std::vector<float> restored =
      Render(folder / "kars1.so", notes + " --load-state " + (folder / "quiet.fxb"),
             folder / "restored.wav");
  ASSERT_EQ(restored.size(), renders[0].size());
  EXPECT_NE(renders[0], renders[1]);
  EXPECT_EQ(restored, renders[0]);
}

// Dragonfly keeps its state as a chunk: a changed "Dry Level" stored in the
// project is loaded into the plug-in and written back byte for byte, and
// our session state carries it to a project that stored the default.
TEST(HostedPlugins, ChunkStateSurvivesLoadSaveAndSessions) {
  if (!std::filesystem::exists(kRoom)) GTEST_SKIP() << kRoom << " is missing";
  TempFolder folder;
  std::string log;
  std::vector<uint8_t> streams[2];
  for (int changed = 0; changed < 2; ++changed) {
    const std::string stem = folder / (changed != 0 ? "changed" : "plain");
    std::ofstream(stem + ".json") << R"({"version": 95960, "plugin_id": "OvDr", "root": {
      "type": "Container", "modules": [{"type": "Container", "name": "main",
        "io": [{"name": "In", "direction": "in", "datatype": "audio"},
               {"name": "Out", "direction": "out", "datatype": "audio"}],
        "modules": [{"type": "VST Plugin", "name": "room", "vst_plugin": {"path": ")"
                                  << kRoom << "\"" << (changed != 0 ? R"(, "parameters": {"Dry Level": 0.25})" : "")
                                  << R"(}}],
        "connections": ["io.In -> room.Signal in", "room.Signal Out -> io.Out"]}]}})";
    ASSERT_EQ(RunProgram(BuildDir() + "/orvane compile " + stem + ".json -o " + stem + ".ov1", &log), 0)
        << log;
    ASSERT_EQ(RunProgram(BuildDir() + "/orvane bake " + stem + ".json -o " + stem + ".so", &log), 0)
        << log;
    std::string error;
    ASSERT_TRUE(ReadFileBytes(stem + ".ov1", 1 << 24, &streams[changed], &error)) << error;
  }
  ASSERT_NE(streams[0], streams[1]);

  // Loaded (the plug-in takes the stored chunk), written, loaded again: the
  // chunk as stored and every byte of the second writing are kept.
  const auto room_of = [](const COrvaneDocBase& document) -> Ctl_VST_Plugin* {
    for (const auto& child : document.FindMainContainer()->children()) {
      if (auto* hosted = dynamic_cast<Ctl_VST_Plugin*>(child.get())) return hosted;
    }
    return nullptr;
  };
  std::vector<uint8_t> chunks[2];
  std::vector<uint8_t> written[2];
  std::vector<uint8_t> stream = streams[1];
  for (int round = 0; round < 2; ++round) {
    COrvaneDocBase document;
    ASSERT_TRUE(document.Load(stream, LoadOptions{}).ok);
    Ctl_VST_Plugin* room = room_of(document);
    ASSERT_NE(room, nullptr);
    ASSERT_TRUE(room->wrapper().Loaded()) << room->load_error();
    chunks[round] = room->bank_chunk();
    EXPECT_NEAR(room->wrapper().GetParameter(room->ParameterIndex("Dry Level")), 0.25f, 1e-6f);
    written[round] = document.Write(document.version());
    stream = written[round];
  }
  EXPECT_FALSE(chunks[0].empty());
  EXPECT_EQ(chunks[1], chunks[0]);
  EXPECT_EQ(written[1], written[0]);

  // A session saved with the change restores it into the plain project.
  const std::string quick = "--seconds 0.1 --rate 44100 -o " + (folder / "out.wav");
  ASSERT_EQ(RunProgram(BuildDir() + "/orvane render " + (folder / "changed.so") + " " + quick +
                           " --save-state " + (folder / "changed.fxb"),
                       &log),
            0)
      << log;
  ASSERT_EQ(RunProgram(BuildDir() + "/orvane render " + (folder / "plain.so") + " " + quick +
                           " --load-state " + (folder / "changed.fxb") + " --save-state " +
                           (folder / "restored.fxb"),
                       &log),
            0)
      << log;
  std::vector<uint8_t> saved, restored;
  std::string error;
  ASSERT_TRUE(ReadFileBytes(folder / "changed.fxb", 1 << 24, &saved, &error)) << error;
  ASSERT_TRUE(ReadFileBytes(folder / "restored.fxb", 1 << 24, &restored, &error)) << error;
  EXPECT_EQ(restored, saved);
}

}  // namespace
}  // namespace ov
