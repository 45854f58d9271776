// Patch parameters on the editor side: their values in project streams at
// each format boundary, value counts beyond the 128 patches, patch names and
// copies, and the normalised view of each value type.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "document/object_archive.h"
#include "document/patch_manager.h"
#include "modules/list_text.h"
#include "tests/document/document_test_support.h"

namespace ov::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// A distinct value per parameter and patch.
std::string SlotText(const PatchParameter& parameter, int32_t patch) {
  switch (parameter.value_type()) {
    case PatchParameter::kFloat:
      return std::to_string(patch * 0.5 + parameter.id() % 7);
    case PatchParameter::kText:
      return "text " + std::to_string(patch);
    case PatchParameter::kBool:
      return std::to_string(patch % 2);
    default:
      return std::to_string(patch % 3);
  }
}

// The manager of the main container (the rich project's holds a Patch
// Select), else the root's.
const CPatchManager& MainManager(const COrvaneDocBase& document) {
  const CPatchManager* manager = document.FindMainContainer()->GetPatchManager();
  EXPECT_NE(manager, nullptr);
  return *manager;
}

TEST(PatchStreams, PerPatchValuesSurviveEveryFormatBoundary) {
  TestProject project = RichProject();
  Add(*project.main, "PatchMemListIn2");
  Add(*project.main, "Patch Mem - Text in");
  project.document.RunPasses(true);
  CPatchManager& manager = *project.main->GetPatchManager();
  std::vector<int32_t> types;
  for (const auto& [id, parameter] : manager.parameters()) {
    for (int32_t patch = 0; patch < CPatchManager::kPatchCount; ++patch) {
      parameter->SetSlotFromText(patch, SlotText(*parameter, patch));
    }
    types.push_back(parameter->value_type());
  }
  // Floats, items and texts: each archive width.
  for (const int32_t type :
       {PatchParameter::kFloat, PatchParameter::kEnum, PatchParameter::kText}) {
    EXPECT_NE(std::find(types.begin(), types.end(), type), types.end()) << type;
  }
  PatchParameter& marked = *manager.parameters().begin()->second;
  marked.set_ignore_program_change(true);
  marked.SetMidiController(0x2000007);
  manager.SetPatchName(5, "Five");
  manager.SetCurrentPatch(9);

  for (const int32_t version :
       {95311, 95320, 95321, 95390, 95391, 95400, 95401, 95600, 95601, kCurrentLoadVersion}) {
    const COrvaneDocBase loaded = LoadOrFail(project.document.Write(version));
    const CPatchManager& back = MainManager(loaded);
    EXPECT_EQ(back.current_patch(), 9) << version;
    EXPECT_EQ(back.PatchName(5), "Five") << version;
    EXPECT_EQ(back.PatchName(6), "Patch   7") << version;
    ASSERT_EQ(back.parameters().size(), manager.parameters().size()) << version;
    for (const auto& [id, parameter] : manager.parameters()) {
      const auto found = back.parameters().find(id);
      ASSERT_NE(found, back.parameters().end()) << version;
      const PatchParameter& read = *found->second;
      EXPECT_EQ(read.value_type(), parameter->value_type());
      for (int32_t patch = 0; patch < CPatchManager::kPatchCount; ++patch) {
        ASSERT_EQ(read.SlotText(patch), parameter->SlotText(patch)) << version << " " << patch;
      }
      EXPECT_EQ(read.name(), version > 95390 ? parameter->name() : "") << version;
      const bool flags_kept = version > 95400;
      EXPECT_EQ(read.ignore_program_change(), flags_kept && parameter->ignore_program_change());
      EXPECT_EQ(read.midi_controller(), flags_kept ? parameter->midi_controller() : -1);
    }
    EXPECT_EQ(loaded.Write(version), project.document.Write(version)) << version;
  }
}

// Finds `needle` in `haystack`; the test fails when it is missing.
std::size_t Find(const Bytes& haystack, const Bytes& needle) {
  const auto at = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
  EXPECT_NE(at, haystack.end());
  return static_cast<std::size_t>(at - haystack.begin());
}

template <typename T>
void Put(Bytes& bytes, const T& value) {
  const auto* raw = reinterpret_cast<const uint8_t*>(&value);
  bytes.insert(bytes.end(), raw, raw + sizeof value);
}

TEST(PatchStreams, ValueCountsBeyondTheSlotsAreReadAndDropped) {
  TestProject project;
  Add(*project.main, "PatchMemFloatIn");
  Add(*project.main, "PatchMemFloatIn");
  project.document.RunPasses(true);
  CPatchManager& manager = *project.main->GetPatchManager();
  ASSERT_EQ(manager.parameters().size(), 2u);
  float base = 1000;
  for (const auto& [id, parameter] : manager.parameters()) {
    for (int32_t patch = 0; patch < CPatchManager::kPatchCount; ++patch) {
      parameter->SetSlotFromText(patch, std::to_string(base + patch));
    }
    base += 1000;
  }
  Bytes stream = project.document.Write(kCurrentLoadVersion);

  // The first parameter's 128 values become 200, the rest of the stream
  // unchanged behind them.
  Bytes count_and_first;
  Put(count_and_first, int32_t{128});
  Put(count_and_first, 1000.0f);
  const std::size_t at = Find(stream, count_and_first);
  const int32_t longer = 200;
  std::memcpy(&stream[at], &longer, sizeof longer);
  Bytes extra;
  for (int i = 0; i < 72; ++i) Put(extra, 5555.0f);
  stream.insert(stream.begin() + static_cast<std::ptrdiff_t>(at + 4 + 128 * 4), extra.begin(),
                extra.end());

  const COrvaneDocBase loaded = LoadOrFail(stream);
  const CPatchManager& back = MainManager(loaded);
  ASSERT_EQ(back.parameters().size(), 2u);
  base = 1000;
  for (const auto& [id, parameter] : back.parameters()) {
    EXPECT_EQ(parameter->SlotValue(0).real, base);
    EXPECT_EQ(parameter->SlotValue(127).real, base + 127);
    base += 1000;
  }
}

TEST(PatchChunks, ARangeOfPatchesReadsBackFromItsFirstSlotAndDropsWhatOverruns) {
  TestProject project;
  Add(*project.main, "PatchMemFloatIn");
  project.document.RunPasses(true);
  CPatchManager& manager = *project.main->GetPatchManager();
  PatchParameter& parameter = *manager.parameters().begin()->second;
  for (int32_t patch = 0; patch < CPatchManager::kPatchCount; ++patch) {
    parameter.SetSlotFromText(patch, std::to_string(patch));
  }
  ArchiveWriter writer;
  parameter.WalkPatchRange(writer, 3, 5);
  const Bytes three = writer.bytes();
  ASSERT_EQ(three.size(), 4u + 3 * 4);

  int applied = 0;
  parameter.on_value_changed = [&](PatchParameter&, bool) { ++applied; };
  manager.SetCurrentPatch(126);
  applied = 0;
  ObjectArchive reader(three);
  parameter.WalkPatchRange(reader, 125, 127);  // three values from slot 125
  EXPECT_EQ(parameter.SlotValue(125).real, 3.0f);
  EXPECT_EQ(parameter.SlotValue(127).real, 5.0f);
  EXPECT_EQ(applied, 1);  // the current patch was among them

  // A block that runs past the last slot is read whole and the rest dropped.
  ObjectArchive overrun(three);
  parameter.WalkPatchRange(overrun, 127, 127);
  EXPECT_EQ(overrun.Remaining(), 0u);
  EXPECT_EQ(parameter.SlotValue(127).real, 3.0f);
}

TEST(PatchManagerNames, DefaultNamesCopiesAndTheCurrentPatchKeptInRange) {
  CPatchManager manager;
  EXPECT_EQ(manager.PatchName(0), "Patch   1");
  EXPECT_EQ(manager.PatchName(99), "Patch 100");
  manager.SetPatchName(5, "Bright");
  EXPECT_EQ(manager.PatchName(4), "Patch   5");
  EXPECT_EQ(manager.PatchName(6), "Patch   7");

  manager.SetCurrentPatch(5);
  manager.CopyPatches(10, 11);
  EXPECT_EQ(manager.PatchName(10), "(Copy 1) Bright");
  EXPECT_EQ(manager.PatchName(11), "(Copy 2) Bright");
  manager.CopyPatches(126, 400);  // kept within the patches
  EXPECT_EQ(manager.PatchName(127), "(Copy 2) Bright");

  manager.SetCurrentPatch(500);
  EXPECT_EQ(manager.current_patch(), 127);
  manager.SetCurrentPatch(-3);
  EXPECT_EQ(manager.current_patch(), 0);
}

TEST(PatchValues, EachTypeNormalisesWithinItsRangeAndItsItems) {
  const FloatRange range{-1.0f, 3.0f};
  const ListText one("Only=7");
  const ListText three("Off,Slow=5,Fast");
  const ListText none("");
  PatchValue value;

  value.real = 1.0f;
  EXPECT_EQ(ToNormalised(kPatchFloat, value, range, none), 0.5f);
  value.real = 99.0f;
  EXPECT_EQ(ToNormalised(kPatchFloat, value, range, none), 1.0f);  // clamped
  ASSERT_TRUE(FromNormalised(kPatchFloat, 0.25f, range, none, value));
  EXPECT_EQ(value.real, 0.0f);
  ASSERT_TRUE(
      FromNormalised(kPatchFloat, std::numeric_limits<float>::quiet_NaN(), range, none, value));
  EXPECT_EQ(value.real, -1.0f);
  // An empty range never divides by zero.
  value.real = 2.0f;
  EXPECT_EQ(ToNormalised(kPatchFloat, value, FloatRange{2.0f, 2.0f}, none), 0.0f);

  value.number = 7;
  EXPECT_EQ(ToNormalised(kPatchEnum, value, range, one), 0.0f);  // one item: 0
  value.number = 5;
  EXPECT_EQ(ToNormalised(kPatchEnum, value, range, three), 0.5f);
  ASSERT_TRUE(FromNormalised(kPatchEnum, 1.0f, range, three, value));
  EXPECT_EQ(value.number, 6);  // the last item, not one past it
  ASSERT_TRUE(FromNormalised(kPatchEnum, 0.66f, range, three, value));
  EXPECT_EQ(value.number, 5);
  ASSERT_TRUE(FromNormalised(kPatchEnum, 0.5f, range, none, value));
  EXPECT_EQ(value.number, 0);  // no items

  ASSERT_TRUE(FromNormalised(kPatchBool, 0.5f, range, none, value));
  EXPECT_EQ(value.number, 1);
  ASSERT_TRUE(FromNormalised(kPatchBool, 0.49f, range, none, value));
  EXPECT_EQ(value.number, 0);
  value.number = 1;
  EXPECT_EQ(ToNormalised(kPatchBool, value, range, none), 1.0f);

  // Integers and texts have no normalised form.
  value.number = 12345;
  EXPECT_FALSE(FromNormalised(kPatchInt, 0.5f, range, none, value));
  EXPECT_EQ(value.number, 12345);
  EXPECT_EQ(ToNormalised(kPatchInt, value, range, none), 0.0f);
  EXPECT_FALSE(FromNormalised(kPatchText, 0.5f, range, none, value));
  EXPECT_EQ(ToNormalised(kPatchText, value, range, none), -1.0f);
}

TEST(PatchValues, FloatTextsShowFewerDecimalsAsTheValueGrows) {
  EXPECT_EQ(FloatValueText(0.05f), "0.0500");
  EXPECT_EQ(FloatValueText(5.0f), "5.00");
  EXPECT_EQ(FloatValueText(10.0f), "10.00");
  EXPECT_EQ(FloatValueText(50.0f), "50.0");
  EXPECT_EQ(FloatValueText(100.0f), "100.0");
  EXPECT_EQ(FloatValueText(500.0f), "500");
  EXPECT_EQ(FloatValueText(-0.05f), "-0.0500");
}

}  // namespace
}  // namespace ov::testing
