// Named lookup tables shared by every generator, and by every plug-in
// instance in the process, for as long as the library is loaded.
//
// A table is identified by name, size key and kind together, built once by
// the first generator that asks for it, and never changed afterwards, so two
// instances whose audio threads run at once may read it freely.
//
// Threads: GetLookupTable on the editor thread (at generator open; it takes a
// lock and may build); reading a table's entries on any thread.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

class LookupTable {
 public:
  enum class Kind { kFloat, kInteger, kWavetable };

  virtual ~LookupTable() = default;
  virtual Kind TableKind() const = 0;
  virtual std::size_t Size() const = 0;
};

class ULookup : public LookupTable {
 public:
  static constexpr Kind kKind = Kind::kFloat;
  Kind TableKind() const override { return kKind; }
  std::size_t Size() const override { return entries.size(); }

  std::vector<float> entries;
};

class ULookup_Integer : public LookupTable {
 public:
  static constexpr Kind kKind = Kind::kInteger;
  Kind TableKind() const override { return kKind; }
  std::size_t Size() const override { return entries.size(); }

  std::vector<int32_t> entries;
};

// Float entries for wave tables; tiny values are stored as 0 so playback
// never meets denormals.
class Uwavetable : public LookupTable {
 public:
  static constexpr Kind kKind = Kind::kWavetable;
  Kind TableKind() const override { return kKind; }
  std::size_t Size() const override { return entries_.size(); }

  void Resize(std::size_t size) { entries_.assign(size, 0.0f); }
  // Values strictly between -1e-20 and 1e-20 become 0.
  void Set(std::size_t index, float value);
  const std::vector<float>& Entries() const { return entries_; }

 private:
  std::vector<float> entries_;
};

// Table values strictly between -1e-20 and 1e-20 are stored as 0, so no
// denormal ever comes out of a table.
constexpr float FlushTableValue(float value) {
  return (value > -1e-20f && value < 1e-20f) ? 0.0f : value;
}

// The size key under which per-sample-rate tables are kept: the rate's bit
// pattern, so that two rates never share a table.
constexpr int32_t SampleRateKey(float sample_rate) { return std::bit_cast<int32_t>(sample_rate); }

// One registered table.
struct lookup_table_entry {
  std::shared_ptr<const LookupTable> table;
  int32_t size_key;
  std::string name;
};

namespace lookup_detail {
std::shared_ptr<const LookupTable> FindOrBuild(
    std::string_view name, int32_t size_key, LookupTable::Kind kind,
    const std::function<std::unique_ptr<LookupTable>()>& build);
}

// The table of this name, size key and kind; when there is none yet, a new
// one is filled by `fill` and kept. Name comparison is exact.
template <typename Table>
std::shared_ptr<const Table> GetLookupTable(std::string_view name, int32_t size_key,
                                            const std::function<void(Table&)>& fill) {
  auto table = lookup_detail::FindOrBuild(name, size_key, Table::kKind, [&] {
    auto made = std::make_unique<Table>();
    fill(*made);
    return made;
  });
  return std::static_pointer_cast<const Table>(table);
}

// "Sine-C Interpolation": 33 rows of 8 windowed-sinc taps, each row summing
// to 1, for interpolating between samples at 1/32-sample steps.
std::shared_ptr<const ULookup> GetSineCInterpolationTable();

}  // namespace ov
