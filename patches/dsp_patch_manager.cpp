#include "patches/dsp_patch_manager.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "engine/audio_master.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"
#include "engine/uplug.h"
#include "patches/ug_patch_param_watcher.h"

namespace ov {
dsp_patch_parameter::dsp_patch_parameter(int32_t value_type) : value_type_(value_type) {
  if (value_type_ == kPatchText) value_.text.reserve(UPlug::kTextCapacity);
}

bool dsp_patch_parameter::Initialise(dsp_patch_manager& manager, MessageReader& payload) {
  manager_ = &manager;
  uint32_t handle = 0;
  uint32_t module_handle = 0;
  int32_t plug_number = -1;
  if (!payload.Read(handle) || !payload.Read(module_handle) || !payload.Read(plug_number) ||
      !payload.Read(controller_) || !ReadPatchValue(payload, value_type_, value_)) {
    return false;
  }
  if (value_type_ == kPatchEnum || value_type_ == kPatchText) {
    // Room for this list and for longer ones that "meta" may bring later.
    uint8_t flags = 0;
    uint32_t total = 0;
    if (!payload.Read(flags) || !payload.Read(total)) return false;
    list_.reserve(EngineListCapacity(total));
    if (value_type_ == kPatchEnum) items_.ReserveItems(list_.capacity() + 1);
    flags |= kListFirst;
    if (!ReadListPart(payload, flags, total)) return false;
  } else if (!ReadMetadata(payload)) {
    return false;
  }

  OvAudioMaster& master = manager.Master();
  master.RegisterTarget(*this, handle);
  manager.RegisterController(*this, controller_);
  auto* module = dynamic_cast<ug_base*>(master.FindTarget(module_handle));
  if (module == nullptr || plug_number < 0 || plug_number >= module->PlugCount()) return true;
  plug_ = module->plug(plug_number);
  if (plug_->Direction() == DR_OUT) {
    if (ug_container* container = module->Container()) {
      ug_patch_param_watcher::Of(*container).Watch(*container, *plug_, *this);
    }
  } else {
    const float maximum = value_type_ == kPatchFloat ? std::max(range_.minimum, range_.maximum)
                                                     : std::numeric_limits<float>::infinity();
    module->OnDrivenByParameter(plug_number, maximum);
    Output(master.SampleClock(), true);
  }
  return true;
}

bool dsp_patch_parameter::ReadMetadata(MessageReader& payload) {
  if (value_type_ == kPatchFloat) {
    FloatRange range;
    if (!payload.Read(range.minimum) || !payload.Read(range.maximum)) return false;
    range_ = range;
    return true;
  }
  if (value_type_ != kPatchEnum && value_type_ != kPatchText) return true;
  uint8_t flags = 0;
  uint32_t total = 0;
  return payload.Read(flags) && payload.Read(total) && ReadListPart(payload, flags, total);
}

bool dsp_patch_parameter::ReadListPart(MessageReader& payload, uint8_t flags, uint32_t total) {
  if (flags & kListFirst) {
    list_.clear();
    list_refused_ = total > list_.capacity();
  }
  if (list_refused_) return true;
  if (!payload.ReadString(list_)) return false;
  // The file type of a text parameter is the editor's business alone.
  if ((flags & kListLast) && value_type_ == kPatchEnum) items_.AssignValues(list_);
  return true;
}

void dsp_patch_parameter::OnMessage(uint32_t message_id, MessageReader& payload) {
  if (manager_ == nullptr) return;
  if (message_id == kMsgPpc) {
    uint8_t flag = 0;
    if (value_type_ == kPatchText) value_.text.clear();
    if (payload.Read(flag) && ReadPatchValue(payload, value_type_, value_)) {
      Output(manager_->Master().SampleClock(), flag != 0);
    }
  } else if (message_id == kMsgPpca) {
    float normalised = 0;
    if (payload.Read(normalised)) SetFromNormalised(normalised);
  } else if (message_id == kMsgCcid) {
    int32_t id = -1;
    if (payload.Read(id)) manager_->RegisterController(*this, id);
  } else if (message_id == kMsgMeta) {
    ReadMetadata(payload);
  }
}

bool dsp_patch_parameter::StoreConverted(float normalised) {
  PatchValue converted;
  if (!FromNormalised(value_type_, normalised, range_, items_, converted)) return false;
  if (value_type_ == kPatchFloat) {
    value_.real = converted.real;
    return true;
  }
  if (converted.number == value_.number) return false;
  value_.number = converted.number;
  return true;
}

void dsp_patch_parameter::SetFromMidiController(uint32_t time, float normalised) {
  if (!StoreConverted(normalised)) return;
  Output(time, false);
  ReportToEditor(0);
}

void dsp_patch_parameter::SetFromNormalised(float normalised) {
  if (manager_ == nullptr || !StoreConverted(normalised)) return;
  Output(manager_->Master().SampleClock(), false);
  ReportToEditor(1);
}

float dsp_patch_parameter::GetNormalised() const {
  return ToNormalised(value_type_, value_, range_, items_);
}

void dsp_patch_parameter::Output(uint32_t time, bool patch_change) {
  if (plug_ == nullptr || plug_->Direction() == DR_OUT) return;
  // The value reaches the module through the source of its input: the
  // constant source the build gave it, or whatever feeds it.
  if (!plug_->Connectors().empty()) {
    UPlug& source = *plug_->Connectors().front()->Source();
    int32_t word = value_.number;
    if (value_type_ == kPatchFloat) word = std::bit_cast<int32_t>(value_.real);
    // A text travels as the parameter's own string, read when the event is
    // handled, so nothing is allocated here.
    void* text = value_type_ == kPatchText ? &value_.text : nullptr;
    source.Owner().QueueEvent(time, UET_SET_PLUG_VALUE, source.Number(), text, word, true);
  }
  const float normalised = GetNormalised();
  ug_container* context = plug_->Owner().PatchContext();
  if (normalised >= 0 && context != nullptr && context->AutomationOutput() != nullptr) {
    context->AutomationOutput()->SendAutomation(time, controller_, normalised, patch_change);
  }
}

void dsp_patch_parameter::ReportToEditor(uint8_t flag) {
  MessageWriter payload;
  payload.Write(flag);
  WritePatchValue(payload, value_type_, value_);
  manager_->Master().PostToEditor(TargetId(), kMsgPpc, payload);
}

void dsp_patch_parameter::TakePlugValue(const UPlug& plug) {
  switch (value_type_) {
    case kPatchEnum:
      value_.number = plug.EnumValue();
      break;
    case kPatchBool:
      value_.number = plug.BoolValue();
      break;
    case kPatchFloat:
      value_.real = plug.FloatValue();
      break;
    case kPatchInt:
      value_.number = plug.IntValue();
      break;
    default:
      value_.text.assign(plug.TextValue(), 0,
                         std::min(plug.TextValue().size(), value_.text.capacity()));
      break;
  }
}

void dsp_patch_parameter::OnWatchedChange(const UPlug& watched) {
  if (manager_ == nullptr || !watched.HasValue()) return;
  TakePlugValue(watched);
  ReportToEditor(0);
}

void dsp_patch_manager::OnMessage(uint32_t message_id, MessageReader& payload) {
  if (message_id != kMsgInit || master_.IsRunning()) return;
  int32_t engine_id = -1;
  if (!payload.Read(engine_id)) return;
  const int32_t value_type = ValueTypeOfEngineId(engine_id);
  if (value_type < 0) return;  // no such class: the rest of the message is skipped
  parameters_.push_back(std::make_unique<dsp_patch_parameter>(value_type));
  by_controller_.reserve(parameters_.size());
  // A short payload fails before the parameter registers anywhere.
  if (!parameters_.back()->Initialise(*this, payload)) parameters_.pop_back();
}

void dsp_patch_manager::RegisterController(dsp_patch_parameter& parameter, int32_t id) {
  std::erase(by_controller_, &parameter);
  if (learn_target_ == &parameter) learn_target_ = nullptr;
  parameter.controller_ = id;
  if (id >= 0) {
    const auto at = std::upper_bound(
        by_controller_.begin(), by_controller_.end(), id,
        [](int32_t wanted, const dsp_patch_parameter* p) { return wanted < p->Controller(); });
    by_controller_.insert(at, &parameter);
  } else if (id == -2) {
    learn_target_ = &parameter;
  }
}

void dsp_patch_manager::OnController(uint32_t time, int32_t id, float normalised) {
  if (id < 0) return;
  if (dsp_patch_parameter* learner = learn_target_) {
    RegisterController(*learner, id);
    MessageWriter payload;
    payload.Write(id);
    master_.PostToEditor(learner->TargetId(), kMsgLern, payload);
  }
  const auto first = std::lower_bound(
      by_controller_.begin(), by_controller_.end(), id,
      [](const dsp_patch_parameter* p, int32_t wanted) { return p->Controller() < wanted; });
  for (auto at = first; at != by_controller_.end() && (*at)->Controller() == id; ++at) {
    (*at)->SetFromMidiController(time, normalised);
  }
}

}  // namespace ov
