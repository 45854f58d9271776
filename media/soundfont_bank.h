// One loaded SoundFont 2 bank: the records of its hydra, its 16-bit sample
// data, and for each of 16 MIDI channels the chosen bank and preset with the
// playable zones they give. Shared by a module's editor side and every
// generator of the module through an atomic reference count.
//
// Every record index a hostile file holds is checked before use: a preset,
// instrument or zone that points outside its lists is skipped, sample
// positions are kept inside the sample data, and a channel's zone list has
// its room reserved at load, so choosing a bank or preset never allocates.
//
// Threads: Load on the editor thread (or the thread that owns the new bank)
// before the bank is shared. SetBank, SetPreset and FindZone on the editor
// thread while no engine plays the bank, else only on the audio thread. The
// per-channel choice bytes and the reference count are atomics any thread
// may read.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ov {

// The SoundFont generators the players read (numbers of the 2.01 format).
enum SfGenerator : int32_t {
  kGenStartOffset = 0,
  kGenEndOffset = 1,
  kGenStartLoopOffset = 2,
  kGenEndLoopOffset = 3,
  kGenStartCoarseOffset = 4,
  kGenEndCoarseOffset = 12,
  kGenAttackVolEnv = 34,
  kGenDecayVolEnv = 36,
  kGenSustainVolEnv = 37,
  kGenReleaseVolEnv = 38,
  kGenInstrument = 41,
  kGenKeyRange = 43,
  kGenVelRange = 44,
  kGenStartLoopCoarseOffset = 45,
  kGenEndLoopCoarseOffset = 50,
  kGenCoarseTune = 51,
  kGenFineTune = 52,
  kGenSampleId = 53,
  kGenSampleModes = 54,
  kGenScaleTuning = 56,
  kGenOverridingRootKey = 58,
  kZoneGenerators = 60,
};

// One playable zone: the values of generators 0 to 59; a range keeps its low
// end in the low byte and its high end in the high byte.
struct Jzone {
  int16_t channel = 0;
  std::array<int16_t, kZoneGenerators> gen{};

  int32_t Low(int32_t range_gen) const { return gen[range_gen] & 0xFF; }
  int32_t High(int32_t range_gen) const { return (gen[range_gen] >> 8) & 0xFF; }
};

struct SfPresetHeader {
  std::string name;
  uint16_t preset = 0;
  uint16_t bank = 0;
  uint16_t bag = 0;
};
struct SfInstrument {
  std::string name;
  uint16_t bag = 0;
};
struct SfBag {
  uint16_t gen = 0;
};
struct SfGen {
  uint16_t oper = 0;
  int16_t amount = 0;
};
struct SfSampleHeader {
  std::string name;
  uint32_t start = 0;
  uint32_t end = 0;
  uint32_t loop_start = 0;
  uint32_t loop_end = 0;
  uint32_t rate = 0;
  uint8_t original_pitch = 60;
  int8_t correction = 0;
  uint16_t link = 0;
  uint16_t type = 1;
};

enum SfSampleType : uint16_t { kSampleMono = 1, kSampleRight = 2, kSampleLeft = 4, kSampleRom = 0x8000 };

class soundfont_bank {
 public:
  static constexpr int32_t kChannels = 16;
  static constexpr uint8_t kNone = 255;  // bit 7 of a preset byte: no preset
  static constexpr int32_t kDrumChannel = 9;
  static constexpr int32_t kDrumBank = 128;

  soundfont_bank();
  soundfont_bank(const soundfont_bank&) = delete;
  soundfont_bank& operator=(const soundfont_bank&) = delete;

  // Reads a whole file. False, with `error` saying why, when it is not a
  // RIFF "sfbk" form, a chunk overruns its parent, or its version is not 2.
  bool Load(std::span<const uint8_t> file, std::string* error);

  // Choices of a channel (0..15; others are ignored): store them and
  // rebuild the channel's zones when they changed.
  void SetBank(int32_t channel, int32_t bank);
  void SetPreset(int32_t channel, int32_t preset);
  void SetChannelOn(int32_t channel, bool on);
  uint8_t ChannelBank(int32_t channel) const;
  uint8_t ChannelPreset(int32_t channel) const;
  bool ChannelOn(int32_t channel) const;

  // The zone that plays `key` at `velocity` on `channel`: the last one in
  // the channel's list that covers both; null when none does.
  const Jzone* FindZone(int32_t channel, int32_t key, int32_t velocity) const;
  std::span<const Jzone> Zones(int32_t channel) const;

  // 0: the preset exists and has a sample outside ROM; 1: no such preset or
  // no sample zone; 2: only ROM samples.
  int32_t PresetState(int32_t bank, int32_t preset) const;
  // Some preset of the bank has a zone with a sample outside ROM.
  bool BankState(int32_t bank) const;
  // The preset's name, or empty.
  std::string PresetName(int32_t bank, int32_t preset) const;

  // The sample header a zone names, or null when the index is bad.
  const SfSampleHeader* Sample(int32_t index) const;
  std::span<const float> SampleData() const { return samples_; }
  // Presets without the terminal record.
  std::span<const SfPresetHeader> Presets() const;
  std::span<const SfInstrument> Instruments() const;
  // Zones a channel holds at most.
  std::size_t ZoneCapacity() const { return zone_capacity_; }

  // Reference count: a holder takes one and gives it back; Release answers
  // true when it gave back the last one, and the caller deletes the bank
  // (on a thread that may free memory). Any thread.
  void AddRef() { references_.fetch_add(1, std::memory_order_relaxed); }
  bool Release() { return references_.fetch_sub(1, std::memory_order_acq_rel) == 1; }
  int32_t References() const { return references_.load(std::memory_order_relaxed); }

 private:
  // The bags of preset or instrument `index` as [first, last) when they and
  // every generator list they name lie inside the records; else empty.
  bool PresetBags(std::size_t index, uint32_t* first, uint32_t* last) const;
  bool InstrumentBags(std::size_t index, uint32_t* first, uint32_t* last) const;
  bool BagGens(const std::vector<SfBag>& bags, const std::vector<SfGen>& gens, uint32_t bag,
               uint32_t* first, uint32_t* last) const;
  const SfPresetHeader* FindPreset(int32_t bank, int32_t preset, std::size_t* index) const;
  // Room for the most zones any preset gives, within a bound, in every
  // channel's list.
  void ReserveZones();
  void RebuildZones(int32_t channel);
  void AppendInstrumentZones(int32_t channel, uint32_t instrument, std::vector<Jzone>& zones);
  std::size_t CountInstrumentZones(uint32_t instrument) const;
  // The instrument named by a zone's first generator as the state rules
  // read it, or -1.
  int32_t StateInstrument(std::size_t preset) const;
  int32_t InstrumentState(int32_t instrument) const;

  // The 16-bit samples as floats of the same values: the players' taps
  // read them without converting each time.
  std::vector<float> samples_;
  std::vector<SfPresetHeader> presets_;  // with the terminal record
  std::vector<SfBag> pbag_;
  std::vector<SfGen> pgen_;
  std::vector<SfInstrument> inst_;  // with the terminal record
  std::vector<SfBag> ibag_;
  std::vector<SfGen> igen_;
  std::vector<SfSampleHeader> shdr_;  // with the terminal record
  std::size_t pmod_count_ = 0;
  std::size_t imod_count_ = 0;

  std::array<std::vector<Jzone>, kChannels> zones_;
  std::size_t zone_capacity_ = 0;
  std::array<std::atomic<uint8_t>, kChannels> preset_;
  std::array<std::atomic<uint8_t>, kChannels> bank_;
  std::array<std::atomic<uint8_t>, kChannels> on_;
  std::atomic<int32_t> references_{0};
};

}  // namespace ov
