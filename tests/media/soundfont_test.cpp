// SoundFont banks: reading real and hostile files, building zones, and the
// playback arithmetic both sound-font generators share.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "engine/lookup_table.h"
#include "media/soundfont_bank.h"
#include "media/soundfont_player.h"
#include "media/soundfont_user.h"
#include "platform/byte_order.h"
#include "tests/media/soundfont_writer.h"

namespace ov {
namespace {

using testing::SfGenList;
using testing::SoundFontWriter;

constexpr char kTimGm[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Exposes the shared playback state to the tests.
struct ProbeUser : ug_soundfont_user {
  explicit ProbeUser(SoundfontSource& source) {
    SetSource(&source);
    OpenUser();
  }
  ~ProbeUser() override { CloseUser(); }
  ug_soundfont_user* NextUser() const override { return nullptr; }
  void OnBankGone() override {}
  Start StartAt(int32_t key, int32_t velocity) { return StartZone(0, key, velocity); }
  bool Step() { return Advance(); }
  void SetIncrement(uint32_t increment) {
    increment_ = increment;
    fraction_ = 0;
  }
  int64_t Read() const { return read_; }
};

struct HeldBank : SoundfontSource {
  explicit HeldBank(std::span<const uint8_t> file) {
    bank->AddRef();
    loaded = bank->Load(file, &error);
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
  bool loaded = false;
  std::string error;
};

SfGenList SampleZone(int16_t sample, SfGenList before = {}) {
  before.push_back({kGenSampleId, sample});
  return before;
}

// One preset 0 of one instrument of one sample.
SoundFontWriter OneSample(std::vector<int16_t> data, uint32_t loop_start, uint32_t loop_end,
                          int16_t modes) {
  SoundFontWriter writer;
  writer.samples.push_back({"s", std::move(data), loop_start, loop_end});
  writer.instruments.push_back({"i", {SampleZone(0, {{kGenSampleModes, modes}})}});
  writer.presets.push_back({"p", 0, 0, {{{kGenInstrument, 0}}}});
  return writer;
}

TEST(SoundfontFormulas, MatchTheirDefinitionsInDouble) {
  const double rate = 44100.0;
  const auto inc = [](double octaves, double sample_rate, double engine_rate) {
    return static_cast<double>(ug_soundfont_user::IncrementFor(octaves, sample_rate, engine_rate));
  };
  struct Row {
    const char* what;
    double ours;
    double expected;
  };
  const std::vector<Row> rows = {
      {"5 V, root 69, equal rates", inc(0, rate, rate), 16777216.0},
      {"an octave up", inc(1, rate, rate), 33554432.0},
      {"a file at half the rate", inc(0, 22050, rate), 8388608.0},
      {"far too high, clamped", inc(40, rate, rate),
       static_cast<double>(ug_soundfont_user::kMaxIncrement)},
      {"not a number", inc(std::nan(""), rate, rate), 0.0},
      {"attack at the default -12000 timecents",
       static_cast<double>(ug_sample_player2::RampSamples((-12000 + 8000) / 1200.0, rate)),
       std::trunc(std::exp2(-10.0) * rate)},
      {"one second", static_cast<double>(ug_sample_player2::RampSamples(8000 / 1200.0, rate)),
       rate},
      {"the retrigger release", static_cast<double>(ug_sample_player2::RampSamples(-1.0, rate)),
       std::trunc(std::exp2(-23.0 / 3.0) * rate)},
      {"an endless ramp, clamped",
       static_cast<double>(ug_sample_player2::RampSamples(40000 / 1200.0, rate)),
       std::exp2(30.0)},
      {"sustain 30 dB", ug_sample_player2::SustainLevel(300), 0.7},
      {"sustain below silence, clamped", ug_sample_player2::SustainLevel(1500), 0.0},
      {"negative sustain attenuation, clamped", ug_sample_player2::SustainLevel(-100), 1.0},
  };
  for (const Row& row : rows) EXPECT_NEAR(row.ours, row.expected, 1e-6) << row.what;

  // The interpolation, inside the data and with taps over both edges.
  const std::shared_ptr<const ULookup> table = GetSineCInterpolationTable();
  std::vector<float> data(64);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<float>(std::lround(20000.0 * std::sin(0.37 * static_cast<double>(i))));
  }
  const auto sample = [&](int64_t at) {
    return at < 0 || at >= static_cast<int64_t>(data.size()) ? 0.0 : data[at];
  };
  for (int64_t position : {int64_t{1}, int64_t{30}, int64_t{62}}) {
    for (uint32_t fraction : {0u, 0x80000u, 0x7FFFFFu, 0xFFFFFFu}) {
      const uint32_t r = fraction >> 19;
      const double w = fraction & 0x7FFFF;
      double a = 0.0;
      double b = 0.0;
      for (int k = 0; k < 8; ++k) {
        a += table->entries[8 * r + k] * sample(position + k - 3);
        b += table->entries[8 * (r + 1) + k] * sample(position + k - 3);
      }
      const double expected = (a * (524288.0 - w) + b * w) * std::exp2(-36.0);
      EXPECT_NEAR(ug_soundfont_user::Interpolate(table->entries.data(), data, position, fraction),
                  expected, 1e-6)
          << "position " << position << " fraction " << fraction;
    }
  }
}

TEST(SoundfontFormulas, LoopsWrapAsTheirModesSay) {
  struct Case {
    const char* what;
    uint32_t loop_start, loop_end;
    int16_t modes;
    uint32_t samples_per_step;
    std::vector<int64_t> positions;  // after each step; -1 where the sound ended
  };
  const std::vector<Case> cases = {
      {"an overshoot of 2 goes on 2 before the loop start", 20, 60, 1, 31, {31, 18, 49, 0}},
      {"mode 0 plays through the loop to the end", 20, 60, 0, 31, {31, 62, 93, -1}},
      {"a loop of no length plays once", 50, 50, 1, 31, {31, 62, 93, -1}},
      {"mode 2 loops from the end, taps before the data read 0", 20, 60, 2, 41, {41, 82, -3}},
      {"mode 3 loops until released", 20, 60, 3, 31, {31, 18}},
  };
  for (const Case& c : cases) {
    HeldBank held(OneSample(std::vector<int16_t>(100, 1000), c.loop_start, c.loop_end, c.modes)
                      .Bytes());
    ASSERT_TRUE(held.loaded) << held.error;
    held.bank->SetBank(0, 0);
    held.bank->SetPreset(0, 0);
    ProbeUser user(held);
    ASSERT_EQ(user.StartAt(60, 100), ug_soundfont_user::Start::kPlaying) << c.what;
    user.SetIncrement(c.samples_per_step << 24);
    for (int64_t expected : c.positions) {
      const bool going = user.Step();
      EXPECT_EQ(going ? user.Read() : -1, expected) << c.what;
    }
  }
}

// The preset names and (bank, preset) pairs of a file, read straight from its
// "phdr" chunk.
std::vector<std::tuple<std::string, int, int>> PresetsByHand(const std::vector<uint8_t>& file) {
  std::vector<std::tuple<std::string, int, int>> presets;
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::string id(file.begin() + static_cast<std::ptrdiff_t>(at),
                         file.begin() + static_cast<std::ptrdiff_t>(at + 4));
    const uint32_t size = LoadLe32(&file[at + 4]);
    if (id == "LIST") {
      at += 12;  // into the list
      continue;
    }
    if (id == "phdr") {
      for (uint32_t r = 0; r + 1 < size / 38; ++r) {
        const uint8_t* record = &file[at + 8 + 38 * r];
        presets.emplace_back(std::string(reinterpret_cast<const char*>(record),
                                         strnlen(reinterpret_cast<const char*>(record), 20)),
                             LoadLe16(record + 22), LoadLe16(record + 20));
      }
      break;
    }
    at += 8 + size + (size & 1);
  }
  return presets;
}

TEST(SoundfontBank, EveryPresetOfTimGm6mbBuildsZonesWithoutGrowingItsList) {
  if (!std::filesystem::exists(kTimGm)) GTEST_SKIP() << kTimGm << " is not installed";
  const std::vector<uint8_t> file = ReadAll(kTimGm);
  HeldBank held(file);
  ASSERT_TRUE(held.loaded) << held.error;
  soundfont_bank& bank = *held.bank;
  const auto by_hand = PresetsByHand(file);
  ASSERT_EQ(bank.Presets().size(), 136u);
  ASSERT_EQ(by_hand.size(), 136u);
  std::set<int> banks;
  const Jzone* storage = nullptr;
  for (std::size_t i = 0; i < by_hand.size(); ++i) {
    const auto& [name, bank_number, preset] = by_hand[i];
    banks.insert(bank_number);
    EXPECT_EQ(bank.PresetName(bank_number, preset), name);
    EXPECT_EQ(bank.Presets()[i].name, name);
    bank.SetBank(3, bank_number);
    bank.SetPreset(3, preset);
    const std::span<const Jzone> zones = bank.Zones(3);
    EXPECT_FALSE(zones.empty()) << name;
    EXPECT_LE(zones.size(), bank.ZoneCapacity());
    EXPECT_EQ(bank.PresetState(bank_number, preset), 0) << name;
    // The room reserved at load serves every preset: no rebuild allocates.
    if (storage == nullptr) storage = zones.data();
    EXPECT_EQ(zones.data(), storage) << name;
  }
  EXPECT_EQ(banks, (std::set<int>{0, 128}));
  EXPECT_TRUE(bank.BankState(128));
  EXPECT_FALSE(bank.BankState(5));
}

TEST(SoundfontBank, RefusesWhatItCannotReadAndSkipsWhatPointsNowhere) {
  const std::vector<uint8_t> good = OneSample(std::vector<int16_t>(100, 1000), 0, 0, 0).Bytes();
  struct Case {
    const char* what;
    std::function<std::vector<uint8_t>()> file;
    bool loads;
    std::size_t zones;  // of `preset` on channel 0, when it loads
    int preset = 0;
  };
  const auto edited = [&](std::function<void(SoundFontWriter&)> edit) {
    return [edit] {
      SoundFontWriter writer = OneSample(std::vector<int16_t>(100, 1000), 0, 0, 0);
      edit(writer);
      return writer.Bytes();
    };
  };
  const std::vector<Case> cases = {
      {"the writer's own file", [&] { return good; }, true, 1},
      {"version 3 (compressed samples)",
       edited([](SoundFontWriter& w) { w.version_major = 3; }), false, 0},
      {"a chunk longer than its list",
       [&] {
         std::vector<uint8_t> bad = good;
         // The first "LIST" ("INFO") claims the rest of the file and more.
         const auto size = static_cast<uint32_t>(bad.size());
         for (int i = 0; i < 4; ++i) bad[16 + i] = static_cast<uint8_t>(size >> (8 * i));
         return bad;
       },
       false, 0},
      {"cut short", [&] { return std::vector<uint8_t>(good.begin(), good.begin() + 200); }, false,
       0},
      {"not a bank", [] { return std::vector<uint8_t>{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}; },
       false, 0},
      {"a sample index past the headers",
       edited([](SoundFontWriter& w) { w.instruments[0].zones[0].back().second = 7; }), true, 0},
      {"an instrument index past the instruments",
       edited([](SoundFontWriter& w) { w.presets[0].zones[0][0].second = 9; }), true, 0},
      {"a preset numbered 128 or more",
       edited([](SoundFontWriter& w) { w.presets[0].preset = 130; }), true, 0, 130},
  };
  for (const Case& c : cases) {
    HeldBank held(c.file());
    EXPECT_EQ(held.loaded, c.loads) << c.what << ": " << held.error;
    if (!held.loaded) {
      EXPECT_FALSE(held.error.empty()) << c.what;
      continue;
    }
    held.bank->SetBank(0, 0);
    held.bank->SetPreset(0, c.preset);
    EXPECT_EQ(held.bank->Zones(0).size(), c.zones) << c.what;
  }

  const std::string sf3 = "/usr/share/sounds/sf3/FluidR3Mono_GM.sf3";
  if (std::filesystem::exists(sf3)) {
    HeldBank held(ReadAll(sf3));
    EXPECT_FALSE(held.loaded);
    EXPECT_NE(held.error.find("version 3"), std::string::npos) << held.error;
  }
}

TEST(SoundfontBank, GlobalAndLayeredZonesApplyWhereTheyStand) {
  SoundFontWriter writer;
  for (int i = 0; i < 3; ++i) writer.samples.push_back({"s", std::vector<int16_t>(64, 100)});
  // Instrument 0: a global zone (loop mode) the two sample zones inherit.
  writer.instruments.push_back({"global",
                                {{{kGenSampleModes, 1}},
                                 SampleZone(0, {{kGenKeyRange, SoundFontWriter::Range(0, 63)}}),
                                 SampleZone(1, {{kGenKeyRange, SoundFontWriter::Range(64, 127)}})}});
  writer.instruments.push_back({"layer", {SampleZone(2)}});
  // Preset 0: a global zone narrowing to keys 40..80, then both instruments.
  writer.presets.push_back({"layered",
                            0,
                            0,
                            {{{kGenKeyRange, SoundFontWriter::Range(40, 80)}},
                             {{kGenInstrument, 0}},
                             {{kGenVelRange, SoundFontWriter::Range(0, 63)}, {kGenInstrument, 1}}}});
  writer.presets.push_back({"plain", 1, 0, {{{kGenInstrument, 0}}}});
  HeldBank held(writer.Bytes());
  ASSERT_TRUE(held.loaded) << held.error;
  soundfont_bank& bank = *held.bank;
  bank.SetBank(0, 0);
  bank.SetPreset(0, 0);
  bank.SetBank(1, 0);
  bank.SetPreset(1, 1);

  struct Probe {
    int channel, key, velocity;
    int sample;  // -1: no zone
  };
  for (const Probe& p : std::vector<Probe>{
           {0, 50, 30, 2},    // the layer comes last in the list
           {0, 50, 100, 0},   // above the layer's velocities
           {0, 70, 100, 1},
           {0, 30, 100, -1},  // outside the preset's global range
           {1, 30, 100, 0},   // another channel's preset is not narrowed
           {1, 100, 100, 1},
       }) {
    const Jzone* zone = bank.FindZone(p.channel, p.key, p.velocity);
    EXPECT_EQ(zone ? zone->gen[kGenSampleId] : -1, p.sample)
        << "channel " << p.channel << " key " << p.key << " velocity " << p.velocity;
    if (zone) {
      EXPECT_EQ(zone->gen[kGenSampleModes], p.sample == 2 ? 0 : 1);
    }
  }
  // Choosing the same preset again changes nothing; a channel without one
  // has no zones.
  bank.SetPreset(0, 0);
  EXPECT_EQ(bank.Zones(0).size(), 3u);
  EXPECT_TRUE(bank.Zones(2).empty());
}

}  // namespace
}  // namespace ov
