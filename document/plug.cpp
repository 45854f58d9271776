#include "document/plug.h"

#include <algorithm>

#include "document/connection.h"
#include "document/container.h"
#include "document/module.h"
#include "document/patch_manager.h"
#include "document/plug_kinds.h"
#include "modules/module_info.h"

namespace ov {

constinit const SerialClass CPlug2::kClass{"CPlug2", 2, true, &MakeObject<CPlug2>, nullptr};
constinit const SerialClass CPlugGui::kClass{"CPlugGui", 1, false, &MakeObject<CPlugGui>,
                                             &CPlug2::kClass};

CPlug2::~CPlug2() { Notify(Notification(kNotifyPlugDestroyed, this)); }

void CPlug2::Serialize(FieldWalker& walker) {
  walker.Int16("index", index_);
  walker.String("value", value_text_);
  if (walker.LoadVersion() > 35) RefList(walker, "connections", connections_);
}

const InterfaceObject& CPlug2::Descriptor() const {
  static const InterfaceObject kDefault(nullptr, DR_IN, "", "", "", "", 0, DT_ENUM, nullptr);
  if (owner_ == nullptr || owner_->module_type() == nullptr || index_ < 0) return kDefault;
  const std::vector<InterfaceObject>& descriptors = owner_->module_type()->Descriptors();
  return static_cast<std::size_t>(index_) < descriptors.size() ? descriptors[index_] : kDefault;
}

std::string CPlug2::ValueText() const {
  if (const PatchParameter* parameter = ParameterOf(*this)) {
    return parameter->SlotText(parameter->CurrentSlot());
  }
  return value_text_;
}

std::string CPlug2::ItemList() const {
  if (owner_ != nullptr) {
    if (std::optional<std::string> items = owner_->PlugItemList(*this)) return *std::move(items);
  }
  return Descriptor().list_text;
}

void CPlug2::WriteValueText(const std::string& text) {
  // The patch parameter tells the module and the watchers itself.
  if (PatchParameter* parameter = ParameterOf(*this)) {
    parameter->SetValue(PatchValueFromText(parameter->value_type(), text));
    return;
  }
  if (text == value_text_) return;
  value_text_ = text;
  if (owner_ != nullptr) owner_->OnPlugValueChanged(*this);
  Notify(Notification(kNotifyValueChanged, this));
}

generic_feature* CPlug2::ValueVariable() {
  return owner_ != nullptr ? owner_->PlugVariable(*this) : nullptr;
}

generic_feature* CPlug2::ConnectedVariable() {
  if (CPlug2* other = FirstConnectedPlug()) {
    if (generic_feature* shared = other->ValueVariable()) return shared;
  }
  return ValueVariable();
}

void CPlug2::AttachConnection(CLine2* line) {
  if (std::find(connections_.begin(), connections_.end(), line) == connections_.end()) {
    connections_.push_back(line);
  }
}

void CPlug2::DetachConnection(const CLine2* line) { std::erase(connections_, line); }

CPlug2* CPlug2::FirstConnectedPlug() const {
  return connections_.empty() ? nullptr : connections_.front()->OtherEnd(this);
}

bool CPlug2::IsUnusedSpare() const {
  if ((Flags() & kPlugAutoDuplicate) == 0 || !connections_.empty()) return false;
  const CPlug2* partner = Partner();
  return partner == nullptr || partner->connections().empty();
}

void CPlug2::OnFirstConnection(const CLine2& line) {
  const int32_t flags = Flags();
  if ((flags & kPlugSettableOutput) && line.to() != nullptr) SetValueText(line.to()->value_text());
  CPlug2* partner = Partner();
  if ((flags & kPlugAutoDuplicate) == 0 ||
      (partner != nullptr && !partner->connections().empty())) {
    return;
  }
  CPlug2* partner_spare = nullptr;
  if (partner != nullptr && partner->owner() != nullptr) {
    partner_spare = partner->owner()->AddPlug(partner->index());
  }
  if (flags & kPlugTakesPartnerName) {
    if (auto* nameable = dynamic_cast<CPlugNameable*>(this)) {
      if (const CPlug2* other = line.OtherEnd(this)) nameable->SetName(other->Name());
    }
  }
  if (owner_ == nullptr) return;
  CPlug2* spare = owner_->AddPlug(index_);
  // The two fresh spares mirror each other as the old pair did.
  auto* io_spare = dynamic_cast<CPlugIO2*>(spare);
  auto* io_partner_spare = dynamic_cast<CPlugIO2*>(partner_spare);
  if (io_spare != nullptr && io_partner_spare != nullptr) {
    io_spare->SetPartner(io_partner_spare);
    io_partner_spare->SetPartner(io_spare);
  }
  if (CContainer* container = owner_->parent()) {
    container->Notify(Notification(kNotifyModuleChanged, owner_));
  }
}

}  // namespace ov
