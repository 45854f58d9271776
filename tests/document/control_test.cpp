// Control modules on the editor side: a slider's value, normalised view and
// readout, button appearances, an empty range, NaN, adapting to the plug it
// feeds, and stored value counts beyond the 128 patches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "document/control.h"
#include "document/object_archive.h"
#include "document/patch_manager.h"
#include "tests/document/document_test_support.h"

namespace ov::testing {
namespace {

class CountingWatcher : public ParamWatcher {
 public:
  int changes = 0;

 protected:
  void OnParameterChanged() override { ++changes; }
};

TEST(SliderControl, ValuesNormalisedViewsAndReadouts) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* what;
    const char* lo;
    const char* hi;
    const char* appearance;
    std::optional<double> store;       // SetValue on the current patch
    std::optional<float> normalised;   // then SetNormalised
    double value;                      // Value(-1); NaN: expect NaN
    float reads_normalised;
    const char* readout;
    const char* text_for_quarter;      // TextForNormalised(0.25)
  };
  const Row rows[] = {
      {"a quarter of 0..10", "0", "10", "1", {}, 0.25f, 2.5, 0.25f, "2.50", "2.500"},
      {"button below the middle reads lo", "0", "10", "4", 4.9, {}, 0.0, 0.0f, "0.000", "2.500"},
      {"button at the middle reads hi", "0", "10", "4", 5.0, {}, 10.0, 1.0f, "10.00", "2.500"},
      {"small toggle reads hi", "0", "10", "9", 7.0, {}, 10.0, 1.0f, "10.00", "2.500"},
      {"three decimals below 1", "0", "10", "1", 0.5, {}, 0.5, 0.05f, "0.500", "2.500"},
      {"two decimals below 100", "0", "100", "1", 42.25, {}, 42.25, 0.4225f, "42.25", "25.000"},
      {"one decimal from 100", "0", "200", "1", 150.0, {}, 150.0, 0.75f, "150.0", "50.000"},
      {"beyond hi clamps the view", "-5", "5", "1", 9.0, {}, 9.0, 1.0f, "9.00", "-2.500"},
      {"an empty range is at 0", "3", "3", "1", 3.0, 0.7f, 3.0, 0.0f, "3.00", "3.000"},
      {"NaN normalised stores lo", "2", "10", "1", 6.0, std::nanf(""), 2.0, 0.0f, "2.00",
       "4.000"},
      {"a stored NaN reads as 0", "0", "10", "1", kNaN, {}, kNaN, 0.0f, "nan", "2.500"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TestProject project;
    auto* slider = Add<Ctl_Slider>(*project.main, "Slider");
    project.document.RunPasses(true);
    Plug(*slider, "Lo Value")->WriteValueText(row.lo);
    Plug(*slider, "Hi Value")->WriteValueText(row.hi);
    Plug(*slider, "Appearance")->WriteValueText(row.appearance);
    if (row.store) slider->SetValue(-1, *row.store);
    if (row.normalised) slider->SetNormalised(*row.normalised);
    if (std::isnan(row.value)) {
      EXPECT_TRUE(std::isnan(slider->Value(-1)));
    } else {
      EXPECT_DOUBLE_EQ(slider->Value(-1), row.value);
    }
    EXPECT_FLOAT_EQ(slider->GetNormalised(), row.reads_normalised);
    if (!std::isnan(row.value)) {
      EXPECT_EQ(slider->ValueText(), row.readout);
    }
    EXPECT_EQ(slider->TextForNormalised(0.25f), row.text_for_quarter);
  }
}

TEST(SliderControl, FollowsItsPatchAndTellsWatchersOfTheCurrentOneOnly) {
  TestProject project;
  auto* slider = Add<Ctl_Slider>(*project.main, "Slider");
  project.document.RunPasses(true);
  CountingWatcher watcher;
  watcher.Watch(slider);
  CPatchManager& manager = *slider->parent()->GetPatchManager();

  slider->SetValue(3, 7.0);  // not the current patch
  EXPECT_EQ(watcher.changes, 0);
  slider->SetValue(-1, 1.0);
  slider->SetValue(-1, 1.0);  // unchanged: nothing
  EXPECT_EQ(watcher.changes, 1);
  manager.SetCurrentPatch(3);
  slider->OnPatchChanged(3);
  EXPECT_EQ(watcher.changes, 2);
  EXPECT_DOUBLE_EQ(slider->Value(-1), 7.0);
  slider->CopyValue(3, 10, 200);  // clipped to the patches there are
  EXPECT_DOUBLE_EQ(slider->Value(127), 7.0);
  EXPECT_DOUBLE_EQ(slider->Value(9), 0.0);
  EXPECT_EQ(watcher.changes, 2);  // the current patch was not among them
  // "Ignore Program Change" keeps patch 0 whatever the container selects.
  Plug(*slider, "Ignore Program Change")->WriteValueText("1");
  EXPECT_DOUBLE_EQ(slider->Value(-1), 1.0);
  EXPECT_DOUBLE_EQ(slider->Value(500), 1.0);  // outside the patches: patch 0
}

TEST(SliderControl, AdaptsToTheInputItFeeds) {
  TestProject project;
  auto* slider = Add<Ctl_Slider>(*project.main, "Slider");
  CUG* memory = Add(*project.main, "PatchMemFloatIn");
  project.document.RunPasses(true);
  PatchParameter* parameter = ParameterOf(*Plug(*memory, "Value"));
  ASSERT_NE(parameter, nullptr);
  parameter->set_range({20.0f, 20000.0f});
  parameter->SetAllFromText("440");
  CountingWatcher watcher;
  watcher.Watch(slider);

  project.main->Connect(Plug(*slider, "Signal Out"), Plug(*memory, "Value"));
  EXPECT_EQ(Plug(*slider, "Lo Value")->ValueText(), "20.000");
  EXPECT_EQ(Plug(*slider, "Hi Value")->ValueText(), "20000.000");
  for (int32_t patch = 0; patch < CControl::kPatchCount; ++patch) {
    ASSERT_DOUBLE_EQ(slider->Value(patch), 440.0) << patch;
  }
  EXPECT_EQ(slider->Name(), "Value");
  EXPECT_TRUE(slider->hint().empty());
  EXPECT_GE(watcher.changes, 1);
}

TEST(SliderControl, StoredValueCountsBeyondThePatchesAreReadAndTheFirst128Kept) {
  TestProject project;
  auto* first = Add<Ctl_Slider>(*project.main, "Slider");
  auto* second = Add<Ctl_Slider>(*project.main, "Slider");
  first->SetTitle("first");
  second->SetTitle("second");
  for (int32_t patch = 0; patch < CControl::kPatchCount; ++patch) {
    first->SetValue(patch, 1000.5 + patch);
    second->SetValue(patch, 2000.5 + patch);
  }
  std::vector<uint8_t> stream = project.document.Write(kCurrentLoadVersion);
  // The first slider's 128 values become 200; the second follows them.
  std::vector<uint8_t> count_and_first(4 + 8);
  const int32_t count = 128;
  const double value = 1000.5;
  std::memcpy(count_and_first.data(), &count, 4);
  std::memcpy(count_and_first.data() + 4, &value, 8);
  const auto at = std::search(stream.begin(), stream.end(), count_and_first.begin(),
                              count_and_first.end());
  ASSERT_NE(at, stream.end());
  const auto offset = at - stream.begin();
  const int32_t longer = 200;
  std::memcpy(&stream[static_cast<std::size_t>(offset)], &longer, 4);
  std::vector<uint8_t> extra(72 * 8);
  for (std::size_t i = 0; i < 72; ++i) {
    const double spare = 5555.0;
    std::memcpy(extra.data() + i * 8, &spare, 8);
  }
  stream.insert(stream.begin() + offset + 4 + 128 * 8, extra.begin(), extra.end());

  const COrvaneDocBase loaded = LoadOrFail(stream);
  std::vector<const Ctl_Slider*> sliders;
  for (const auto& child : loaded.FindMainContainer()->children()) {
    if (const auto* slider = dynamic_cast<const Ctl_Slider*>(child.get())) {
      sliders.push_back(slider);
    }
  }
  ASSERT_EQ(sliders.size(), 2u);
  for (const Ctl_Slider* slider : sliders) {
    const double base = slider->title() == "first" ? 1000.5 : 2000.5;
    EXPECT_DOUBLE_EQ(slider->Value(0), base) << slider->title();
    EXPECT_DOUBLE_EQ(slider->Value(127), base + 127) << slider->title();
  }
}

TEST(ListEntryControl, StepsThroughTheListItFeeds) {
  TestProject project;
  auto* combo = Add<Ctl_Combo>(*project.main, "List Entry");
  project.document.RunPasses(true);
  combo->SetItemList("Sine=2,Saw=5,Square=9");
  EXPECT_EQ(combo->Datatype(), DT_ENUM);
  combo->SetNormalised(0.5f);
  EXPECT_EQ(combo->ValueText(), "5");
  EXPECT_FLOAT_EQ(combo->GetNormalised(), 0.5f);
  EXPECT_EQ(combo->TextForNormalised(1.0f), "Square");
  combo->SetNormalised(std::nanf(""));
  EXPECT_EQ(combo->ValueText(), "2");
}

}  // namespace
}  // namespace ov::testing
