// A channel's zones: the instrument zones of its preset, with the preset
// zones' key and velocity ranges applied, in one list per channel whose room
// was reserved at load.
#include <algorithm>

#include "media/soundfont_bank.h"

namespace ov {
namespace {

// Zones one channel may hold: a preset that would give more plays the first
// ones. Real banks stay far below it (a layered piano, a drum kit).
constexpr std::size_t kMaxZonesPerChannel = 8192;
constexpr int16_t kFullRange = 127 << 8;

Jzone DefaultZone() {
  Jzone zone;
  zone.gen[8] = 13500;
  for (int32_t timecents : {21, 23, 25, 26, 27, 28, 30, 33, 34, 35, 36, 38}) {
    zone.gen[static_cast<std::size_t>(timecents)] = -12000;
  }
  zone.gen[kGenKeyRange] = kFullRange;
  zone.gen[kGenVelRange] = kFullRange;
  zone.gen[46] = -1;
  zone.gen[47] = -1;
  zone.gen[kGenOverridingRootKey] = -1;
  zone.gen[kGenScaleTuning] = 100;
  return zone;
}

void Intersect(Jzone& zone, int32_t range_gen, int16_t range) {
  const int32_t low = std::max(zone.Low(range_gen), range & 0xFF);
  const int32_t high = std::min(zone.High(range_gen), (range >> 8) & 0xFF);
  zone.gen[static_cast<std::size_t>(range_gen)] = static_cast<int16_t>(low | (high << 8));
}

}  // namespace

std::size_t soundfont_bank::CountInstrumentZones(uint32_t instrument) const {
  uint32_t first = 0;
  uint32_t last = 0;
  if (!InstrumentBags(instrument, &first, &last)) return 0;
  std::size_t count = 0;
  for (uint32_t bag = first; bag < last; ++bag) {
    uint32_t g0 = 0;
    uint32_t g1 = 0;
    if (BagGens(ibag_, igen_, bag, &g0, &g1) && g0 < g1 && igen_[g1 - 1].oper == kGenSampleId) {
      ++count;
    }
  }
  return count;
}

void soundfont_bank::ReserveZones() {
  std::vector<std::size_t> per_instrument(inst_.size());
  for (std::size_t i = 0; i < inst_.size(); ++i) {
    per_instrument[i] = CountInstrumentZones(static_cast<uint32_t>(i));
  }
  std::size_t most = 0;
  for (std::size_t p = 0; p + 1 < presets_.size(); ++p) {
    uint32_t first = 0;
    uint32_t last = 0;
    if (!PresetBags(p, &first, &last)) continue;
    std::size_t count = 0;
    for (uint32_t bag = first; bag < last && count < kMaxZonesPerChannel; ++bag) {
      uint32_t g0 = 0;
      uint32_t g1 = 0;
      if (!BagGens(pbag_, pgen_, bag, &g0, &g1)) continue;
      for (uint32_t g = g0; g < g1; ++g) {
        const auto instrument = static_cast<uint16_t>(pgen_[g].amount);
        if (pgen_[g].oper == kGenInstrument && instrument < per_instrument.size()) {
          count += per_instrument[instrument];
        }
      }
    }
    most = std::max(most, count);
  }
  zone_capacity_ = std::min(most, kMaxZonesPerChannel);
  for (auto& zones : zones_) zones.reserve(zone_capacity_);
}

void soundfont_bank::SetPreset(int32_t channel, int32_t preset) {
  if (channel < 0 || channel >= kChannels) return;
  auto& stored = preset_[static_cast<std::size_t>(channel)];
  if (static_cast<int8_t>(stored.load(std::memory_order_relaxed)) == preset) return;
  stored.store(static_cast<uint8_t>(preset), std::memory_order_relaxed);
  RebuildZones(channel);
}

void soundfont_bank::SetBank(int32_t channel, int32_t bank) {
  if (channel < 0 || channel >= kChannels) return;
  auto& stored = bank_[static_cast<std::size_t>(channel)];
  if (stored.load(std::memory_order_relaxed) == static_cast<uint8_t>(bank)) return;
  stored.store(static_cast<uint8_t>(bank), std::memory_order_relaxed);
  if ((ChannelPreset(channel) & 0x80) != 0) return;
  RebuildZones(channel);
}

void soundfont_bank::RebuildZones(int32_t channel) {
  std::vector<Jzone>& zones = zones_[static_cast<std::size_t>(channel)];
  zones.clear();  // keeps the room reserved at load
  const auto preset = static_cast<int8_t>(ChannelPreset(channel));
  std::size_t index = 0;
  if (FindPreset(ChannelBank(channel), preset, &index) == nullptr) return;
  uint32_t first = 0;
  uint32_t last = 0;
  if (!PresetBags(index, &first, &last)) return;
  // The preset's global zone (one without an instrument) narrows the ranges
  // of this preset's zones only, once they are all there.
  int16_t global_keys = kFullRange;
  int16_t global_velocities = kFullRange;
  for (uint32_t bag = first; bag < last; ++bag) {
    uint32_t g0 = 0;
    uint32_t g1 = 0;
    if (!BagGens(pbag_, pgen_, bag, &g0, &g1)) continue;
    const bool global =
        std::none_of(pgen_.begin() + g0, pgen_.begin() + g1,
                     [](const SfGen& gen) { return gen.oper == kGenInstrument; });
    std::size_t from = zones.size();
    for (uint32_t g = g1; g-- > g0;) {
      const SfGen& gen = pgen_[g];
      if (gen.oper == kGenInstrument) {
        from = zones.size();
        AppendInstrumentZones(channel, static_cast<uint16_t>(gen.amount), zones);
      } else if (gen.oper == kGenKeyRange || gen.oper == kGenVelRange) {
        if (global) {
          Jzone probe;
          probe.gen[kGenKeyRange] = global_keys;
          probe.gen[kGenVelRange] = global_velocities;
          Intersect(probe, gen.oper, gen.amount);
          global_keys = probe.gen[kGenKeyRange];
          global_velocities = probe.gen[kGenVelRange];
        } else {
          for (std::size_t z = from; z < zones.size(); ++z) {
            Intersect(zones[z], gen.oper, gen.amount);
          }
        }
      }
    }
  }
  for (Jzone& zone : zones) {
    Intersect(zone, kGenKeyRange, global_keys);
    Intersect(zone, kGenVelRange, global_velocities);
  }
}

void soundfont_bank::AppendInstrumentZones(int32_t channel, uint32_t instrument,
                                           std::vector<Jzone>& zones) {
  uint32_t first = 0;
  uint32_t last = 0;
  if (!InstrumentBags(instrument, &first, &last)) return;
  Jzone base = DefaultZone();
  for (uint32_t bag = first; bag < last; ++bag) {
    uint32_t g0 = 0;
    uint32_t g1 = 0;
    if (!BagGens(ibag_, igen_, bag, &g0, &g1)) continue;
    Jzone zone = base;
    for (uint32_t g = g0; g < g1; ++g) {
      if (igen_[g].oper < kZoneGenerators) zone.gen[igen_[g].oper] = igen_[g].amount;
    }
    if (g0 < g1 && igen_[g1 - 1].oper == kGenSampleId) {
      // A zone naming no sample header plays nothing; the list has room
      // for what the reservation counted and no more.
      if (Sample(static_cast<uint16_t>(zone.gen[kGenSampleId])) == nullptr) continue;
      if (zones.size() >= zones.capacity()) return;
      zone.channel = static_cast<int16_t>(channel);
      zones.push_back(zone);
    } else {
      base = zone;
    }
  }
}

const Jzone* soundfont_bank::FindZone(int32_t channel, int32_t key, int32_t velocity) const {
  if (channel < 0 || channel >= kChannels) return nullptr;
  const std::vector<Jzone>& zones = zones_[static_cast<std::size_t>(channel)];
  for (auto it = zones.rbegin(); it != zones.rend(); ++it) {
    if (key >= it->Low(kGenKeyRange) && key <= it->High(kGenKeyRange) &&
        velocity >= it->Low(kGenVelRange) && velocity <= it->High(kGenVelRange)) {
      return &*it;
    }
  }
  return nullptr;
}

std::span<const Jzone> soundfont_bank::Zones(int32_t channel) const {
  if (channel < 0 || channel >= kChannels) return {};
  return zones_[static_cast<std::size_t>(channel)];
}

}  // namespace ov
