#include "engine/lookup_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace ov {
namespace {

TEST(LookupTable, SineCInterpolationIsBuiltOnceAndEveryRowSumsToOne) {
  const auto table = GetSineCInterpolationTable();
  EXPECT_EQ(GetSineCInterpolationTable(), table);
  ASSERT_EQ(table->Size(), 320u);
  for (int row = 0; row < 33; ++row) {
    double sum = 0.0;
    for (int tap = 0; tap < 8; ++tap) sum += table->entries[8 * row + tap];
    EXPECT_NEAR(sum, 1.0, 1e-6) << row;
  }
  // Row 0 is the unit impulse at tap 3; the last row is shifted by a tap.
  EXPECT_FLOAT_EQ(table->entries[3], 1.0f);
  EXPECT_EQ(table->entries[256], 0.0f);
  EXPECT_FLOAT_EQ(table->entries[260], 1.0f);
}

TEST(LookupTable, SizeKeyAndKindArePartOfTheIdentity) {
  int builds = 0;
  auto fill = [&](ULookup& table) {
    ++builds;
    table.entries.assign(64, 1.0f);
  };
  const auto small = GetLookupTable<ULookup>("identity test", 64, fill);
  EXPECT_EQ(GetLookupTable<ULookup>("identity test", 64, fill), small);
  EXPECT_EQ(builds, 1);

  const auto other_size = GetLookupTable<ULookup>(
      "identity test", 128, [](ULookup& table) { table.entries.assign(128, 2.0f); });
  EXPECT_NE(other_size, small);
  EXPECT_EQ(small->Size(), 64u);  // untouched by the second size
  EXPECT_EQ(small->entries[0], 1.0f);

  const auto integer = GetLookupTable<ULookup_Integer>(
      "identity test", 64, [](ULookup_Integer& table) { table.entries.assign(3, 7); });
  EXPECT_EQ(integer->Size(), 3u);
}

TEST(LookupTable, InstancesAskingAtOnceShareOneBuild) {
  std::atomic<int> builds{0};
  std::shared_ptr<const ULookup> seen[2];
  auto ask = [&](int i) {
    seen[i] = GetLookupTable<ULookup>("concurrent test", 8, [&](ULookup& table) {
      ++builds;
      table.entries.assign(4096, 0.5f);
    });
  };
  std::thread a(ask, 0);
  std::thread b(ask, 1);
  a.join();
  b.join();
  EXPECT_EQ(builds, 1);
  EXPECT_EQ(seen[0], seen[1]);
}

TEST(LookupTable, WavetableStoresTinyValuesAsZero) {
  Uwavetable table;
  table.Resize(3);
  table.Set(0, 1e-21f);
  table.Set(1, -1e-21f);
  table.Set(2, 1e-19f);
  EXPECT_EQ(table.Entries(), (std::vector<float>{0.0f, 0.0f, 1e-19f}));
}

}  // namespace
}  // namespace ov
