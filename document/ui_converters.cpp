#include "document/ui_converters.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "modules/list_text.h"
#include "platform/text.h"

namespace ov {

constinit const SerialClass kui_bitmap_frame{"ui_bitmap_frame", 1, false,
                                             &MakeObject<ui_bitmap_frame>, &kCUG_ui};
constinit const SerialClass kui_bool_splitter{"ui_bool_splitter", 1, false,
                                              &MakeObject<ui_bool_splitter>, &kCUG_ui};
constinit const SerialClass ui_bools_to_enum::kClass{"ui_bools_to_enum", 1, false,
                                                     &MakeObject<ui_bools_to_enum>, &kCUG_ui};
constinit const SerialClass kui_enum_to_bools{"ui_enum_to_bools", 1, false,
                                              &MakeObject<ui_enum_to_bools>, &kCUG_ui};
constinit const SerialClass kui_float_to_bool{"ui_float_to_bool", 1, false,
                                              &MakeObject<ui_float_to_bool>, &kCUG_ui};
constinit const SerialClass kui_incrementor{"ui_incrementor", 1, false,
                                            &MakeObject<ui_incrementor>, &kCUG_ui};
constinit const SerialClass kui_incrementor2{"ui_incrementor2", 1, false,
                                             &MakeObject<ui_incrementor2>, &kCUG_ui};
constinit const SerialClass kui_int_to_list{"ui_int_to_list", 1, false,
                                            &MakeObject<ui_int_to_list>, &kCUG_ui};
constinit const SerialClass kui_spring{"ui_spring", 1, false, &MakeObject<ui_spring>, &kCUG_ui};
constinit const SerialClass kui_text_to_float{"ui_text_to_float", 1, false,
                                              &MakeObject<ui_text_to_float>, &kCUG_ui};
constinit const SerialClass kui_float_scaler{"ui_float_scaler", 1, false,
                                             &MakeObject<ui_float_scaler>, &CUG::kClass};
constinit const SerialClass kui_animation_scaler_db{
    "ui_animation_scaler_db", 1, false, &MakeObject<ui_animation_scaler_db>, &CUG::kClass};

namespace {

// List values are 16-bit, so no list worth stepping through is longer;
// a hostile "range" text stops here instead of stalling the panel.
constexpr int64_t kMostItems = 65536;

std::vector<ListText::Item> ItemsOf(const std::string& text) {
  std::vector<ListText::Item> items;
  ListText(text).ForEach([&](const ListText::Item& item) {
    items.push_back(item);
    return static_cast<int64_t>(items.size()) < kMostItems;
  });
  return items;
}

const std::string& ItemText(const ListReference& list) { return list.Metadata().items; }

constexpr HelperFeature kSpareBoolOut{"Spare", DR_OUT, DT_BOOL, "0", "",
                                      kPlugTakesPartnerName | kPlugAutoDuplicate};

}  // namespace

// --- Image to Frame

int32_t ui_bitmap_frame::FrameOf(float position, int32_t count) {
  const double span = std::max<int64_t>(int64_t{count} - 1, 0);
  const double frame = std::trunc(static_cast<double>(position) * span + 0.5);
  // Not a number, or a position below 0, shows the first frame.
  if (!(frame > 0.0)) return 0;
  return frame >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(frame);
}

float ui_bitmap_frame::PositionOf(int32_t number, int32_t count) {
  const int64_t span = std::max<int64_t>(int64_t{count} - 1, 1);
  return static_cast<float>(static_cast<double>(number) / static_cast<double>(span));
}

std::span<const HelperFeature> ui_bitmap_frame::Features() const {
  static constexpr HelperFeature kFeatures[] = {{"Animation Position", DR_IN, DT_FLOAT},
                                                {"Frame Count", DR_IN, DT_INT},
                                                {"Frame Number", DR_OUT, DT_INT}};
  return kFeatures;
}

ui_bitmap_frame::ui_bitmap_frame() {
  Bind(0, position_);
  Bind(1, count_);
  Bind(2, frame_);
}

void ui_bitmap_frame::VariableChanged(generic_feature& variable) {
  if (&variable != &position_) return;
  // The frame is shown, not written back: the knob keeps its position.
  guard_ = true;
  frame_.Set(FrameOf(position_.Get(), count_.Get()));
  guard_ = false;
}

void ui_bitmap_frame::ControlChanged(generic_control& reference) {
  if (&reference != &frame_ || !frame_.Attached()) return;
  guard_ = true;
  position_.Set(PositionOf(frame_.Get(), count_.Get()));
  guard_ = false;
}

// --- Bool Splitter

std::span<const HelperFeature> ui_bool_splitter::Features() const {
  static constexpr HelperFeature kFeatures[] = {{"In", DR_IN, DT_BOOL, "0", "", kPlugAutoList}};
  return kFeatures;
}

const HelperFeature* ui_bool_splitter::SpareFeature() const { return &kSpareBoolOut; }

ui_bool_splitter::ui_bool_splitter() {
  Bind(0, in_);
  BindEachFrom<BoolReference>(1);
}

void ui_bool_splitter::VariableChanged(generic_feature&) {
  for (CPlugFeature* plug : FeaturePlugsFrom(1)) {
    if (auto* output = dynamic_cast<BoolReference*>(BindingOf(*plug).reference)) {
      output->Set(in_.Get());
    }
  }
}

void ui_bool_splitter::ControlChanged(generic_control& reference) {
  auto* output = dynamic_cast<BoolReference*>(&reference);
  if (output != nullptr && output->Attached()) in_.Set(output->Get());
}

// --- Bools to List

void ui_bools_to_enum::Serialize(FieldWalker& walker) {
  CUG_ui::Serialize(walker);
  if (walker.Loading()) was_loaded_ = reading_ = true;
}

std::span<const HelperFeature> ui_bools_to_enum::Features() const {
  static constexpr HelperFeature kFeatures[] = {{"Value", DR_OUT, DT_ENUM}};
  return kFeatures;
}

const HelperFeature* ui_bools_to_enum::FeatureAt(int32_t index) const {
  // Named after their items when the list is followed.
  static constexpr HelperFeature kItem{"", DR_IN, DT_BOOL};
  if (index == 0) return &Features()[0];
  return index > 0 ? &kItem : nullptr;
}

ui_bools_to_enum::ui_bools_to_enum() {
  Bind(0, value_);
  BindEachFrom<BoolVariable>(1);
}

void ui_bools_to_enum::Initialise(bool) { reading_ = false; }

void ui_bools_to_enum::FollowList() {
  const std::vector<ListText::Item> items = ItemsOf(ItemText(value_));
  std::vector<CPlugFeature*> inputs = FeaturePlugsFrom(1);
  bool changed = false;
  guard_ = true;
  for (std::size_t i = 0; i < items.size(); ++i) {
    CPlugFeature* plug = i < inputs.size() ? inputs[i] : nullptr;
    if (plug == nullptr) {
      plug = AddFeaturePlug({"", DR_IN, DT_BOOL}, static_cast<int32_t>(i) + 1);
      changed = true;
    }
    plug->SetFeature(items[i].label, plug->feature_index(), 0);
    static_cast<BoolVariable*>(BindingOf(*plug).variable)->Set(items[i].value == value_.Get());
  }
  guard_ = false;
  // The last inputs go while nothing is connected to them.
  for (std::size_t i = inputs.size(); i > items.size(); --i) {
    CPlugFeature* plug = inputs[i - 1];
    if (!plug->connections().empty()) break;
    RemovePlug(plug);
    changed = true;
  }
  if (changed) PlugsChanged();
}

void ui_bools_to_enum::ControlChanged(generic_control& reference) {
  if (&reference == &value_ && !reading_) FollowList();
}

void ui_bools_to_enum::VariableChanged(generic_feature& variable) {
  const std::vector<ListText::Item> items = ItemsOf(ItemText(value_));
  const std::vector<CPlugFeature*> inputs = FeaturePlugsFrom(1);
  for (std::size_t i = 0; i < inputs.size() && i < items.size(); ++i) {
    inputs[i]->SetFeature(items[i].label, inputs[i]->feature_index(), 0);
    if (BindingOf(*inputs[i]).variable != &variable) continue;
    if (static_cast<BoolVariable&>(variable).Get() && items[i].value != value_.Get()) {
      value_.Set(static_cast<int16_t>(items[i].value));
    }
  }
}

// --- List To Bools

std::span<const HelperFeature> ui_enum_to_bools::Features() const {
  static constexpr HelperFeature kFeatures[] = {{"List", DR_IN, DT_ENUM, "0", "", kPlugAutoList}};
  return kFeatures;
}

const HelperFeature* ui_enum_to_bools::SpareFeature() const { return &kSpareBoolOut; }

ui_enum_to_bools::ui_enum_to_bools() {
  Bind(0, list_);
  BindEachFrom<BoolReference>(1);
}

void ui_enum_to_bools::Initialise(bool) { Light(); }

void ui_enum_to_bools::Light() {
  const int32_t position = list_.Get();
  const std::size_t at = static_cast<std::size_t>(position) + 1;
  if (position < 0 || at >= plugs().size()) return;
  CPlug2* plug = plugs()[at].get();
  auto* output = dynamic_cast<BoolReference*>(BindingOf(*plug).reference);
  if (output == nullptr || plug->IsUnusedSpare()) return;
  guard_ = true;
  output->Set(true);
  if (active_ != nullptr && active_ != plug) {
    if (auto* previous = dynamic_cast<BoolReference*>(BindingOf(*active_).reference)) {
      previous->Set(false);
    }
  }
  guard_ = false;
  active_ = plug;
}

void ui_enum_to_bools::VariableChanged(generic_feature&) { Light(); }

void ui_enum_to_bools::OnPlugRemoved(const CPlug2* gone) {
  CUG_ui::OnPlugRemoved(gone);
  if (gone == active_) active_ = nullptr;
  list_.Set(0);
}

void ui_enum_to_bools::ControlChanged(generic_control& reference) {
  auto* output = dynamic_cast<BoolReference*>(&reference);
  if (output == nullptr || !output->Attached() || !output->Get()) return;
  const CPlug2* plug = PlugOf(reference);
  for (std::size_t i = 1; i < plugs().size(); ++i) {
    if (plugs()[i].get() == plug) list_.Set(static_cast<int16_t>(i - 1));
  }
}

// --- Float To Bool

std::span<const HelperFeature> ui_float_to_bool::Features() const {
  static constexpr HelperFeature kFeatures[] = {{"In", DR_IN, DT_FLOAT}, {"Out", DR_OUT, DT_BOOL}};
  return kFeatures;
}

ui_float_to_bool::ui_float_to_bool() {
  Bind(0, in_);
  Bind(1, out_);
}

void ui_float_to_bool::Initialise(bool) { VariableChanged(in_); }

void ui_float_to_bool::VariableChanged(generic_feature&) {
  // Its own write must not come back as 10.
  guard_ = true;
  out_.Set(in_.Get() > 0.0f);
  guard_ = false;
}

void ui_float_to_bool::ControlChanged(generic_control&) {
  if (!out_.Attached()) return;
  guard_ = true;
  in_.Set(out_.Get() ? 10.0f : 0.0f);
  guard_ = false;
}

// --- Increment and Increment2

int32_t StepThroughList(const std::string& text, int32_t current, bool up, bool wrap) {
  const std::vector<ListText::Item> items = ItemsOf(text);
  if (items.empty()) return current;
  const int32_t first = items.front().value;
  const int32_t last = items.back().value;
  const auto at = std::find_if(items.begin(), items.end(),
                               [&](const ListText::Item& item) { return item.value == current; });
  if (up) {
    if (current == last && wrap) return first;
    if (at == items.end()) return first;
    return at + 1 == items.end() ? current : (at + 1)->value;
  }
  if (current == first) return wrap ? last : first;
  if (at == items.end()) return last;
  return at == items.begin() ? first : (at - 1)->value;
}

namespace {

constexpr HelperFeature kIncrementFeatures[] = {{"Value", DR_OUT, DT_ENUM},
                                                {"Increment", DR_OUT, DT_BOOL},
                                                {"Decrement", DR_OUT, DT_BOOL},
                                                {"Wrap", DR_IN, DT_BOOL}};
constexpr HelperFeature kIncrement2Features[] = {{"Value", DR_OUT, DT_ENUM},
                                                 {"Increment", DR_IN, DT_BOOL},
                                                 {"Decrement", DR_IN, DT_BOOL},
                                                 {"Wrap", DR_IN, DT_BOOL}};

void Step(ListReference& value, bool up, bool wrap) {
  value.Set(static_cast<int16_t>(StepThroughList(ItemText(value), value.Get(), up, wrap)));
}

}  // namespace

std::span<const HelperFeature> ui_incrementor::Features() const { return kIncrementFeatures; }

ui_incrementor::ui_incrementor() {
  Bind(0, value_);
  Bind(1, up_);
  Bind(2, down_);
  Bind(3, wrap_);
}

void ui_incrementor::ControlChanged(generic_control& reference) {
  // The end of a press steps; its start does nothing.
  if (&reference == &up_ && up_.Attached() && !up_.Get()) Step(value_, true, wrap_.Get());
  if (&reference == &down_ && down_.Attached() && !down_.Get()) Step(value_, false, wrap_.Get());
}

std::span<const HelperFeature> ui_incrementor2::Features() const { return kIncrement2Features; }

ui_incrementor2::ui_incrementor2() {
  Bind(0, value_);
  Bind(1, up_);
  Bind(2, down_);
  Bind(3, wrap_);
}

void ui_incrementor2::VariableChanged(generic_feature& variable) {
  if (&variable == &up_ && !up_.Get()) Step(value_, true, wrap_.Get());
  if (&variable == &down_ && !down_.Get()) Step(value_, false, wrap_.Get());
}

// --- Int to List

std::span<const HelperFeature> ui_int_to_list::Features() const {
  static constexpr HelperFeature kFeatures[] = {{"In", DR_IN, DT_INT}, {"Out", DR_OUT, DT_ENUM}};
  return kFeatures;
}

ui_int_to_list::ui_int_to_list() {
  Bind(0, in_);
  Bind(1, out_);
}

void ui_int_to_list::FindPosition() {
  const std::vector<ListText::Item> items = ItemsOf(ItemText(out_));
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].value != in_.Get()) continue;
    guard_ = true;
    out_.Set(static_cast<int16_t>(i));
    guard_ = false;
    return;
  }
}

void ui_int_to_list::Initialise(bool) { FindPosition(); }

void ui_int_to_list::VariableChanged(generic_feature&) { FindPosition(); }

void ui_int_to_list::ControlChanged(generic_control&) {
  if (!out_.Attached()) return;
  const std::vector<ListText::Item> items = ItemsOf(ItemText(out_));
  const int32_t position = out_.Get();
  if (position < 0 || static_cast<std::size_t>(position) >= items.size()) return;
  guard_ = true;
  in_.Set(items[static_cast<std::size_t>(position)].value);
  guard_ = false;
}

// --- Spring

std::span<const HelperFeature> ui_spring::Features() const {
  static constexpr HelperFeature kFeatures[] = {{"Normalised Value", DR_OUT, DT_FLOAT},
                                                {"Mouse Down", DR_OUT, DT_BOOL},
                                                {"Reset Value", DR_IN, DT_FLOAT}};
  return kFeatures;
}

ui_spring::ui_spring() {
  Bind(0, value_);
  Bind(1, mouse_down_);
  Bind(2, reset_);
}

void ui_spring::ControlChanged(generic_control& reference) {
  if (&reference == &mouse_down_ && mouse_down_.Attached() && !mouse_down_.Get()) {
    value_.Set(reset_.Get());
  }
}

// --- Text To Float

std::string ui_text_to_float::Print(float value, int32_t decimals) {
  if (decimals < 0) {
    const float size = std::fabs(value);
    decimals = size < 0.1f ? 4 : size <= 10.0f ? 2 : size <= 100.0f ? 1 : 0;
  }
  return FormatFixed(value, std::min(decimals, 10));
}

std::span<const HelperFeature> ui_text_to_float::Features() const {
  static constexpr HelperFeature kFeatures[] = {
      {"Value", DR_OUT, DT_FLOAT},
      {"Text", DR_IN, DT_TEXT, ""},
      {"Decimal Places", DR_IN, DT_ENUM, "-1", "<auto>=-1,0,1,2,3,4,5,6,7,8,9,10"}};
  return kFeatures;
}

ui_text_to_float::ui_text_to_float() {
  Bind(0, value_);
  Bind(1, text_);
  Bind(2, decimals_);
}

void ui_text_to_float::PrintValue() {
  guard_ = true;
  text_.Set(Print(value_.Get(), decimals_.Get()));
  guard_ = false;
}

void ui_text_to_float::VariableChanged(generic_feature& variable) {
  if (&variable == &decimals_) {
    PrintValue();
    return;
  }
  // The number at the start of the text, read in the C locale; 0 without one.
  float value = 0.0f;
  ValueFromText(text_.Get(), &value);
  value_.Set(value);
}

void ui_text_to_float::ControlChanged(generic_control&) {
  if (value_.Attached()) PrintValue();
}

// --- UiFloatScaler

void ui_float_scaler::SetUpAsNew(const Module_Info& type) {
  ui_module::SetUpAsNew(type);
  if (CPlug2* multiply = FindPlug("Multiply by")) multiply->SetValueText("0.1");
}

ui_float_scaler::ui_float_scaler() {
  Bind(0, in_);
  Bind(1, multiply_);
  Bind(2, add_);
  Bind(3, out_);
}

void ui_float_scaler::VariableChanged(generic_feature& variable) {
  if (&variable != &in_) return;  // a new factor or offset recomputes nothing
  guard_ = true;
  out_.Set(in_.Get() * multiply_.Get() + add_.Get());
  guard_ = false;
}

void ui_float_scaler::ControlChanged(generic_control&) {
  if (!out_.Attached() || multiply_.Get() == 0.0f) return;
  guard_ = true;
  in_.Set((out_.Get() - add_.Get()) / multiply_.Get());
  guard_ = false;
}

// --- UiAnimationScaleDb

float ui_animation_scaler_db::Curve(float db) {
  if (db >= -3.0f) return (db + 3.0f) * 0.1f + 0.4f;
  if (db >= -8.75f) return (db + 7.0f) * 0.05f + 0.2f;
  return (db + 20.0f) * 0.01f;
}

float ui_animation_scaler_db::Position(float db) {
  const float position = Curve(db);
  if (position > 1.0f) return 1.0f;
  return position >= 0.0f ? position : 0.0f;  // not a number too
}

ui_animation_scaler_db::ui_animation_scaler_db() {
  Bind(0, position_);
  Bind(1, db_);
}

void ui_animation_scaler_db::ControlChanged(generic_control&) {
  if (db_.Attached()) position_.Set(Position(db_.Get()));
}

}  // namespace ov
