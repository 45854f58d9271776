#include "document/generic_parameter.h"

#include <cmath>

#include "document/value_objects.h"
#include "engine/interface_object.h"
#include "modules/list_text.h"
#include "patches/patch_value.h"
#include "platform/text.h"

namespace ov {

namespace {

float Unit(float x) { return std::isfinite(x) ? ClampNormalised(x) : 0.0f; }

}  // namespace

float generic_parameter::GetNormalised() const {
  switch (Datatype()) {
    case DT_ENUM: {
      const ListText items(ItemList());
      return ClampNormalised(static_cast<float>(items.PositionOf(ParseLeadingInteger(ValueText()))));
    }
    case DT_DOUBLE:
      return ClampNormalised(static_cast<float>(ParseDouble(ValueText()).value_or(0.0) * 0.1));
    case DT_FLOAT:
      return Unit(static_cast<float>(ParseDouble(ValueText()).value_or(0.0)));
    case DT_BOOL:
      return ValueText() == "1" ? 1.0f : 0.0f;
    default:
      return 0.0f;
  }
}

void generic_parameter::SetNormalised(float x) {
  x = Unit(x);
  switch (Datatype()) {
    case DT_ENUM: {
      const ListText items(ItemList());
      if (items.Count() <= 0) return;
      const auto index = static_cast<int64_t>(std::floor((items.Count() - 0.00001) * x));
      WriteValueText(std::to_string(items.ItemAt(index).value));
      return;
    }
    // The inverses of the views above, so that a control writing 1.0
    // (a pressed button) reaches these parameters too.
    case DT_DOUBLE:
      WriteValueText(ValueToText(x * 10.0f));
      return;
    case DT_FLOAT:
      WriteValueText(ValueToText(x));
      return;
    case DT_BOOL:
      WriteValueText(x < 0.5f ? "0" : "1");
      return;
    default:
      return;
  }
}

std::string generic_parameter::TextForNormalised(float x) const {
  x = Unit(x);
  switch (Datatype()) {
    case DT_ENUM: {
      const ListText items(ItemList());
      const int64_t count = items.Count();
      if (count <= 0) return {};
      int64_t index = static_cast<int64_t>(count * static_cast<double>(x));
      if (index > count - 1) index = count - 1;
      return items.ItemAt(index).label;
    }
    case DT_BOOL:
      return x > 0.5f ? "true" : "false";
    default:
      return ValueText();
  }
}

ParamWatcher::ParamWatcher() : listener_(*this) {}

ParamWatcher::~ParamWatcher() { Watch(nullptr); }

void ParamWatcher::Watch(generic_parameter* parameter) {
  if (parameter == parameter_) return;
  if (parameter_ != nullptr) parameter_->Watchers().RemoveListener(&listener_);
  parameter_ = parameter;
  if (parameter_ != nullptr) parameter_->Watchers().AddListener(&listener_);
}

void ParamWatcher::Listener::OnNotify(const Notification& notification) {
  switch (notification.code) {
    case kNotifyValueChanged:
      owner_.OnParameterChanged();
      break;
    case kNotifyRenamed:
      owner_.OnParameterRenamed(notification.text);
      break;
    case kNotifyEnabledChanged:
      owner_.OnParameterEnabled();
      break;
    case kNotifyPlugDestroyed:
      owner_.Watch(nullptr);
      owner_.OnParameterGone();
      break;
    default:
      break;
  }
}

}  // namespace ov
