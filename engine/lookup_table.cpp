#include "engine/lookup_table.h"

#include <bit>
#include <cmath>
#include <mutex>

namespace ov {

void Uwavetable::Set(std::size_t index, float value) { entries_[index] = FlushTableValue(value); }

namespace lookup_detail {

std::shared_ptr<const LookupTable> FindOrBuild(
    std::string_view name, int32_t size_key, LookupTable::Kind kind,
    const std::function<std::unique_ptr<LookupTable>()>& build) {
  // Kept for the life of the library, across engine restarts.
  static std::mutex mutex;
  static std::vector<lookup_table_entry> entries;

  const std::lock_guard lock(mutex);
  for (const lookup_table_entry& entry : entries) {
    if (entry.name == name && entry.size_key == size_key && entry.table->TableKind() == kind) {
      return entry.table;
    }
  }
  std::shared_ptr<const LookupTable> table = build();
  entries.push_back({table, size_key, std::string(name)});
  return table;
}

}  // namespace lookup_detail

namespace {

constexpr int kTaps = 8;
constexpr int kRows = 33;
constexpr int kEntries = 320;

void FillSineC(ULookup& table) {
  std::vector<float>& e = table.entries;
  e.assign(kEntries, 0.0f);
  // The sinc uses single-precision pi, the window a double pi/256.
  const double pi = static_cast<double>(3.1415927f);
  const double window_step = 0.012271846644580364;
  for (int row = 0; row < kRows - 1; ++row) {
    for (int tap = 0; tap < kTaps; ++tap) {
      const int x = row - 128 + 32 * tap;
      if (x == 0) continue;  // the centre point, set below
      const double window = std::cos(x * window_step);
      const double sinc = std::sin(pi * x / 32.0) / (pi * x / 32.0);
      e[kTaps * row + 7 - tap] = static_cast<float>(window * window * sinc);
    }
  }
  e[3] = 1.0f;
  // The last row is the first shifted by one tap.
  e[256] = 0.0f;
  for (int i = 0; i < 7; ++i) e[257 + i] = e[i];
  e[264] = e[7];

  for (int row = 0; row < kRows; ++row) {
    float* taps = &e[kTaps * row];
    float sum = 0.0f;
    for (int tap = 0; tap < kTaps; ++tap) sum += taps[tap];
    for (int tap = 0; tap < kTaps; ++tap) {
      const float value = taps[tap] / sum;
      const bool tiny = (std::bit_cast<uint32_t>(value) & 0x7FF00000u) == 0;
      taps[tap] = tiny ? 0.0f : value;
    }
  }
}

}  // namespace

std::shared_ptr<const ULookup> GetSineCInterpolationTable() {
  return GetLookupTable<ULookup>("Sine-C Interpolation", -1, FillSineC);
}

}  // namespace ov
