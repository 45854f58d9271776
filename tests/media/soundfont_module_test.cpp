// The sound-font oscillator in an engine, and the editor side's stored
// value: loading its file, reading and writing its channel text.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "document/container.h"
#include "document/control.h"
#include "media/soundfont_osc.h"
#include "platform/message_sink.h"
#include "tests/media/soundfont_writer.h"
#include "tests/media/wave_test_support.h"
#include "tests/modules/module_rig.h"

namespace ov {
namespace {

using test::GateBetween;
using test::ModuleRig;
using testing::FolderFiles;
using testing::SfGenList;
using testing::SfTestSample;
using testing::SoundFontWriter;

// A constant 8000 plays at 8000 / 2^17 through the interpolator.
constexpr float kLevel = 8000.0f / 131072.0f;

struct HeldBank : SoundfontSource {
  explicit HeldBank(std::span<const uint8_t> file) {
    bank->AddRef();
    std::string error;
    EXPECT_TRUE(bank->Load(file, &error)) << error;
    bank->SetBank(0, 0);
    bank->SetPreset(0, 0);
  }
  ~HeldBank() override {
    if (bank->Release()) delete bank;
  }
  soundfont_bank* AcquireBank() override {
    bank->AddRef();
    return bank;
  }
  int32_t CurrentChannel() const override { return 0; }
  SoundfontChoice Choice(int32_t) const override { return {}; }
  soundfont_bank* bank = new soundfont_bank;
};

SoundFontWriter Instrument(std::vector<SfTestSample> samples, std::vector<SfGenList> zones) {
  SoundFontWriter writer;
  writer.samples = std::move(samples);
  writer.instruments.push_back({"i", std::move(zones)});
  writer.presets.push_back({"p", 0, 0, {{{kGenInstrument, 0}}}});
  return writer;
}

SfTestSample Constant(int16_t value, uint16_t type = 1, uint16_t link = 0, uint32_t size = 100) {
  return {"s", std::vector<int16_t>(size, value), 20, size, 44100, 69, 0, link, type};
}

SfGenList Zone(int16_t sample, int16_t modes, SfGenList before = {}) {
  before.push_back({kGenSampleModes, modes});
  before.push_back({kGenSampleId, sample});
  return before;
}

TEST(SoundfontOscillator, PlaysEachKindOfZoneAsItsFileSays) {
  struct Case {
    const char* what;
    SoundFontWriter file;
    std::function<void(const std::vector<float>& left, const std::vector<float>& right,
                       ug_osc_sf& osc)>
        check;
  };
  const std::vector<Case> cases = {
      {"a stereo pair named by its left sample: left out, right out",
       Instrument({Constant(8000, kSampleLeft, 1), Constant(-8000, kSampleRight, 0)},
                  {Zone(0, 0)}),
       [](const auto& left, const auto& right, ug_osc_sf&) {
         EXPECT_NEAR(left[60], kLevel, kLevel * 0.03f);
         EXPECT_NEAR(right[60], -kLevel, kLevel * 0.03f);
       }},
      {"a ROM sample: silence and the status flag",
       Instrument({Constant(8000, kSampleRom | kSampleMono)}, {Zone(0, 0)}),
       [](const auto& left, const auto&, ug_osc_sf& osc) {
         EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](float v) { return v == 0.0f; }));
         EXPECT_FALSE(osc.Playing());
         EXPECT_EQ(osc.StatusFlag(), 1);
       }},
      {"mode 0 plays once at the key's own pitch and stops its outputs",
       Instrument({Constant(8000)}, {Zone(0, 0)}),
       [](const auto& left, const auto&, ug_osc_sf& osc) {
         EXPECT_NEAR(left[60], kLevel, kLevel * 0.03f);
         EXPECT_TRUE(std::all_of(left.begin() + 130, left.end(), [](float v) { return v == 0.0f; }));
         EXPECT_EQ(osc.IncrementNow(), 1u << 24);
         EXPECT_EQ(osc.plug(ug_osc_sf::kLeft)->State(), ST_STOP);
       }},
      {"mode 2 loops from its end", Instrument({Constant(8000)}, {Zone(0, 2)}),
       [](const auto& left, const auto&, ug_osc_sf& osc) {
         EXPECT_NEAR(left[3000], kLevel, kLevel * 0.03f);
         EXPECT_TRUE(osc.Playing());
       }},
      {"the default 8 V velocity picks velocity 101",
       Instrument({Constant(8000), Constant(-8000)},
                  {Zone(0, 0, {{kGenVelRange, SoundFontWriter::Range(0, 100)}}),
                   Zone(1, 0, {{kGenVelRange, SoundFontWriter::Range(101, 127)}})}),
       [](const auto& left, const auto&, ug_osc_sf&) {
         EXPECT_NEAR(left[60], -kLevel, kLevel * 0.03f);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HeldBank held(c.file.Bytes());
    ModuleRig rig;
    auto& osc = rig.Add(std::make_unique<ug_osc_sf>());
    osc.SetSource(&held);
    rig.Stream(osc, ug_osc_sf::kGate, GateBetween(10, 1u << 30));
    rig.Start();
    EXPECT_EQ(held.bank->ChannelBank(soundfont_bank::kDrumChannel), soundfont_bank::kDrumBank);
    const auto out = rig.Record({osc.plug(ug_osc_sf::kLeft), osc.plug(ug_osc_sf::kRight)}, 4096);
    c.check(out[0], out[1], osc);
  }
}

// Sixteen groups of ",bbb ppp o" and the closing comma.
std::string Groups(const std::function<std::string(int)>& group) {
  std::string text;
  for (int c = 0; c < 16; ++c) text += group(c);
  return text + ",";
}

TEST(SoundfontChannelText, ReadsEachGroupWithinItsBounds) {
  struct Case {
    const char* what;
    std::string text;
    int channel;
    SoundfontChoice expected;
  };
  const std::string full = Groups([](int c) {
    char group[16];
    std::snprintf(group, sizeof group, ",%3d %3d %1d", c == 9 ? 128 : c, c == 3 ? -1 : 2 * c,
                  c == 5 ? 0 : 1);
    return std::string(group);
  });
  const std::string cut = full.substr(0, 60) + std::string(70, ' ');
  const std::vector<Case> cases = {
      {"a short text: defaults", ",  1   2 0,", 0, {0, 0, true}},
      {"a full text", full, 4, {4, 8, true}},
      {"the drum channel's bank", full, 9, {128, 18, true}},
      {"no preset, stored as -1", full, 3, {3, 255, true}},
      {"a switch turned off", full, 5, {5, 10, false}},
      {"the channel after it keeps its own switch", full, 6, {6, 12, true}},
      {"a text cut short: its groups then defaults", cut, 2, {2, 4, true}},
      {"past the cut", cut, 12, {0, 0, true}},
      {"garbage in the fields", Groups([](int) { return std::string(",abc def g"); }), 7,
       {0, 0, true}},
      {"only commas", std::string(200, ','), 15, {0, 0, true}},
  };
  for (const Case& c : cases) {
    const SoundfontChoice got = ParseChannelText(c.text)[static_cast<std::size_t>(c.channel)];
    EXPECT_EQ(got.bank, c.expected.bank) << c.what;
    EXPECT_EQ(got.preset, c.expected.preset) << c.what;
    EXPECT_EQ(got.on, c.expected.on) << c.what;
  }
}

TEST(SoundfontChannelText, TheStoredValueLoadsItsFileAndSetsEveryChannel) {
  const std::string timgm = "/usr/share/sounds/sf2/";
  const std::string sf3 = "/usr/share/sounds/sf3/";
  if (!std::filesystem::exists(timgm + "TimGM6mb.sf2") ||
      !std::filesystem::exists(sf3 + "FluidR3Mono_GM.sf3")) {
    GTEST_SKIP() << "the TimGM6mb and FluidR3Mono banks are not installed";
  }
  MessageSink messages;
  messages.SetLogToStderr(false);

  // A bank of version 3 is refused with the module's message.
  FolderFiles sf3_files(sf3);
  Ctl_SamplePlay2 refused;
  refused.SetTitle("Player");
  refused.SetValueText(0, "FluidR3Mono_GM");
  refused.AttachFiles(&sf3_files, &messages, 0);
  EXPECT_EQ(refused.bank(), nullptr);
  EXPECT_TRUE(messages.Contains("Player: Can't load file: FluidR3Mono_GM"));

  FolderFiles files(timgm);
  Ctl_SamplePlay2 player;
  player.SetValueText(0, "TimGM6mb");
  player.AttachFiles(&files, &messages, 0);
  ASSERT_NE(player.bank(), nullptr);
  // A name alone: every channel bank 0, preset 0, on, and the drums' bank.
  EXPECT_EQ(player.ValueText(0), "TimGM6mb" + Groups([](int c) {
                                   return std::string(c == 9 ? ",128   0 1" : ",  0   0 1");
                                 }));
  EXPECT_EQ(player.bank()->ChannelBank(9), 128);
  EXPECT_FALSE(player.bank()->Zones(0).empty());

  // A stored text switches channel 2 off and gives channel 0 preset 5.
  const std::string stored = "TimGM6mb" + Groups([](int c) {
                               return std::string(c == 0   ? ",  0   5 1"
                                                  : c == 2 ? ",  0   0 0"
                                                  : c == 9 ? ",128   0 1"
                                                           : ",  0   0 1");
                             });
  player.SetStoredValue(0, stored);
  EXPECT_EQ(player.bank()->ChannelPreset(0), 5);
  EXPECT_FALSE(player.bank()->ChannelOn(2));
  EXPECT_EQ(player.ValueText(0), stored);
  EXPECT_NE(player.PatchItems().find("  6 - " + player.bank()->PresetName(0, 5) + "=5"),
            std::string::npos);
  EXPECT_NE(player.BankItems().find("Bank 128=128"), std::string::npos);

  // The container's patch change applies the new patch's value, and the
  // old patch's value comes back with it.
  CContainer container;
  container.EnsurePatchManager();
  auto* held = static_cast<Ctl_SamplePlay2*>(container.AddChild(std::make_unique<Ctl_SamplePlay2>()));
  held->SetValueText(0, stored);
  held->AttachFiles(&files, &messages, 0);
  ASSERT_NE(held->bank(), nullptr);
  held->SetValueText(1, "TimGM6mb" + Groups([](int c) {
                          return std::string(c == 0 ? ",  0  40 1" : ",  0   0 1");
                        }));
  container.SetCurrentPatch(1);
  EXPECT_EQ(held->Choice(0).preset, 40);
  EXPECT_EQ(held->bank()->ChannelPreset(0), 40);
  EXPECT_TRUE(held->bank()->ChannelOn(2));
  container.SetCurrentPatch(0);
  EXPECT_EQ(held->bank()->ChannelPreset(0), 5);
  EXPECT_FALSE(held->bank()->ChannelOn(2));

  player.Unload();
  EXPECT_EQ(player.bank(), nullptr);
  EXPECT_EQ(player.PatchItems(), "<none>");
}

}  // namespace
}  // namespace ov
