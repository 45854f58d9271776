#include "document/plug_kinds.h"

#include <vector>

#include "document/connection.h"
#include "document/module.h"
#include "document/panel_feeds.h"
#include "modules/list_text.h"
#include "platform/text.h"

namespace ov {

constinit const SerialClass CPlugNameable::kClass{"CPlugNameable", 1, false,
                                                  &MakeObject<CPlugNameable>, &CPlug2::kClass};
constinit const SerialClass CPlugIO2::kClass{"CPlugIO2", 1, false, &MakeObject<CPlugIO2>,
                                             &CPlugNameable::kClass};
constinit const SerialClass CPlugControled::kClass{
    "CPlugControled", 1, false, &MakeObject<CPlugControled>, &CPlugNameable::kClass};
constinit const SerialClass CPlugFeature::kClass{"CPlugFeature", 1, false,
                                                 &MakeObject<CPlugFeature>, &CPlug2::kClass};
constinit const SerialClass CPlugFeature2::kClass{
    "CPlugFeature2", 1, false, &MakeObject<CPlugFeature2>, &CPlugFeature::kClass};
constinit const SerialClass CPlugFeature3::kClass{
    "CPlugFeature3", 1, false, &MakeObject<CPlugFeature3>, &CPlugFeature::kClass};
constinit const SerialClass CPlugFeature4::kClass{
    "CPlugFeature4", 1, false, &MakeObject<CPlugFeature4>, &CPlugFeature::kClass};

void CPlugNameable::Serialize(FieldWalker& walker) {
  CPlug2::Serialize(walker);
  walker.String("name", name_);
}

void CPlugNameable::SetName(std::string name) {
  if (name == name_) return;
  name_ = std::move(name);
  Notify(Notification(kNotifyRenamed, this, 0, name_));
}

void CPlugIO2::Serialize(FieldWalker& walker) {
  CPlugNameable::Serialize(walker);
  walker.UInt16("direction", direction_);
  Ref(walker, "partner", partner_);
  if (walker.LoadVersion() > 94961) walker.UInt16("datatype", datatype_);
}

const CPlug2* CPlugIO2::Walk(int32_t direction_test) const {
  constexpr int kMaxSteps = 1000;
  const CPlug2* reached = this;
  for (int step = 0; step < kMaxSteps; ++step) {
    const CPlug2* next =
        reached->Direction() == direction_test ? reached->Partner() : reached->FirstConnectedPlug();
    if (next == nullptr || next == this || next->Direction() == DR_CONTAINER_IO) break;
    reached = next;
  }
  return reached;
}

const CPlug2* CPlugIO2::FarEnd() const {
  for (const int32_t direction_test : {DR_IN, DR_OUT}) {
    const CPlug2* reached = Walk(direction_test);
    if (dynamic_cast<const CPlugIO2*>(reached) == nullptr) return reached;
  }
  return this;
}

int32_t CPlugIO2::Flags() const {
  const CPlug2* far_end = FarEnd();
  if (dynamic_cast<const CPlugIO2*>(far_end) != nullptr) return 0x404c;
  return (far_end->Flags() & ~(kPlugPatchStored | kPlugPatchParameter)) | 0x4c;
}

void CPlugControled::Serialize(FieldWalker& walker) {
  CPlugNameable::Serialize(walker);
  walker.Int32("control_a", control_a_);
  walker.Int32("control_b", control_b_);
  walker.String("control_text", control_text_);
}

void CPlugFeature::Serialize(FieldWalker& walker) {
  CPlug2::Serialize(walker);
  walker.Int32("feature_a", feature_a_);
  walker.Int32("feature_b", feature_b_);
  walker.Int32("feature_index", feature_index_);
  walker.String("feature_text_a", feature_text_a_);
  walker.String("feature_text_b", feature_text_b_);
  if (walker.LoadVersion() >= 95162) walker.Int32("feature_c", feature_c_);
}

void CPlugFeature::SetFeature(std::string name, int32_t index, int32_t value) {
  feature_text_a_ = std::move(name);
  feature_index_ = index;
  feature_a_ = value;
}

void CPlugFeature::SetFeatureShape(int32_t direction, int32_t datatype, int32_t flags,
                                  std::string item_list) {
  if (described_ && datatype != feature_datatype_) variable_.reset();
  described_ = true;
  feature_direction_ = direction;
  feature_datatype_ = datatype;
  feature_flags_ = flags;
  feature_item_list_ = std::move(item_list);
  RefreshItems();
}

void CPlugFeature::SetListText(std::string text) {
  feature_text_b_ = std::move(text);
  RefreshItems();
}

std::string CPlugFeature::OwnItemList() const {
  return feature_text_b_.empty() ? feature_item_list_ : feature_text_b_;
}

std::string CPlugFeature::ItemList() const {
  if (!described_ || feature_datatype_ != DT_ENUM) return CPlug2::ItemList();
  const CPlug2* other = FirstConnectedPlug();
  if (other != nullptr && other->Partner() != nullptr) {
    // A container's plug only passes the list on from what it leads to.
    other = nullptr;
    ForEachPlugReached(*this, [&](CPlug2& reached) {
      if (other == nullptr) other = &reached;
    });
  }
  if (other != nullptr) {
    // Not other->ItemList() for a feature plug: two would ask each other.
    const auto* feature = dynamic_cast<const CPlugFeature*>(other);
    std::string items = feature != nullptr ? feature->OwnItemList() : other->ItemList();
    if (items == kAutoListText && other->owner() != nullptr) {
      std::vector<std::string> names;
      for (const auto& plug : other->owner()->plugs()) {
        if ((plug->Flags() & kPlugAutoDuplicate) && !plug->connections().empty()) {
          names.push_back(plug->Name());
        }
      }
      items = AutoListText(names);
    }
    if (!items.empty()) return items;
  }
  return OwnItemList();
}

void CPlugFeature::RefreshItems() {
  using ListVariable = variable_base<int16_t, MetaData_enum>;
  if (auto* list = dynamic_cast<ListVariable*>(variable_.get())) list->SetMetadata({ItemList()});
}

std::string CPlugFeature::Name() const {
  return described_ ? feature_name() : CPlug2::Name();
}
int32_t CPlugFeature::Direction() const {
  return described_ ? feature_direction_ : CPlug2::Direction();
}
int32_t CPlugFeature::Datatype() const { return described_ ? feature_datatype_ : CPlug2::Datatype(); }
int32_t CPlugFeature::Flags() const { return described_ ? feature_flags_ : CPlug2::Flags(); }

generic_feature* CPlugFeature::ValueVariable() {
  // A helper module keeps the value itself.
  if (generic_feature* bound = CPlug2::ValueVariable()) return bound;
  if (!described_) return nullptr;
  if (variable_ == nullptr) {
    variable_ = MakeFeatureVariable(feature_datatype_, this, value_text());
    RefreshItems();
  }
  return variable_.get();
}

void CPlugFeature::WriteValueText(const std::string& text) {
  if (variable_ != nullptr) {
    variable_->SetFromText(text);  // reaches the value text through the variable
    return;
  }
  StoreAndPassOn(text, text);
}

void CPlugFeature::OnConnectedValueChanged(const CPlug2& source) {
  if (FeedsParameter(*this, source)) WriteValueText(source.ValueText());
}

void CPlugFeature::OnVariableChanged(generic_feature& variable) {
  // A float's value text keeps three decimals; the parameters it feeds take
  // it whole, or it would come back rounded and move the face.
  const auto* real = dynamic_cast<const variable_base<float, MetaData_float>*>(&variable);
  StoreAndPassOn(variable.ToText(), real != nullptr ? FormatDouble(real->Get()) : variable.ToText());
}

void CPlugFeature::StoreAndPassOn(const std::string& stored, const std::string& passed) {
  // Kept as text too, so that the project stores what the panel set.
  CPlug2::WriteValueText(stored);
  // Parameters compare before they store, so a value coming back from one
  // ends here.
  ForEachPlugReached(*this, [&](CPlug2& input) {
    if (FeedsParameter(*this, input)) input.WriteValueText(passed);
  });
}

std::string CPlugFeature4::Name() const {
  return feature_name().empty() ? CPlugFeature::Name() : feature_name();
}

void CPlugFeature3::Serialize(FieldWalker& walker) {
  CPlugFeature::Serialize(walker);
  walker.Bool8("feature_flag", feature_flag_);
}

}  // namespace ov
