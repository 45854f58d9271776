// Reading a SoundFont 2 file into its records, and the questions the panel
// asks of them. Zones are built in soundfont_zones.cpp.
#include "media/soundfont_bank.h"

#include <cstring>
#include <optional>

#include "media/riff_reader.h"
#include "platform/byte_order.h"

namespace ov {
namespace {

// "LIST" chunks inside "LIST" chunks deeper than this are refused.
constexpr int kMaxListDepth = 8;

struct Found {
  std::optional<std::span<const uint8_t>> ifil, smpl, phdr, pbag, pmod, pgen, inst, ibag, imod,
      igen, shdr;
};

// The chunks a bank is read from, by enclosing list type and identifier.
struct Match {
  const char* list;
  const char* id;
  std::optional<std::span<const uint8_t>> Found::*slot;
};
constexpr Match kMatches[] = {
    {"INFO", "ifil", &Found::ifil}, {"sdta", "smpl", &Found::smpl}, {"pdta", "phdr", &Found::phdr},
    {"pdta", "pbag", &Found::pbag}, {"pdta", "pmod", &Found::pmod}, {"pdta", "pgen", &Found::pgen},
    {"pdta", "inst", &Found::inst}, {"pdta", "ibag", &Found::ibag}, {"pdta", "imod", &Found::imod},
    {"pdta", "igen", &Found::igen}, {"pdta", "shdr", &Found::shdr},
};

bool Walk(RiffChunkReader& reader, const char* list_type, int depth, Found* found,
          std::string* error) {
  RiffChunk chunk{};
  while (reader.Next(&chunk)) {
    if (chunk.Is("LIST")) {
      if (chunk.body.size() < 4) continue;
      if (depth >= kMaxListDepth) {
        *error = "lists nested too deeply";
        return false;
      }
      char type[5] = {};
      std::memcpy(type, chunk.body.data(), 4);
      RiffChunkReader inner(chunk.body.subspan(4), chunk.offset + 12, "LIST " + chunk.Name());
      if (!Walk(inner, type, depth + 1, found, error)) return false;
      continue;
    }
    // The last entry first, as a later chunk of the same kind replaces one
    // read before.
    for (const Match& match : kMatches) {
      if (std::memcmp(chunk.id, match.id, 4) == 0 && std::strncmp(list_type, match.list, 4) == 0) {
        found->*match.slot = chunk.body;
      }
    }
    // The version stands first; a bank of another one (compressed samples)
    // is refused before its chunks are looked at.
    if (found->ifil && found->ifil->size() >= 2 && LoadLe16(found->ifil->data()) != 2) {
      *error = "SoundFont version " + std::to_string(LoadLe16(found->ifil->data())) +
               " is not supported (only version 2)";
      return false;
    }
  }
  if (!reader.Error().empty()) {
    *error = reader.Error();
    return false;
  }
  return true;
}

std::string Name20(const uint8_t* bytes) {
  std::size_t length = 0;
  while (length < 20 && bytes[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

template <typename Record, typename Decode>
std::vector<Record> Records(const std::optional<std::span<const uint8_t>>& chunk, std::size_t size,
                            Decode decode) {
  std::vector<Record> records;
  if (!chunk) return records;
  const std::size_t count = chunk->size() / size;
  records.resize(count);
  for (std::size_t i = 0; i < count; ++i) decode(chunk->data() + i * size, records[i]);
  return records;
}

void DecodeBag(const uint8_t* at, SfBag& bag) { bag.gen = LoadLe16(at); }
void DecodeGen(const uint8_t* at, SfGen& gen) {
  gen.oper = LoadLe16(at);
  gen.amount = static_cast<int16_t>(LoadLe16(at + 2));
}

}  // namespace

soundfont_bank::soundfont_bank() {
  for (int32_t c = 0; c < kChannels; ++c) {
    preset_[c].store(kNone, std::memory_order_relaxed);
    bank_[c].store(kNone, std::memory_order_relaxed);
    on_[c].store(1, std::memory_order_relaxed);
  }
}

bool soundfont_bank::Load(std::span<const uint8_t> file, std::string* error) {
  std::optional<RiffChunkReader> form = OpenRiffForm(file, "sfbk", error);
  if (!form) return false;
  Found found;
  if (!Walk(*form, "", 0, &found, error)) return false;
  if (found.smpl) {
    samples_.resize(found.smpl->size() / 2);
    for (std::size_t i = 0; i < samples_.size(); ++i) {
      samples_[i] = static_cast<int16_t>(LoadLe16(found.smpl->data() + 2 * i));  // exact in float
    }
  }
  presets_ = Records<SfPresetHeader>(found.phdr, 38, [](const uint8_t* at, SfPresetHeader& p) {
    p.name = Name20(at);
    p.preset = LoadLe16(at + 20);
    p.bank = LoadLe16(at + 22);
    p.bag = LoadLe16(at + 24);
  });
  pbag_ = Records<SfBag>(found.pbag, 4, DecodeBag);
  pgen_ = Records<SfGen>(found.pgen, 4, DecodeGen);
  inst_ = Records<SfInstrument>(found.inst, 22, [](const uint8_t* at, SfInstrument& i) {
    i.name = Name20(at);
    i.bag = LoadLe16(at + 20);
  });
  ibag_ = Records<SfBag>(found.ibag, 4, DecodeBag);
  igen_ = Records<SfGen>(found.igen, 4, DecodeGen);
  shdr_ = Records<SfSampleHeader>(found.shdr, 46, [](const uint8_t* at, SfSampleHeader& s) {
    s.name = Name20(at);
    s.start = LoadLe32(at + 20);
    s.end = LoadLe32(at + 24);
    s.loop_start = LoadLe32(at + 28);
    s.loop_end = LoadLe32(at + 32);
    s.rate = LoadLe32(at + 36);
    s.original_pitch = at[40];
    s.correction = static_cast<int8_t>(at[41]);
    s.link = LoadLe16(at + 42);
    s.type = LoadLe16(at + 44);
  });
  pmod_count_ = found.pmod ? found.pmod->size() / 10 : 0;
  imod_count_ = found.imod ? found.imod->size() / 10 : 0;
  ReserveZones();
  return true;
}

std::span<const SfPresetHeader> soundfont_bank::Presets() const {
  return presets_.empty() ? std::span<const SfPresetHeader>()
                          : std::span(presets_).first(presets_.size() - 1);
}

std::span<const SfInstrument> soundfont_bank::Instruments() const {
  return inst_.empty() ? std::span<const SfInstrument>() : std::span(inst_).first(inst_.size() - 1);
}

const SfSampleHeader* soundfont_bank::Sample(int32_t index) const {
  // The last record is the terminal one.
  if (index < 0 || static_cast<std::size_t>(index) + 1 >= shdr_.size()) return nullptr;
  return &shdr_[static_cast<std::size_t>(index)];
}

bool soundfont_bank::BagGens(const std::vector<SfBag>& bags, const std::vector<SfGen>& gens,
                             uint32_t bag, uint32_t* first, uint32_t* last) const {
  if (static_cast<std::size_t>(bag) + 1 >= bags.size()) return false;
  *first = bags[bag].gen;
  *last = bags[bag + 1].gen;
  return *first <= *last && *last <= gens.size();
}

bool soundfont_bank::PresetBags(std::size_t index, uint32_t* first, uint32_t* last) const {
  if (index + 1 >= presets_.size()) return false;
  *first = presets_[index].bag;
  *last = presets_[index + 1].bag;
  // Each bag's generators end where the next bag's begin: BagGens checks.
  return *first <= *last && *last <= pbag_.size();
}

bool soundfont_bank::InstrumentBags(std::size_t index, uint32_t* first, uint32_t* last) const {
  if (index + 1 >= inst_.size()) return false;
  *first = inst_[index].bag;
  *last = inst_[index + 1].bag;
  return *first <= *last && *last <= ibag_.size();
}

const SfPresetHeader* soundfont_bank::FindPreset(int32_t bank, int32_t preset,
                                                 std::size_t* index) const {
  const std::span<const SfPresetHeader> presets = Presets();
  for (std::size_t i = 0; i < presets.size(); ++i) {
    if (presets[i].preset == preset && presets[i].bank == bank) {
      if (index != nullptr) *index = i;
      return &presets[i];
    }
  }
  return nullptr;
}

std::string soundfont_bank::PresetName(int32_t bank, int32_t preset) const {
  const SfPresetHeader* header = FindPreset(bank, preset, nullptr);
  return header != nullptr ? header->name : std::string();
}

int32_t soundfont_bank::StateInstrument(std::size_t preset) const {
  uint32_t first = 0;
  uint32_t last = 0;
  int32_t instrument = -1;
  if (!PresetBags(preset, &first, &last)) return -1;
  for (uint32_t bag = first; bag < last; ++bag) {
    uint32_t g0 = 0;
    uint32_t g1 = 0;
    if (!BagGens(pbag_, pgen_, bag, &g0, &g1)) continue;
    for (uint32_t g = g0; g < g1; ++g) {
      if (pgen_[g].oper == kGenInstrument) instrument = static_cast<uint16_t>(pgen_[g].amount);
    }
  }
  return instrument;
}

int32_t soundfont_bank::InstrumentState(int32_t instrument) const {
  uint32_t first = 0;
  uint32_t last = 0;
  if (instrument < 0 || !InstrumentBags(static_cast<std::size_t>(instrument), &first, &last)) {
    return 1;
  }
  bool rom = false;
  for (uint32_t bag = first; bag < last; ++bag) {
    uint32_t g0 = 0;
    uint32_t g1 = 0;
    if (!BagGens(ibag_, igen_, bag, &g0, &g1) || g0 == g1) continue;
    if (igen_[g1 - 1].oper != kGenSampleId) continue;
    const SfSampleHeader* sample = Sample(static_cast<uint16_t>(igen_[g1 - 1].amount));
    if (sample == nullptr) continue;
    if ((sample->type & kSampleRom) == 0) return 0;
    rom = true;
  }
  return rom ? 2 : 1;
}

int32_t soundfont_bank::PresetState(int32_t bank, int32_t preset) const {
  std::size_t index = 0;
  if (FindPreset(bank, preset, &index) == nullptr) return 1;
  return InstrumentState(StateInstrument(index));
}

bool soundfont_bank::BankState(int32_t bank) const {
  const std::span<const SfPresetHeader> presets = Presets();
  for (std::size_t i = 0; i < presets.size(); ++i) {
    if (presets[i].bank == bank && InstrumentState(StateInstrument(i)) == 0) return true;
  }
  return false;
}

uint8_t soundfont_bank::ChannelBank(int32_t channel) const {
  return bank_[static_cast<std::size_t>(channel & 15)].load(std::memory_order_relaxed);
}
uint8_t soundfont_bank::ChannelPreset(int32_t channel) const {
  return preset_[static_cast<std::size_t>(channel & 15)].load(std::memory_order_relaxed);
}
bool soundfont_bank::ChannelOn(int32_t channel) const {
  return on_[static_cast<std::size_t>(channel & 15)].load(std::memory_order_relaxed) != 0;
}
void soundfont_bank::SetChannelOn(int32_t channel, bool on) {
  if (channel < 0 || channel >= kChannels) return;
  on_[static_cast<std::size_t>(channel)].store(on ? 1 : 0, std::memory_order_relaxed);
}

}  // namespace ov
