#include "document/patch_manager.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "document/container.h"
#include "document/control.h"
#include "document/module.h"
#include "document/panel_feeds.h"
#include "document/plug.h"
#include "engine/audio_master.h"
#include "modules/list_text.h"
#include "patches/dsp_patch_manager.h"
#include "patches/message_hub.h"
#include "platform/text.h"

namespace ov {
namespace {

constexpr int32_t kIdCount = 0x10000;

// A number at the start of a text, as the C library reads one; 0 when there
// is none.
float LeadingFloat(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t\n\r\f\v");
  if (begin == std::string::npos) return 0;
  if (text[begin] == '+') ++begin;
  double value = 0;
  std::from_chars(text.data() + begin, text.data() + text.size(), value);
  return static_cast<float>(value);
}

}  // namespace

constinit const SerialClass CPatchManager::kClass{"CPatchManager", 1, false,
                                                  &MakeObject<CPatchManager>, nullptr};

PatchParameter::PatchParameter(int32_t value_type) : value_type_(value_type) {
  const std::size_t slots = CPatchManager::kPatchCount;
  if (value_type == kText) {
    texts_.resize(slots);
  } else if (value_type == kFloat) {
    floats_.resize(slots);
  } else {
    numbers_.resize(slots);
  }
}

PatchValue PatchValueFromText(int32_t value_type, const std::string& text) {
  PatchValue value;
  if (value_type == kPatchText) {
    value.text = text;
  } else if (value_type == kPatchFloat) {
    value.real = LeadingFloat(text);
  } else {
    value.number = ParseLeadingInteger(text);
    if (value_type == kPatchEnum) value.number = static_cast<int16_t>(value.number);
    if (value_type == kPatchBool) value.number = value.number != 0;
  }
  return value;
}

void PatchParameter::SetSlotFromText(int32_t patch, const std::string& text) {
  if (patch < 0 || patch >= CPatchManager::kPatchCount) return;
  StoreSlot(patch, PatchValueFromText(value_type_, text));
}

void PatchParameter::SetAllFromText(const std::string& text) {
  for (int32_t patch = 0; patch < CPatchManager::kPatchCount; ++patch) SetSlotFromText(patch, text);
}

std::string PatchParameter::SlotText(int32_t patch) const {
  if (patch < 0 || patch >= CPatchManager::kPatchCount) return {};
  if (value_type_ == kText) return texts_[patch];
  if (value_type_ == kFloat) return FormatDouble(floats_[patch]);
  return std::to_string(numbers_[patch]);
}

int32_t PatchParameter::CurrentSlot() const {
  if (ignore_program_change_ || manager_ == nullptr) return 0;
  return manager_->current_patch();
}

PatchValue PatchParameter::SlotValue(int32_t patch) const {
  PatchValue value;
  if (patch < 0 || patch >= CPatchManager::kPatchCount) return value;
  if (value_type_ == kText) {
    value.text = texts_[patch];
  } else if (value_type_ == kFloat) {
    value.real = floats_[patch];
  } else {
    value.number = numbers_[patch];
  }
  return value;
}

void PatchParameter::StoreSlot(int32_t patch, const PatchValue& value) {
  if (patch < 0 || patch >= CPatchManager::kPatchCount) return;
  if (value_type_ == kText) {
    texts_[patch] = value.text;
  } else if (value_type_ == kFloat) {
    floats_[patch] = value.real;
  } else if (value_type_ == kEnum) {
    numbers_[patch] = static_cast<int16_t>(value.number);
  } else {
    numbers_[patch] = value_type_ == kBool ? value.number != 0 : value.number;
  }
}

std::string PatchParameter::list_text() const {
  if (list_text_) return *list_text_;
  return plug_ != nullptr ? plug_->Descriptor().list_text : std::string();
}

ListText PatchParameter::Items() const { return ListText(list_text()); }

void PatchParameter::set_range(const FloatRange& range) {
  range_ = range;
  if (value_type_ != kFloat) return;
  MessageWriter payload;
  payload.Write(range_.minimum).Write(range_.maximum);
  SendToEngine(kMsgMeta, payload);
}

void PatchParameter::SetListText(std::string text) {
  list_text_ = std::move(text);
  if (value_type_ != kEnum && value_type_ != kText) return;
  // Without an engine side yet, the list goes with the next start.
  if (manager_ == nullptr || manager_->hub() == nullptr || manager_->hub()->Engine() == nullptr ||
      engine_list_room_ == 0) {
    return;
  }
  if (list_text_->size() > engine_list_room_) {
    manager_->hub()->PostUserMessage("The list of parameter \"" + name_ +
                                     "\" is longer than the running engine has room for; it "
                                     "takes the new list when it starts again.");
    return;
  }
  SendListParts(0, [this](const MessageWriter& part) { SendToEngine(kMsgMeta, part); });
}

void PatchParameter::SendListParts(std::size_t first,
                                   const std::function<void(const MessageWriter&)>& post) const {
  if (value_type_ != kEnum && value_type_ != kText) return;
  const std::string list = list_text();
  const std::vector<std::string_view> parts = ListParts(list);
  for (std::size_t i = first; i < parts.size(); ++i) {
    MessageWriter payload;
    WriteListPart(payload, parts, i, list.size());
    post(payload);
  }
}

void PatchParameter::SendToEngine(uint32_t message_id, const MessageWriter& payload) const {
  if (manager_ == nullptr || manager_->hub() == nullptr || Handle() == 0) return;
  manager_->hub()->PostToEngine(Handle(), message_id, payload);
}

void PatchParameter::SendValue(uint8_t program_change) const {
  MessageWriter payload;
  payload.Write(program_change);
  WritePatchValue(payload, value_type_, CurrentValue());
  SendToEngine(kMsgPpc, payload);
}

void PatchParameter::SetValue(const PatchValue& value) {
  const int32_t slot = CurrentSlot();
  const PatchValue before = SlotValue(slot);
  StoreSlot(slot, value);
  const PatchValue after = SlotValue(slot);
  const bool same = value_type_ == kText    ? after.text == before.text
                    : value_type_ == kFloat ? after.real == before.real
                                            : after.number == before.number;
  if (same) return;
  if (!echo_guard_) SendValue(0);
  ReportChange(!busy_);
}

void PatchParameter::ReportChange(bool report_to_host) {
  if (on_value_changed) on_value_changed(*this, report_to_host);
  if (plug_ == nullptr) return;
  if (plug_->owner() != nullptr) plug_->owner()->OnPlugValueChanged(*plug_);
  // Panel controls watching the plug redraw.
  plug_->Notify(Notification(kNotifyValueChanged, plug_));
  // Panel faces feeding the plug show the value too.
  ForEachPlugReached(*plug_, [&](CPlug2& other) { other.OnConnectedValueChanged(*plug_); });
}

void PatchParameter::SetNormalised(float normalised) {
  PatchValue value = CurrentValue();
  if (FromNormalised(value_type_, normalised, range_, Items(), value)) SetValue(value);
}

float PatchParameter::GetNormalised() const {
  // The engine side's -1 for text only tells its MIDI output to stay quiet.
  if (!TakesNormalised()) return 0.0f;
  return ToNormalised(value_type_, CurrentValue(), range_, Items());
}

bool PatchParameter::TakesNormalised() const {
  return value_type_ == kFloat || value_type_ == kEnum || value_type_ == kBool;
}

std::string PatchParameter::ValueText() const {
  const PatchValue value = CurrentValue();
  switch (value_type_) {
    case kFloat:
      return FloatValueText(value.real);
    case kBool:
      return value.number != 0 ? "true" : "false";
    case kEnum: {
      const ListText items = Items();
      std::string label;
      items.ForEach([&](const ListText::Item& item) {
        if (item.value != value.number) return true;
        label = item.label;
        return false;
      });
      return label;
    }
    case kText:
      return value.text;
    default:
      return std::to_string(value.number);
  }
}

void PatchParameter::ApplyPatch(int32_t patch) {
  // The slot a parameter that ignores program changes uses stays slot 0.
  if (patch < 0 || patch >= CPatchManager::kPatchCount) return;
  busy_ = true;
  SendValue(1);
  ReportChange(false);
  busy_ = false;
}

void PatchParameter::CopySlot(int32_t source, int32_t first, int32_t last) {
  if (source < 0 || source >= CPatchManager::kPatchCount) return;
  first = std::max(first, 0);
  last = std::min(last, CPatchManager::kPatchCount - 1);
  const PatchValue value = SlotValue(source);
  for (int32_t patch = first; patch <= last; ++patch) StoreSlot(patch, value);
}

void PatchParameter::SetMidiController(int32_t id) {
  midi_controller_ = id;
  MessageWriter payload;
  payload.Write(id);
  SendToEngine(kMsgCcid, payload);
}

void PatchParameter::OnMessage(uint32_t message_id, MessageReader& payload) {
  if (message_id == kMsgPpc) {
    uint8_t flag = 0;
    PatchValue value;
    value.text.reserve(MessageWriter::kCapacity);
    if (!payload.Read(flag) || !ReadPatchValue(payload, value_type_, value)) return;
    busy_ = flag != 0;
    echo_guard_ = true;
    SetValue(value);
    echo_guard_ = false;
    busy_ = false;
  } else if (message_id == kMsgLern) {
    int32_t id = -1;
    if (payload.Read(id)) midi_controller_ = id;
  }
}

void PatchParameter::WriteInit(MessageWriter& payload, uint32_t module_handle,
                               int32_t plug_number) const {
  payload.Write(EnginePersistenceId(value_type_))
      .Write(Handle())
      .Write(module_handle)
      .Write(plug_number)
      .Write(midi_controller_);
  WritePatchValue(payload, value_type_, CurrentValue());
  if (value_type_ == kFloat) {
    payload.Write(range_.minimum).Write(range_.maximum);
  } else if (value_type_ == kEnum || value_type_ == kText) {
    const std::string list = list_text();
    WriteListPart(payload, ListParts(list), 0, list.size());
  }
}

void PatchParameter::WalkSlot(FieldWalker& walker, std::size_t slot) {
  // Values beyond the 128 slots are read to keep the stream aligned, then
  // dropped.
  const bool kept = slot < static_cast<std::size_t>(CPatchManager::kPatchCount);
  switch (value_type_) {
    case kText: {
      std::string value = kept ? texts_[slot] : std::string();
      walker.String("", value);
      if (kept) texts_[slot] = std::move(value);
      return;
    }
    case kFloat: {
      float value = kept ? floats_[slot] : 0;
      walker.Float32("", value);
      if (kept) floats_[slot] = value;
      return;
    }
    case kEnum: {
      int16_t value = kept ? static_cast<int16_t>(numbers_[slot]) : 0;
      walker.Int16("", value);
      if (kept) numbers_[slot] = value;
      return;
    }
    case kBool: {
      bool value = kept && numbers_[slot] != 0;
      walker.Bool8("", value);
      if (kept) numbers_[slot] = value;
      return;
    }
    default: {
      int32_t value = kept ? numbers_[slot] : 0;
      walker.Int32("", value);
      if (kept) numbers_[slot] = value;
      return;
    }
  }
}

void PatchParameter::WalkPatchRange(FieldWalker& walker, int32_t first, int32_t last) {
  first = std::clamp(first, 0, CPatchManager::kPatchCount);
  last = std::min(last, CPatchManager::kPatchCount - 1);
  const std::size_t wanted = last >= first ? static_cast<std::size_t>(last - first + 1) : 0;
  const std::optional<std::size_t> count =
      walker.BeginList("values", wanted, CountForm::kInt32, StoredValueBytes(value_type_));
  if (count) {
    for (std::size_t i = 0; i < *count; ++i) {
      walker.BeginElement();
      WalkSlot(walker, static_cast<std::size_t>(first) + i);
      walker.EndElement();
    }
    const auto current = static_cast<std::size_t>(CurrentSlot());
    const auto start = static_cast<std::size_t>(first);
    if (walker.Loading() && current >= start && current < start + *count) {
      ApplyPatch(CurrentSlot());
    }
  }
  walker.EndList();
}

void PatchParameter::LoadSlots(int32_t first, std::span<const PatchValue> values) {
  if (first < 0 || first >= CPatchManager::kPatchCount) return;
  const std::size_t room = static_cast<std::size_t>(CPatchManager::kPatchCount - first);
  const std::size_t stored = std::min(values.size(), room);
  for (std::size_t i = 0; i < stored; ++i) {
    StoreSlot(first + static_cast<int32_t>(i), values[i]);
  }
  const int32_t current = CurrentSlot();
  if (current >= first && current < first + static_cast<int32_t>(stored)) ApplyPatch(current);
}

void PatchParameter::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  walker.Int32("param_id", id_);
  if (version > 95310) Ref(walker, "plug", plug_);
  if (version > 95390) walker.String("name", name_);
  if (version > 95400) {
    walker.Bool8("ignore_program_change", ignore_program_change_);
    walker.Int32("midi_controller", midi_controller_);
  }
  if (version > 95600) walker.Bool8("hidden", hidden_);
  if (walker.InStream()) {
    // The class part repeats the persistence id.
    int32_t repeated = value_type_;
    walker.Int32("", repeated);
  }
  const std::optional<std::size_t> count = walker.BeginList(
      "values", CPatchManager::kPatchCount, CountForm::kInt32, StoredValueBytes(value_type_));
  if (count) {
    for (std::size_t slot = 0; slot < *count; ++slot) {
      walker.BeginElement();
      WalkSlot(walker, slot);
      walker.EndElement();
    }
  }
  walker.EndList();
}

CPatchManager::CPatchManager() = default;
CPatchManager::~CPatchManager() = default;

void CPatchManager::SetCurrentPatch(int32_t patch) {
  patch = std::clamp(patch, 0, kPatchCount - 1);
  if (patch == current_patch_) return;
  current_patch_ = patch;
  for (const auto& [id, parameter] : parameters_) parameter->ApplyPatch(patch);
}

void CPatchManager::CopyPatches(int32_t first, int32_t last) {
  first = std::max(first, 0);
  last = std::min(last, kPatchCount - 1);
  const std::string current_name = PatchName(-1);
  int32_t copy = 1;
  for (int32_t patch = first; patch <= last; ++patch, ++copy) {
    SetPatchName(patch, "(Copy " + std::to_string(copy) + ") " + current_name);
  }
  if (container_ != nullptr && first <= last) {
    for (CControl* control : PerPatchControls(*container_)) {
      const std::string value = control->ValueText(current_patch_);
      for (int32_t patch = first; patch <= last; ++patch) control->SetValueText(patch, value);
    }
  }
  for (const auto& [id, parameter] : parameters_) {
    parameter->CopySlot(current_patch_, first, last);
  }
}

dsp_patch_manager& CPatchManager::StartEngineSide(MessageHub& hub, OvAudioMaster& master,
                                                  const EnginePlugLocator& locate) {
  hub_ = &hub;
  // Handles are kept for life, so an engine restart reuses them.
  if (Handle() == 0) hub.Targets().Register(*this, hub.NewHandle());
  auto engine_side = std::make_unique<dsp_patch_manager>(master);
  dsp_patch_manager& made = *engine_side;
  master.AdoptTarget(std::move(engine_side), Handle());
  for (const auto& [id, parameter] : parameters_) {
    if (parameter->Handle() == 0) hub.Targets().Register(*parameter, hub.NewHandle());
    std::optional<EnginePlugRef> where;
    if (parameter->plug() != nullptr) where = locate(*parameter->plug());
    MessageWriter payload;
    parameter->WriteInit(payload, where ? where->module_handle : 0,
                         where ? where->plug_number : -1);
    if (payload.Failed()) {
      // Only a text value longer than a message gets here.
      hub.PostUserMessage("The parameter \"" + parameter->name() +
                          "\" has a value too long to reach the engine; it does nothing until "
                          "its value is shorter and the engine starts again.");
      continue;
    }
    master.PostFromEditor(Handle(), kMsgInit, payload.Bytes());
    parameter->engine_list_room_ = EngineListCapacity(parameter->list_text().size());
    const uint32_t parameter_handle = parameter->Handle();
    parameter->SendListParts(1, [&](const MessageWriter& part) {
      master.PostFromEditor(parameter_handle, kMsgMeta, part.Bytes());
    });
  }
  return made;
}

std::string CPatchManager::PatchName(int32_t patch) const {
  if (patch == -1) patch = current_patch_;
  if (const auto found = names_.find(patch); found != names_.end()) return found->second;
  return DefaultPatchName(patch);
}

std::string CPatchManager::DefaultPatchName(int32_t patch) {
  char text[32];
  std::snprintf(text, sizeof text, "Patch %3d", patch + 1);
  return text;
}

void CPatchManager::SetPatchName(int32_t patch, std::string name) {
  if (patch == -1) patch = current_patch_;
  names_[patch] = std::move(name);
}

std::vector<std::string> CPatchManager::NamesUpToLastNamed() const {
  std::vector<std::string> names;
  const int32_t last = names_.empty() ? -1 : names_.rbegin()->first;
  for (int32_t patch = 0; patch <= last && patch < kPatchCount; ++patch) {
    names.push_back(PatchName(patch));
  }
  return names;
}

PatchParameter* CPatchManager::FindParameter(const CPlug2& plug) const {
  for (const auto& [id, parameter] : parameters_) {
    if (parameter->plug() == &plug) return parameter.get();
  }
  return nullptr;
}

bool CPatchManager::Register(std::unique_ptr<PatchParameter> parameter) {
  int32_t id = parameter->id();
  if (id < 0 || parameters_.contains(id)) {
    if (parameters_.size() >= static_cast<std::size_t>(kIdCount)) return false;
    id = static_cast<int32_t>(id_source_() & 0xFFFF);
    // A few random draws, then the next free id: a full table never spins.
    for (int draw = 0; parameters_.contains(id) && draw < 64; ++draw) {
      id = static_cast<int32_t>(id_source_() & 0xFFFF);
    }
    while (parameters_.contains(id)) id = (id + 1) & 0xFFFF;
    parameter->set_id(id);
  }
  parameter->manager_ = this;
  parameters_.emplace(id, std::move(parameter));
  return true;
}

PatchParameter* CPatchManager::CreateParameterForPlug(CPlug2& plug) {
  if (PatchParameter* existing = FindParameter(plug)) return existing;
  const int32_t datatype = plug.Datatype();
  if (!PatchParameter::IsValueType(datatype)) return nullptr;
  auto parameter = std::make_unique<PatchParameter>(datatype);
  parameter->SetAllFromText(plug.Descriptor().default_text);
  if (plug.owner() != nullptr) parameter->set_name(plug.owner()->title());
  parameter->set_plug(&plug);
  PatchParameter* made = parameter.get();
  return Register(std::move(parameter)) ? made : nullptr;
}

void CPatchManager::WalkParameters(FieldWalker& walker) {
  // Before 95321 a count comes first; after it, a negative type ends the list.
  const bool counted = walker.LoadVersion() < 95321;
  std::vector<PatchParameter*> stored;
  for (const auto& [id, parameter] : parameters_) stored.push_back(parameter.get());
  const std::optional<std::size_t> count = walker.BeginList(
      "parameters", stored.size(), counted ? CountForm::kInt32 : CountForm::kTerminated, 4);
  if (count) {
    std::vector<std::unique_ptr<PatchParameter>> loaded;
    for (std::size_t i = 0; i < *count; ++i) {
      walker.BeginElement();
      int32_t value_type = walker.Loading() ? -1 : stored[i]->value_type();
      walker.Int32("value_type", value_type);
      if (walker.Loading()) {
        if (value_type < 0 && walker.InStream()) {
          walker.EndElement();
          break;
        }
        if (!PatchParameter::IsValueType(value_type)) {
          walker.Fail(ArchiveErrorKind::kBadClass,
                      "no patch parameter has type " + std::to_string(value_type));
        }
        loaded.push_back(std::make_unique<PatchParameter>(value_type));
        loaded.back()->Serialize(walker);
      } else {
        stored[i]->Serialize(walker);
      }
      walker.EndElement();
    }
    if (walker.purpose() == WalkPurpose::kWriteStream && !counted) {
      int32_t end = -1;
      walker.Int32("", end);
    }
    if (walker.Loading()) {
      parameters_.clear();
      for (auto& parameter : loaded) {
        if (!Register(std::move(parameter))) {
          walker.Fail(ArchiveErrorKind::kGeneric, "more patch parameters than ids");
        }
      }
    }
  }
  walker.EndList();
}

void CPatchManager::Serialize(FieldWalker& walker) {
  walker.Int32("current_patch", current_patch_);
  if (walker.Loading()) current_patch_ = std::clamp(current_patch_, 0, kPatchCount - 1);

  std::vector<std::pair<int32_t, std::string>> named(names_.begin(), names_.end());
  const std::optional<std::size_t> count =
      walker.BeginList("patch_names", named.size(), CountForm::kInt32, 5);
  if (count) {
    if (walker.Loading()) named.assign(*count, {});
    for (auto& [patch, name] : named) {
      walker.BeginElement();
      walker.Int32("patch", patch);
      walker.String("name", name);
      walker.EndElement();
    }
    if (walker.Loading()) {
      // Names of patches that do not exist are dropped.
      names_.clear();
      for (auto& [patch, name] : named) {
        if (patch >= 0 && patch < kPatchCount) names_[patch] = std::move(name);
      }
    }
  }
  walker.EndList();
  if (walker.LoadVersion() >= 95311) WalkParameters(walker);
}

}  // namespace ov
