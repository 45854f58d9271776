#include "document/doc_object.h"

#include "document/container.h"
#include "modules/module_registry.h"

namespace ov {

constinit const SerialClass CDocOb::kClass{"CDocOb", 1, false, &MakeObject<CDocOb>, nullptr};

void CDocOb::SetModuleType(const Module_Info* type) {
  module_type_ = type;
  type_key_ = type != nullptr ? type->GetId() : std::string();
}

void CDocOb::SetModuleTypeKey(const FieldWalker& walker, const std::string& key) {
  type_key_ = key;
  module_type_ = walker.modules().FindModule(key);
}

void CDocOb::LegacyTypeNumber(FieldWalker& walker) {
  int32_t number = legacy_type_;
  if (!walker.Loading() && number < 0 && module_type_ != nullptr) {
    number = module_type_->LegacyNumber();
  }
  walker.Int32("legacy_type", number);
  if (walker.Loading() && number != legacy_type_) {
    legacy_type_ = number;
    if (number >= 0) SetModuleTypeKey(walker, walker.modules().LegacyKey(number));
  }
}

void CDocOb::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  if (version > 7 && version < 79) LegacyTypeNumber(walker);
  if (version >= 79) {
    std::string key = type_key_;
    walker.String("type", key);
    if (walker.Loading() && key != type_key_) SetModuleTypeKey(walker, key);
  }
  if (version < 59) {
    // The parent-link pass sets the parent; the stored one only keeps the
    // stream aligned.
    CContainer* stored_parent = parent_;
    Ref(walker, "parent", stored_parent);
  }
}

bool CDocOb::IsExcluded() const {
  for (const CDocOb* walk = this; walk != nullptr; walk = walk->parent()) {
    if (walk->ExclusionMark()) return true;
  }
  return false;
}

COrvaneDocBase* CDocOb::GetDocument() const {
  const CDocOb* top = this;
  while (top->parent() != nullptr) top = top->parent();
  const auto* root = dynamic_cast<const CContainer*>(top);
  return root != nullptr ? root->document() : nullptr;
}

void CDocOb::SetSelected(bool selected) {
  if (selected == selected_) return;
  selected_ = selected;
  Notify(Notification(kNotifySelected, this, selected ? 1 : 0));
}

std::optional<Rect> CDocOb::ViewRect(int32_t view_kind) const {
  // The field is only read here.
  const Rect* field = const_cast<CDocOb*>(this)->ViewRectField(view_kind);
  if (field == nullptr) return std::nullopt;
  return *field;
}

bool CDocOb::SetViewRect(int32_t view_kind, const Rect& rect) {
  Rect* field = ViewRectField(view_kind);
  if (field == nullptr) return false;
  if (*field == rect) return true;
  *field = rect;
  Notify(Notification(kNotifyRectChanged, this, view_kind));
  return true;
}

}  // namespace ov
