#include "extmodules/ug_plugin.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "engine/audio_master.h"
#include "extmodules/module_info_plugin.h"

namespace ov {
namespace {

// A library that answers every plug request must not list plugs for ever.
constexpr int32_t kMaxPlugs = 1024;
constexpr int32_t kPlaceholderPlugs = 20;

bool KnownDatatype(int32_t datatype) {
  return (datatype >= DT_ENUM && datatype <= DT_FLOAT) || datatype == DT_INT;
}

// Datatypes whose plug value lives in the module's variable.
bool ValueInModule(int32_t datatype) {
  return datatype == DT_ENUM || datatype == DT_BOOL || datatype == DT_FLOAT || datatype == DT_INT ||
         datatype == DT_DOUBLE;
}

const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

ug_plugin::ug_plugin(const Module_Info_Plugin* type) : type_(type) {}

ug_plugin::~ug_plugin() {
  if (structure_ != nullptr) {
    for (TextCopy& copy : text_copies_) *copy.module_pointer = nullptr;
    Dispatch(OV_CLOSE);
  }
  structure_ = nullptr;
  ReleaseHandle();
}

bool ug_plugin::AdoptStructure(OvModuleV1* structure, const ModuleLibrary& library) {
  if (structure == nullptr || structure->magic != OV_MODULE_MAGIC) return false;
  structure->hostHandle = handle_;
  library_ = library;
  structure_ = structure;
  dispatcher_ = structure->dispatcher;
  process_ = structure->process;
  return true;
}

bool ug_plugin2::AdoptStructure(OvModule* structure, const ModuleLibrary& library) {
  if (structure == nullptr || structure->magic != OV_MODULE_MAGIC) return false;
  library_ = library;
  structure_ = structure;
  dispatcher_ = structure->dispatcher;
  process_ = structure->process;
  instance_ = structure->instance;
  event_ = structure->event;
  return true;
}

intptr_t ug_plugin::Dispatch(int32_t opcode, intptr_t index, intptr_t value, void* ptr, float opt) {
  if (dispatcher_ == nullptr) return 0;
  return dispatcher_(structure_, opcode, index, value, ptr, opt);
}

std::unique_ptr<ug_base> ug_plugin::MakeSibling() const {
  std::unique_ptr<ug_base> made = type_ != nullptr ? type_->CreateGenerator() : nullptr;
  if (made) return made;
  auto empty = std::make_unique<ug_plugin>(type_);
  empty->placeholders_ = false;  // a copy takes the model's plugs
  return empty;
}

std::unique_ptr<ug_base> ug_plugin::CreateInstance() const { return MakeSibling(); }

std::unique_ptr<ug_base> ug_plugin::Clone() {
  std::unique_ptr<ug_base> clone = ug_base::Clone();
  static_cast<ug_plugin&>(*clone).model_ = model_ != nullptr ? model_ : this;
  return clone;
}

std::unique_ptr<ug_base> ug_plugin2::Clone() {
  std::unique_ptr<ug_base> clone = ug_plugin::Clone();
  if (auto* copy = dynamic_cast<ug_plugin2*>(clone.get()); copy && copy->structure_) {
    copy->process_ = process_;
    copy->event_ = event_;
  }
  return clone;
}

void ug_plugin::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  if (structure_ == nullptr) {
    if (!placeholders_) return;
    for (int32_t i = 0; i < kPlaceholderPlugs; ++i) {
      descriptors.emplace_back(nullptr, DR_CONTAINER_IO, "", "", "0", "", 0x44, DT_FSAMPLE,
                               nullptr);
    }
    return;
  }
  listed_text_pointers_.clear();
  int32_t engine_number = 0;
  for (int32_t n = 0; n < kMaxPlugs; ++n) {
    OvPlugProperties plug{};
    if (Dispatch(OV_GET_PLUG, n, 0, &plug) == 0) break;
    // A record the host cannot use ends the list rather than making a plug
    // of an unknown kind.
    if (plug.direction < DR_IN || plug.direction > DR_PARAMETER || !KnownDatatype(plug.datatype)) {
      break;
    }
    int32_t flags = plug.flags;
    if (plug.datatype == DT_FSAMPLE && (flags & kPlugLinearInput) == 0)
      flags |= kPlugNonLinearAudioIn;
    descriptors.emplace_back(
        plug.datatype == DT_FSAMPLE ? static_cast<float**>(plug.variable) : nullptr, plug.direction,
        "", TextOrEmpty(plug.name), TextOrEmpty(plug.defaultText), TextOrEmpty(plug.listText),
        flags, plug.datatype, ValueInModule(plug.datatype) ? plug.variable : nullptr);
    const bool engine_side = (flags & kPlugPatchStored) != 0 || (flags & kPlugPanelSide) == 0;
    if (!engine_side) continue;
    if (plug.datatype == DT_TEXT && plug.variable != nullptr) {
      listed_text_pointers_.push_back({engine_number, static_cast<char**>(plug.variable)});
    }
    ++engine_number;
  }
}

void ug_plugin::SetUpBuffers() {
  ug_base::SetUpBuffers();
  midi_inputs_.clear();
  text_copies_.clear();
  for (int32_t n = 0; n < PlugCount(); ++n) {
    UPlug* each = plug(n);
    if (each->Datatype() == DT_MIDI && each->IsInput()) midi_inputs_.push_back(each);
    if (each->Datatype() != DT_TEXT) continue;
    TextCopy& copy = text_copies_.emplace_back();
    copy.plug_number = n;
    copy.module_pointer = nullptr;
    for (const auto& [number, pointer] : listed_text_pointers_) {
      if (number == n) copy.module_pointer = pointer;
    }
    copy.copy = std::make_unique<char[]>(kTextCopyBytes);
  }
  // Only now that the list no longer grows may a pointer designate a
  // record's own member.
  for (TextCopy& copy : text_copies_) {
    if (copy.module_pointer == nullptr) copy.module_pointer = &copy.own_pointer;
    *copy.module_pointer = copy.copy.get();
  }
  message_bytes_.resize(MessageWriter::kCapacity);
}

ug_plugin::TextCopy* ug_plugin::TextCopyOf(int32_t plug_number) {
  for (TextCopy& copy : text_copies_) {
    if (copy.plug_number == plug_number) return &copy;
  }
  return nullptr;
}

void ug_plugin::RenewTextCopy(int32_t plug_number) {
  TextCopy* copy = TextCopyOf(plug_number);
  if (copy == nullptr || !copy->copy) return;
  const std::string& text = plug(plug_number)->TextValue();
  const std::size_t length = std::min(text.size(), kTextCopyBytes - 1);
  std::memcpy(copy->copy.get(), text.data(), length);
  copy->copy[length] = '\0';
  *copy->module_pointer = copy->copy.get();
}

void ug_plugin::Open() {
  ug_base::Open();
  if (opened_) return;
  opened_ = true;
  for (const TextCopy& copy : text_copies_) RenewTextCopy(copy.plug_number);
  Dispatch(OV_SET_SAMPLE_RATE, 0, 0, nullptr, Master()->SampleRate());
  Dispatch(OV_SET_BLOCK_SIZE, 0, Master()->EngineBlockSize());
  Dispatch(OV_OPEN, 0, 1);
}

void ug_plugin::Close() {
  ug_base::Close();
  if (structure_ == nullptr) return;
  for (TextCopy& copy : text_copies_) {
    *copy.module_pointer = nullptr;
    copy.copy.reset();
  }
  // The library's structure ends with its close.
  Dispatch(OV_CLOSE);
  structure_ = nullptr;
  dispatcher_ = nullptr;
  process_ = nullptr;
}

void ug_plugin::Wake() {
  ug_base::Wake();
  Dispatch(OV_WAKE, 0);
}

void ug_plugin::Resume() {
  ug_base::Resume();
  if (!IsSleeping()) Dispatch(OV_WAKE, 1);
}

bool ug_plugin::CanSleep() const {
  if (!ug_base::CanSleep()) return false;
  return dispatcher_ == nullptr || const_cast<ug_plugin*>(this)->Dispatch(OV_CAN_SLEEP) == 1;
}

int32_t ug_plugin::BlockOffset() const {
  return static_cast<int32_t>(Master()->SampleClock() - Master()->CellStart());
}

bool ug_plugin::HostRunsEvent(const ug_event& event) {
  return event.kind == UET_SET_PLUG_VALUE || event.kind == UET_CALL_FUNCTION;
}

OvEventRecord ug_plugin::RecordOf(ug_event& event) {
  OvEventRecord record{};
  record.timeStamp = static_cast<int32_t>(event.time_stamp);
  record.kind = event.kind;
  record.parm1 = event.parm1;
  record.parm3 = event.parm3;
  record.parm2 = reinterpret_cast<intptr_t>(event.parm2);
  if (event.kind == UET_STAT_CHANGE && event.parm2 != nullptr) {
    UPlug& input = TakeStatusValue(event);
    record.parm1 = std::max<int32_t>(event.parm1, ST_STATIC);
    input.SetState(record.parm1);
    record.parm2 = input.Number();
  } else if (event.kind == UET_MIDI) {
    const auto found = std::find(midi_inputs_.begin(), midi_inputs_.end(), event.parm2);
    record.parm3 =
        found != midi_inputs_.end() ? static_cast<int32_t>(found - midi_inputs_.begin()) : -1;
  }
  return record;
}

UPlug& ug_plugin::TakeStatusValue(ug_event& event) {
  ApplyStatusValue(event);
  UPlug& input = *static_cast<connector*>(event.parm2)->Destination();
  if (input.Datatype() == DT_TEXT) RenewTextCopy(input.Number());
  return input;
}

void ug_plugin::ProcessSilence(int32_t frames) {
  const int32_t offset = BlockOffset();
  while (ug_event* event = TakeFirstEvent()) {
    if (HostRunsEvent(*event)) ug_base::HandleEvent(*event);
    ReleaseEvent(event);
  }
  for (int32_t n = 0; n < PlugCount(); ++n) {
    const UPlug* each = plug(n);
    if (each->IsAudio() && each->Direction() == DR_OUT && each->Data() != nullptr) {
      std::fill_n(each->Data() + offset, frames, 0.0f);
    }
  }
  SetClock(Clock() + static_cast<uint32_t>(frames));
  if (!IsSleeping()) Sleep();
}

void ug_plugin::Process(int32_t frames) {
  if (frames <= 0) return;
  if (process_ == nullptr) {
    ProcessSilence(frames);
    return;
  }
  const uint32_t end = Clock() + static_cast<uint32_t>(frames);
  // Every event due in the slice reaches the module before its one call.
  while (FirstEvent() != nullptr && TimeBefore(FirstEvent()->time_stamp, end)) {
    ug_event* event = TakeFirstEvent();
    if (HostRunsEvent(*event)) {
      ug_base::HandleEvent(*event);
    } else {
      OvEventRecord record = RecordOf(*event);
      Dispatch(OV_EVENT, 0, 0, &record);
    }
    ReleaseEvent(event);
  }
  if (process_ != nullptr) process_(structure_, BlockOffset(), frames);
  SetClock(end);
}

void ug_plugin2::Process(int32_t frames) {
  if (frames <= 0) return;
  if (process_ == nullptr) {
    ProcessSilence(frames);
    return;
  }
  const uint32_t entry = Clock();
  const uint32_t end = entry + static_cast<uint32_t>(frames);
  int32_t offset = BlockOffset();
  int32_t remaining = frames;
  uint32_t position = entry;
  while (const ug_event* first = FirstEvent()) {
    // Events stamped before the position act at it.
    const int32_t d = TimeBefore(first->time_stamp, end)
                          ? std::max(static_cast<int32_t>(first->time_stamp - position), 0)
                          : remaining;
    if (d > 0) {
      process_(instance_, offset, d);
      position += static_cast<uint32_t>(d);
      SetClock(position);
      if (d == remaining) return;
      offset += d;
      remaining -= d;
    }
    const auto due = [&](const ug_event* event) {
      return event != nullptr && static_cast<int32_t>(event->time_stamp - position) <= 0;
    };
    // Every value that changes now is visible before the module hears of
    // any of them; text plugs renew the module's copy.
    for (ug_event* event = Head(); due(event); event = event->next) {
      if (event->kind == UET_STAT_CHANGE && event->parm2 != nullptr) TakeStatusValue(*event);
    }
    while (due(FirstEvent())) {
      ug_event* event = TakeFirstEvent();
      HandleEvent(*event);
      ReleaseEvent(event);
    }
    if (process_ == nullptr) {  // the module closed or failed meanwhile
      SetClock(end);
      return;
    }
  }
  process_(instance_, offset, remaining);
  SetClock(end);
}

void ug_plugin2::HandleEvent(ug_event& event) {
  if (HostRunsEvent(event)) {
    ug_base::HandleEvent(event);
    return;
  }
  const OvEventRecord record = RecordOf(event);
  if (event_ != nullptr) event_(instance_, &record);
}

void ug_plugin2::RereadProcessFunction() {
  if (structure_ != nullptr) process_ = static_cast<OvModule*>(structure_)->process;
}

void ug_plugin::OnMessage(uint32_t message_id, MessageReader& payload) {
  ug_base::OnMessage(message_id, payload);
  if (message_id != MessageId("sdk") || dispatcher_ == nullptr) return;
  int32_t value = 0;
  int32_t count = 0;
  if (!payload.Read(value) || !payload.Read(count) || count < 0 ||
      static_cast<std::size_t>(count) > message_bytes_.size() ||
      !payload.ReadBytes(std::span(message_bytes_).first(static_cast<std::size_t>(count)))) {
    return;
  }
  Dispatch(OV_SDK_MESSAGE, count, value, message_bytes_.data());
}

}  // namespace ov
