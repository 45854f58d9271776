#include "document/param_msg_map.h"

#include "modules/controller_names.h"
#include "modules/list_text.h"
#include "engine/interface_object.h"

namespace ov {

ParamMsgMap::ParamMsgMap(generic_parameter* target, Facet facet) : target_(target), facet_(facet) {
  if (target_ != nullptr) target_->Watchers().AddListener(this);
}

ParamMsgMap::~ParamMsgMap() {
  if (target_ != nullptr) target_->Watchers().RemoveListener(this);
  watchers_.Notify(Notification(kNotifyPlugDestroyed, this));
}

ParameterAssignments* ParamMsgMap::Assignments() const {
  return dynamic_cast<ParameterAssignments*>(target_);
}

std::string ParamMsgMap::Name() const {
  switch (facet_) {
    case kName:
      return "Parameter Name";
    case kValueText:
      return target_ != nullptr ? target_->Name() : std::string();
    case kController:
      return "Controller";
    case kNrpn:
      return "Non Registered Parameter Number";
  }
  return {};
}

int32_t ParamMsgMap::Datatype() const {
  return facet_ == kController || facet_ == kNrpn ? DT_ENUM : DT_TEXT;
}

bool ParamMsgMap::DisplayOnly() const {
  if (facet_ == kValueText || target_ == nullptr) return true;
  return Assignments() == nullptr;
}

std::string ParamMsgMap::ValueText() const {
  ParameterAssignments* assignments = Assignments();
  switch (facet_) {
    case kName:
      return target_ != nullptr ? target_->Name() : std::string();
    case kValueText:
      return target_ != nullptr ? target_->ValueText() : std::string();
    case kController:
      return std::to_string(assignments != nullptr ? assignments->MidiControllerId() : -1);
    case kNrpn:
      return std::to_string(assignments != nullptr ? assignments->Nrpn() : 0);
  }
  return {};
}

void ParamMsgMap::WriteValueText(const std::string& text) {
  ParameterAssignments* assignments = Assignments();
  if (assignments == nullptr) return;
  switch (facet_) {
    case kName:
      assignments->Rename(text);
      return;
    case kValueText:
      return;
    case kController:
      assignments->SetMidiControllerId(ParseLeadingInteger(text));
      return;
    case kNrpn:
      assignments->SetNrpn(ParseLeadingInteger(text));
      return;
  }
}

std::string ParamMsgMap::ItemList() const {
  if (facet_ == kController) return kControllerListText;
  if (facet_ == kNrpn) return "range 0,16383";
  return {};
}

void ParamMsgMap::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyPlugDestroyed) {
    target_ = nullptr;
    return;
  }
  if (notification.code == facet_) watchers_.Notify(Notification(facet_, this));
}

}  // namespace ov
