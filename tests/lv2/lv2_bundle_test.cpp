// The LV2 bundle of a project, loaded by lilv and by the LV2 tools as hosts
// load it, plays and keeps its state as the VST 2 build of the same project.
#include "tools/lv2_bundle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "media/wav_file.h"
#include "tests/host/plugin_test_support.h"
#include "tests/host/temp_folder.h"
#include "tools/lv2_host.h"
#include "tools/project_commands.h"
#include "tools/render.h"

namespace ov::testing {
namespace {

constexpr double kRate = 48000;
constexpr const char* kDemoSynthUri = "urn:orvane:lv2:4f765379:Orvane_Demo_Synth";
constexpr const char* kTwoPatchesUri = "urn:orvane:lv2:4f765432:Two_Patches";
constexpr const char* kBankKey = "urn:orvane:lv2:state#bank";

// The demo synthesiser, and a variant of it with two patches: the saw and
// the pulse wave.
std::string Project(const std::string& name) {
  return name == "two_patches" ? std::string(OV_TEST_DIR) + "/two_patches.json"
                               : std::string(OV_EXAMPLES_DIR) + "/" + name + ".json";
}

// The bundle NAME.lv2 and the VST 2 library NAME.so of a project, baked
// into `folder`.
void BakeBoth(const std::string& name, const TempFolder& folder) {
  std::ostringstream out;
  std::ostringstream err;
  BakeCommandLine lv2{Project(name), folder / "bundles/" + name + ".lv2", OV_LV2_LIBRARY, true};
  ASSERT_EQ(RunBakeLv2Command(lv2, out, err), 0) << err.str();
  BakeCommandLine vst{Project(name), folder / name + ".so", OV_VST_LIBRARY, false};
  ASSERT_EQ(RunBakeCommand(vst, out, err), 0) << err.str();
}

struct Notes {
  std::vector<NoteRequest> requests;
  std::vector<ScheduledMidi> midi;  // the same, as the render host sends them
};

// Two overlapping notes starting inside blocks of any size, one each side
// of middle C.
Notes TwoNotes() {
  Notes notes;
  notes.requests = {{48, 100, 0.01, 0.4}, {67, 90, 0.2, 0.5}};
  for (const NoteRequest& note : notes.requests) {
    const auto key = static_cast<uint8_t>(note.key);
    const auto at = [](double seconds) {
      return static_cast<int64_t>(std::llround(seconds * kRate));
    };
    notes.midi.push_back(
        {at(note.start_seconds), {0x90, key, static_cast<uint8_t>(note.velocity)}});
    notes.midi.push_back({at(note.start_seconds + note.length_seconds), {0x80, key, 0}});
  }
  std::stable_sort(
      notes.midi.begin(), notes.midi.end(),
      [](const ScheduledMidi& a, const ScheduledMidi& b) { return a.frame < b.frame; });
  return notes;
}

RenderResult RenderVstWithMidi(const std::string& library, int32_t block,
                               std::optional<int32_t> program = std::nullopt) {
  RenderSettings settings;
  settings.plugin_path = library;
  settings.notes = TwoNotes().requests;
  settings.seconds = 1.0;
  settings.sample_rate = kRate;
  settings.block_size = block;
  settings.program = program;
  std::ostringstream log;
  std::string error;
  std::optional<RenderResult> result = Render(settings, log, false, &error);
  EXPECT_TRUE(result) << error;
  return result ? *result : RenderResult{};
}

std::vector<std::vector<float>> RenderVst(const std::string& library, int32_t block,
                                          std::optional<int32_t> program = std::nullopt) {
  return RenderVstWithMidi(library, block, program).audio.channels;
}

double Energy(const std::vector<std::vector<float>>& channels) {
  double sum = 0;
  for (const auto& channel : channels) {
    for (const float sample : channel) sum += static_cast<double>(sample) * sample;
  }
  return sum;
}

// Plays the two notes from a fresh engine, rendering offline as the render
// host does.
std::vector<std::vector<float>> PlayNotes(Lv2Instance& instance) {
  instance.Deactivate();
  instance.Activate();
  return instance.Play(TwoNotes().midi, static_cast<int64_t>(kRate));
}

TEST(Lv2Bundle, HostToolsListItsPortsAndPresetsAndItsTurtleValidates) {
  TempFolder folder;
  BakeBoth("demo-synth", folder);
  BakeBoth("two_patches", folder);
  const std::string bundles = folder / "bundles";
  struct Case {
    const char* uri;
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {kDemoSynthUri,
       {"Name:              Orvane Demo Synth", "Symbol:      Left", "Symbol:      Right",
        "Symbol:      events_in", "Symbol:      freewheel", "Symbol:      Waveform",
        "http://lv2plug.in/ns/lv2core#enumeration", "= \"Pulse\"", "Patch   1"}},
      {kTwoPatchesUri,
       {"Presets:", "\t         Saw\n", "\t         Pulse\n", "Symbol:      Waveform"}},
  };
  for (const Case& c : cases) {
    std::string output;
    EXPECT_EQ(RunProgram("LV2_PATH=" + bundles + " lv2info " + c.uri, &output), 0) << output;
    for (const std::string& text : c.shown) {
      EXPECT_NE(output.find(text), std::string::npos) << c.uri << " lacks " << text << "\n"
                                                      << output;
    }
  }
  std::string output;
  EXPECT_EQ(RunProgram("sord_validate $(find /usr/lib/lv2 -name '*.ttl') " + bundles + "/*/*.ttl",
                       &output),
            0);
  EXPECT_NE(output.find("Found 0 errors"), std::string::npos) << output;
}

// The synthesiser, and the keyboard split that sends the notes below
// middle C on as MIDI: the same audio and the same MIDI, at every block size.
TEST(Lv2Bundle, PlaysAsTheVst2BuildSampleForSample) {
  TempFolder folder;
  BakeBoth("demo-synth", folder);
  BakeBoth("midi-split", folder);
  Lv2World world(folder / "bundles");
  struct Case {
    const char* project;
    const char* uri;
  };
  for (const Case& c : {Case{"demo-synth", kDemoSynthUri},
                        Case{"midi-split", "urn:orvane:lv2:4f765370:Orvane_Keyboard_Split"}}) {
    for (const int32_t block : {512, 100, 33}) {
      SCOPED_TRACE(std::string(c.project) + " in blocks of " + std::to_string(block));
      const RenderResult expected = RenderVstWithMidi(folder / c.project + ".so", block);
      Lv2Instance instance(world, c.uri, kRate, block);
      ASSERT_TRUE(instance.Ok());
      instance.SetControl("freewheel", 1.0f);
      instance.Activate();
      const std::vector<std::vector<float>> played =
          instance.Play(TwoNotes().midi, static_cast<int64_t>(kRate));
      instance.Deactivate();
      ASSERT_EQ(played.size(), expected.audio.channels.size());
      EXPECT_GT(Energy(played), 1.0);
      for (std::size_t ch = 0; ch < played.size(); ++ch) {
        const std::vector<float>& want = expected.audio.channels[ch];
        ASSERT_EQ(played[ch].size(), want.size());
        const auto [differs, _] = std::mismatch(played[ch].begin(), played[ch].end(), want.begin());
        EXPECT_EQ(differs - played[ch].begin(), std::ssize(played[ch])) << "channel " << ch;
      }
      const std::vector<ScheduledMidi> sent = instance.TakeMidiOutput();
      ASSERT_EQ(sent.size(), expected.midi_output.size());
      for (std::size_t m = 0; m < sent.size(); ++m) {
        EXPECT_EQ(sent[m].frame, expected.midi_output[m].frame) << "message " << m;
        EXPECT_EQ(std::memcmp(sent[m].bytes, expected.midi_output[m].bytes, 3), 0) << m;
      }
      if (std::string(c.project) == "midi-split") {
        EXPECT_EQ(sent.size(), 2u);  // the low note's on and off
      }
    }
  }
}

TEST(Lv2Bundle, StateComesBackBitForBitAndDamageIsRefused) {
  TempFolder folder;
  BakeBoth("demo-synth", folder);
  Lv2World world(folder / "bundles");
  const uint32_t bank_key = world.Id(kBankKey);
  const auto make = [&](float waveform) {
    auto instance = std::make_unique<Lv2Instance>(world, kDemoSynthUri, kRate, 256);
    instance->SetControl("freewheel", 1.0f);
    instance->SetControl("Waveform", waveform);
    instance->Activate();
    instance->Play({}, 256);  // the control reaches the plug-in
    return instance;
  };
  // Saved with the pulse wave; played later by an instance set to the ramp.
  std::unique_ptr<Lv2Instance> saver = make(4.0f);
  const std::vector<Lv2SavedProperty> saved = saver->Save();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].key, bank_key);
  EXPECT_EQ(saved[0].type, world.Id(LV2_ATOM__Chunk));
  const std::vector<std::vector<float>> pulse = PlayNotes(*saver);
  const std::vector<std::vector<float>> ramp = PlayNotes(*make(2.0f));
  ASSERT_NE(pulse, ramp);

  std::unique_ptr<Lv2Instance> restored = make(2.0f);
  EXPECT_EQ(restored->Restore(saved), LV2_STATE_SUCCESS);
  EXPECT_EQ(PlayNotes(*restored), pulse);
  // Saving again gives the same chunk.
  EXPECT_EQ(restored->Save()[0].value, saved[0].value);

  struct Damage {
    const char* what;
    std::function<void(Lv2SavedProperty&)> apply;
  };
  const Damage damages[] = {
      {"cut short", [](Lv2SavedProperty& p) { p.value.resize(p.value.size() / 2); }},
      {"empty", [](Lv2SavedProperty& p) { p.value.clear(); }},
      {"count too large",
       [](Lv2SavedProperty& p) {
         for (std::size_t i = 8; i < p.value.size() && i < 24; ++i) p.value[i] = 0xFF;
       }},
      {"not a chunk", [&](Lv2SavedProperty& p) { p.type = world.Id(LV2_ATOM__String); }},
  };
  for (const Damage& damage : damages) {
    std::vector<Lv2SavedProperty> bad = saved;
    damage.apply(bad[0]);
    std::unique_ptr<Lv2Instance> kept = make(2.0f);
    EXPECT_NE(kept->Restore(bad), LV2_STATE_SUCCESS) << damage.what;
    EXPECT_EQ(PlayNotes(*kept), ramp) << damage.what;
  }
}

// A project that plays a WAV named by its full path and records what it
// plays under a relative name, baked as a bundle into `folder`; its URI.
std::string BakeSessionProject(const TempFolder& folder, const std::string& wave) {
  const std::string project = folder / "session-project.json";
  std::ofstream(project) << R"json({
  "version": 95960, "plugin_id": "OvSf", "vendor": "Orvane", "plugin_flags": 1,
  "root": {"type": "Container", "modules": [{
    "type": "Container", "name": "sampler", "title": "Session Files",
    "io": [{"name": "MIDI In", "direction": "in", "datatype": "midi"},
           {"name": "Left", "direction": "out", "datatype": "audio"},
           {"name": "Right", "direction": "out", "datatype": "audio"}],
    "modules": [
      {"type": "Midi to CV", "name": "cv"},
      {"type": "Wave Player", "name": "player", "plug_values": {"File Name": ")json"
                         << wave << R"json("}},
      {"type": "Wave Recorder", "name": "take", "plug_values": {"File Name": "take"}}],
    "connections": ["io.MIDI In -> cv.MIDI In", "cv.Gate -> player.Gate",
                    "player.Left Out -> io.Left", "player.Right Out -> io.Right",
                    "player.Left Out -> take.Left (Mono)"]}]}})json";
  std::ostringstream out;
  std::ostringstream err;
  BakeCommandLine lv2{project, folder / "bundles/session.lv2", OV_LV2_LIBRARY, true};
  EXPECT_EQ(RunBakeLv2Command(lv2, out, err), 0) << err.str();
  const std::vector<std::string> uris = Lv2World(folder / "bundles/session.lv2", true).PluginUris();
  return uris.size() == 1 ? uris[0] : std::string();
}

// A host that keeps each session's files in a folder of its own: the take
// is recorded there, the WAV read from disk is saved as a path inside it,
// and after the folder moves the restored plug-in finds the WAV again.
TEST(Lv2Bundle, FilesBesideTheSessionMoveWithIt) {
  TempFolder folder;
  const std::string first_session = folder / "first-session";
  std::filesystem::create_directories(first_session);
  AudioClip wave{static_cast<uint32_t>(kRate), {std::vector<float>(12000)}};
  for (std::size_t i = 0; i < wave.channels[0].size(); ++i) {
    wave.channels[0][i] = 0.5f * std::sin(static_cast<float>(i) * 0.05f);
  }
  std::string error;
  ASSERT_TRUE(WriteFloatWavFile(first_session + "/loop.wav", wave, &error)) << error;
  const std::string uri = BakeSessionProject(folder, first_session + "/loop.wav");
  ASSERT_FALSE(uri.empty());
  Lv2World world(folder / "bundles");
  const uint32_t files_key = world.Id("urn:orvane:lv2:state#files");
  const auto make = [&](const std::string& session) {
    auto instance = std::make_unique<Lv2Instance>(world, uri, kRate, 256, session);
    instance->SetControl("freewheel", 1.0f);
    return instance;
  };

  std::vector<Lv2SavedProperty> saved;
  std::vector<std::vector<float>> played;
  {
    std::unique_ptr<Lv2Instance> recording = make(first_session);
    played = PlayNotes(*recording);
    recording->Deactivate();
    saved = recording->Save();
  }
  ASSERT_GT(Energy(played), 1.0);
  EXPECT_TRUE(std::filesystem::is_regular_file(first_session + "/recordings/take.wav"));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "bundles")) {
    EXPECT_NE(entry.path().filename(), "take.wav") << entry.path();
  }
  const auto files = std::find_if(saved.begin(), saved.end(),
                                  [&](const Lv2SavedProperty& p) { return p.key == files_key; });
  ASSERT_NE(files, saved.end());
  // The session's own path is only in the name the project gave.
  const std::string text(files->value.begin(), files->value.end());
  EXPECT_NE(text.find(first_session + "/loop.wav"), std::string::npos);
  EXPECT_EQ(text.find(first_session), text.rfind(first_session));

  const std::string second_session = folder / "second-session";
  std::filesystem::rename(first_session, second_session);
  std::vector<Lv2SavedProperty> without_files = saved;
  std::erase_if(without_files, [&](const Lv2SavedProperty& p) { return p.key == files_key; });
  std::vector<Lv2SavedProperty> cut_short = saved;
  for (Lv2SavedProperty& p : cut_short) {
    if (p.key == files_key) p.value.resize(p.value.size() - 9);
  }
  struct Case {
    const char* what;
    const std::vector<Lv2SavedProperty>& state;
    LV2_State_Status status;
    bool plays;
  };
  const Case cases[] = {
      {"moved with the session", saved, LV2_STATE_SUCCESS, true},
      {"without the files kept", without_files, LV2_STATE_SUCCESS, false},
      {"with the files damaged", cut_short, LV2_STATE_ERR_BAD_TYPE, false},
  };
  for (const Case& c : cases) {
    std::unique_ptr<Lv2Instance> restored = make(second_session);
    EXPECT_EQ(restored->Restore(c.state), c.status) << c.what;
    const std::vector<std::vector<float>> again = PlayNotes(*restored);
    if (c.plays) {
      EXPECT_EQ(again, played) << c.what;
    } else {
      EXPECT_EQ(Energy(again), 0.0) << c.what;
    }
  }
}

TEST(Lv2Bundle, EachPresetSelectsItsPatch) {
  TempFolder folder;
  BakeBoth("two_patches", folder);
  Lv2World world(folder / "bundles");
  constexpr int32_t kBlock = 512;
  std::vector<std::vector<float>> first;
  for (const int32_t program : {1, 0}) {
    Lv2Instance instance(world, kTwoPatchesUri, kRate, kBlock);
    instance.SetControl("freewheel", 1.0f);
    ASSERT_TRUE(
        instance.ApplyPreset(std::string(kTwoPatchesUri) + "#preset" + std::to_string(program)));
    // The preset sets the patch's values on the ports too.
    EXPECT_EQ(instance.Control("Waveform"), program == 1 ? 4.0f : 1.0f);
    instance.Activate();
    const std::vector<std::vector<float>> played =
        instance.Play(TwoNotes().midi, static_cast<int64_t>(kRate));
    EXPECT_EQ(played, RenderVst(folder / "two_patches.so", kBlock, program))
        << "program " << program;
    if (first.empty()) {
      first = played;
    } else {
      EXPECT_NE(played, first);
    }
  }
}

// Effects through lv2file, a host of the LV2 world, on a real recording:
// the same output as the VST 2 build's render of it.
TEST(Lv2Bundle, AnEffectThroughLv2fileEqualsTheVst2Render) {
#ifdef OV_SANITIZED_BUILD
  GTEST_SKIP() << "lv2file cannot load a library built with the sanitizers";
#endif
  TempFolder folder;
  std::string error;
  std::optional<AudioClip> recording = ReadWavFile("/usr/share/sounds/alsa/Front_Left.wav", &error);
  ASSERT_TRUE(recording) << error;
  // Two channels that differ, as float samples, so that nothing is rounded.
  AudioClip stereo{recording->sample_rate, {recording->channels[0], recording->channels[0]}};
  for (float& sample : stereo.channels[1]) sample *= -0.5f;
  const std::string input = folder / "in.wav";
  ASSERT_TRUE(WriteFloatWavFile(input, stereo, &error)) << error;
  struct Case {
    const char* project;
    std::vector<std::string> inputs;  // port symbols, fed channel 1, 2, ...
  };
  for (const Case& c :
       {Case{"passthrough", {"Left_In", "Right_In"}}, Case{"external-gain", {"In"}}}) {
    SCOPED_TRACE(c.project);
    BakeBoth(c.project, folder);
    const std::vector<std::string> uris =
        Lv2World(folder / "bundles/" + c.project + ".lv2", true).PluginUris();
    ASSERT_EQ(uris.size(), 1u);
    std::string command = "LV2_PATH=" + folder / "bundles" + " lv2file -b 512 -i " + input +
                          " -o " + folder / "lv2.wav";
    for (std::size_t i = 0; i < c.inputs.size(); ++i) {
      command += " -c " + std::to_string(i + 1) + ":" + c.inputs[i];
    }
    std::string output;
    ASSERT_EQ(RunProgram(command + " " + uris[0], &output), 0) << output;
    std::optional<AudioClip> played = ReadWavFile(folder / "lv2.wav", &error);
    ASSERT_TRUE(played) << error;

    RenderSettings settings;
    settings.plugin_path = folder / c.project + ".so";
    settings.input_path = input;
    settings.sample_rate = recording->sample_rate;
    settings.block_size = 512;
    std::ostringstream log;
    std::optional<RenderResult> rendered = Render(settings, log, false, &error);
    ASSERT_TRUE(rendered) << error;
    ASSERT_EQ(played->channels.size(), rendered->audio.channels.size());
    EXPECT_GT(Energy(played->channels), 1.0);
    for (std::size_t ch = 0; ch < played->channels.size(); ++ch) {
      const std::vector<float>& a = played->channels[ch];
      const std::vector<float>& b = rendered->audio.channels[ch];
      // The render adds a tail; lv2file stops with its input.
      ASSERT_LE(a.size(), b.size());
      EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin())) << "channel " << ch;
    }
  }
}

TEST(Lv2Bundle, ValidatePassesOurBundlesAndNamesWhatIsWrong) {
  TempFolder folder;
  const std::string orvane = std::string(std::getenv("OV_BUILD_DIR")) + "/orvane";
  for (const char* name : {"demo-synth", "two_patches", "pd-echo"}) {
    BakeBoth(name, folder);
    std::string output;
    EXPECT_EQ(
        RunProgram(orvane + " validate --quick " + folder / "bundles/" + name + ".lv2", &output), 0)
        << output;
    EXPECT_NE(output.find("6 checks, 6 passed"), std::string::npos) << output;
  }
  // A bundle whose library lost its project loads nothing.
  const std::string broken = folder / "bundles/demo-synth.lv2";
  std::filesystem::copy_file(OV_LV2_LIBRARY, broken + "/demo-synth.so",
                             std::filesystem::copy_options::overwrite_existing);
  std::string output;
  EXPECT_EQ(RunProgram(orvane + " validate " + broken, &output), 1) << output;
  EXPECT_NE(
      output.find("load                               FAIL  the plug-in does not instantiate"),
      std::string::npos)
      << output;
}

}  // namespace
}  // namespace ov::testing
