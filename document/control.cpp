#include "document/control.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "document/container.h"
#include "document/patch_manager.h"
#include "document/readouts.h"
#include "engine/saturating_cast.h"
#include "modules/control_modules.h"
#include "patches/message_hub.h"
#include "patches/patch_value.h"
#include "modules/list_text.h"
#include "platform/text.h"

namespace ov {

constinit const SerialClass CControl::kClass{"CControl", 1, false, &MakeObject<CControl>,
                                             &CUG::kClass};
constinit const SerialClass Ctl_Slider::kClass{"Ctl_Slider", 1, false, &MakeObject<Ctl_Slider>,
                                               &CControl::kClass};
constinit const SerialClass Ctl_Combo::kClass{"Ctl_Combo", 1, false, &MakeObject<Ctl_Combo>,
                                              &CControl::kClass};
constinit const SerialClass Ctl_Text::kClass{"Ctl_Text", 1, false, &MakeObject<Ctl_Text>,
                                             &CControl::kClass};
constinit const SerialClass kCtl_PushButton{"Ctl_PushButton", 1, false, &MakeObject<Ctl_PushButton>,
                                            &CControl::kClass};
constinit const SerialClass kCtl_LED{"Ctl_LED", 1, false, &MakeObject<Ctl_LED>, &CControl::kClass};
constinit const SerialClass kCtl_PeakMeter{"Ctl_PeakMeter", 1, false, &MakeObject<Ctl_PeakMeter>,
                                           &CControl::kClass};
constinit const SerialClass kCtl_VoltMeter{"Ctl_VoltMeter", 1, false, &MakeObject<Ctl_VoltMeter>,
                                           &CControl::kClass};
constinit const SerialClass kCtl_SelfDrawing{"Ctl_SelfDrawing", 1, false,
                                             &MakeObject<Ctl_SelfDrawing>, &CControl::kClass};
constinit const SerialClass kCtl_FreqAn{"Ctl_FreqAn", 1, false, &MakeObject<Ctl_FreqAn>,
                                        &kCtl_SelfDrawing};
constinit const SerialClass kCtl_FreqResp{"Ctl_FreqResp", 1, false, &MakeObject<Ctl_FreqResp>,
                                          &kCtl_SelfDrawing};
constinit const SerialClass kCtl_Keyboard{"Ctl_Keyboard", 1, false, &MakeObject<Ctl_Keyboard>,
                                          &kCtl_SelfDrawing};
constinit const SerialClass kCtl_tty{"Ctl_tty", 1, false, &MakeObject<Ctl_tty>, &kCtl_SelfDrawing};
constinit const SerialClass kCtl_Soundfont_base{"Ctl_Soundfont_base", 1, false,
                                                &MakeObject<Ctl_Soundfont_base>, &kCtl_SelfDrawing};
constinit const SerialClass kCosc_sf{"Cosc_sf", 1, false, &MakeObject<Cosc_sf>,
                                     &kCtl_Soundfont_base};
constinit const SerialClass kCtl_SamplePlay2{"Ctl_SamplePlay2", 1, false,
                                             &MakeObject<Ctl_SamplePlay2>, &kCtl_Soundfont_base};
const SerialClass& Ctl_Soundfont_base::Class() { return kCtl_Soundfont_base; }
const SerialClass& Cosc_sf::Class() { return kCosc_sf; }
const SerialClass& Ctl_SamplePlay2::Class() { return kCtl_SamplePlay2; }

namespace {

// The engine keeps this much of a text; sending more could overflow the
// message, which would then not be sent at all.
std::string_view EngineText(std::string_view text) {
  if (text.size() <= UPlug::kTextCapacity) return text;
  std::size_t end = UPlug::kTextCapacity;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

CControl::CControl(int32_t value_type) : value_type_(value_type) {
  doubles_.resize(value_type == kDouble ? kPatchCount : 0);
  integers_.resize(value_type == kInteger ? kPatchCount : 0);
  texts_.resize(value_type == kText ? kPatchCount : 0);
}

CControl::~CControl() { watchers_.Notify(Notification(kNotifyPlugDestroyed, this)); }

int32_t CControl::CurrentPatch() const {
  const CPlug2* ignore = FindPlug("Ignore Program Change");
  if (ignore != nullptr && ignore->ValueText() == "1") return 0;
  const CPatchManager* manager = parent() != nullptr ? parent()->GetPatchManager() : nullptr;
  const int32_t patch = manager != nullptr ? manager->current_patch() : 0;
  return patch >= 0 && patch < kPatchCount ? patch : 0;
}

double CControl::StoredValue(int32_t patch) const {
  if (patch == -1) patch = CurrentPatch();
  if (patch < 0 || patch >= kPatchCount) patch = 0;
  if (value_type_ == kDouble) return doubles_[patch];
  if (value_type_ == kInteger) return integers_[patch];
  if (value_type_ == kText) return ParseDouble(texts_[patch]).value_or(0.0);
  return 0.0;
}

double CControl::Value(int32_t patch) const { return StoredValue(patch); }

bool CControl::Store(int32_t patch, double value) {
  if (value_type_ == kDouble) {
    if (doubles_[patch] == value || (std::isnan(value) && std::isnan(doubles_[patch]))) {
      return false;
    }
    doubles_[patch] = value;
    return true;
  }
  if (value_type_ == kInteger) {
    const int32_t number = SaturatingCast<int32_t>(value);
    if (integers_[patch] == number) return false;
    integers_[patch] = number;
    return true;
  }
  return Store(patch, FormatDouble(value));
}

bool CControl::Store(int32_t patch, const std::string& text) {
  if (value_type_ == kText) {
    if (texts_[patch] == text) return false;
    texts_[patch] = text;
    return true;
  }
  if (value_type_ == kDouble) return Store(patch, ParseDouble(text).value_or(0.0));
  if (value_type_ == kInteger) return Store(patch, static_cast<double>(ParseLeadingInteger(text)));
  return false;
}

void CControl::SetValue(int32_t patch, double value) {
  if (patch == -1) patch = CurrentPatch();
  if (patch < 0 || patch >= kPatchCount || !Store(patch, value)) return;
  SendValue(patch, false);
  if (patch == CurrentPatch()) watchers_.Notify(Notification(kNotifyValueChanged, this));
}

std::string CControl::ValueText(int32_t patch) const {
  if (patch == -1) patch = CurrentPatch();
  if (patch < 0 || patch >= kPatchCount) patch = 0;
  if (value_type_ == kText) return texts_[patch];
  if (value_type_ == kDouble) return FormatDouble(doubles_[patch]);
  return std::to_string(integers_[patch]);
}

void CControl::SetValueText(int32_t patch, const std::string& text) {
  if (patch == -1) patch = CurrentPatch();
  if (patch < 0 || patch >= kPatchCount || !Store(patch, text)) return;
  SendValue(patch, false);
  if (patch == CurrentPatch()) watchers_.Notify(Notification(kNotifyValueChanged, this));
}

void CControl::CopyValue(int32_t from, int32_t first, int32_t last) {
  if (from < 0 || from >= kPatchCount) from = 0;
  first = std::max(first, 0);
  last = std::min(last, kPatchCount - 1);
  if (first > last) return;
  const std::string text = ValueText(from);
  for (int32_t patch = first; patch <= last; ++patch) Store(patch, text);
  // One message for the range, so a copy of all patches fits the ring.
  if (auto* generator = dynamic_cast<ug_control*>(Generator()); generator && Hub()) {
    MessageWriter payload;
    payload.Write(first).Write(last);
    if (value_type_ == kText) {
      payload.WriteString(EngineText(text));
    } else {
      payload.Write(StoredValue(from));
    }
    Hub()->PostToEngine(generator->TargetId(), kMsgControlCopy, payload);
  }
  const int32_t current = CurrentPatch();
  if (current >= first && current <= last) {
    watchers_.Notify(Notification(kNotifyValueChanged, this));
  }
}

std::string CControl::ReadoutText(int32_t patch) const {
  if (patch == -1) patch = CurrentPatch();
  if (patch < 0 || patch >= kPatchCount) patch = 0;
  switch (value_type_) {
    case kInteger:
      return std::to_string(integers_[patch]);
    case kText:
      return texts_[patch];
    case kDouble: {
      const double value = Value(patch);
      const auto narrow = static_cast<float>(value);
      return FormatFixed(value, narrow < 1.0f ? 3 : narrow < 100.0f ? 2 : 1);
    }
    default:
      return "UnSupported Datatype";
  }
}

void CControl::SetRange(double lo, double hi) {
  if (CPlug2* plug = FindPlug("Lo Value")) plug->WriteValueText(FormatFixed(lo, 3));
  if (CPlug2* plug = FindPlug("Hi Value")) plug->WriteValueText(FormatFixed(hi, 3));
}

void CControl::SetItemList(std::string text) {
  if (text == item_list_) return;
  item_list_ = std::move(text);
  RequestRebuild();
}

std::string CControl::ItemList() const {
  if (!item_list_.empty()) return item_list_;
  // The list of what the control's output feeds.
  for (const auto& plug : plugs()) {
    if (plug->Direction() != DR_OUT || plug->Datatype() == DT_MIDI) continue;
    if (const CPlug2* other = plug->FirstConnectedPlug()) return other->ItemList();
  }
  return {};
}

int32_t CControl::Datatype() const {
  switch (value_type_) {
    case kDouble:
      return DT_DOUBLE;
    case kText:
      return DT_TEXT;
    default:
      return DT_INT;
  }
}

void CControl::WriteValueText(const std::string& text) { SetValueText(-1, text); }

ControlEngineHalf* CControl::EngineHalf() const { return dynamic_cast<ug_control*>(Generator()); }

void CControl::OnPatchChanged(int32_t /*patch*/) {
  // The control may ignore program changes: its own current patch counts.
  SendValue(CurrentPatch(), true);
  // Hosts hear automation, not patch changes.
  watchers_.Notify(Notification(kNotifyValueChanged, this, kValueChangedByPatch));
}

void CControl::SendValue(int32_t patch, bool patch_change) const {
  auto* generator = dynamic_cast<ug_control*>(Generator());
  if (generator == nullptr || Hub() == nullptr) return;
  MessageWriter payload;
  payload.Write(patch).Write(patch_change ? kPatchChangeFlag : 0);
  if (value_type_ == kText) {
    payload.WriteString(EngineText(texts_[static_cast<std::size_t>(patch)]));
  } else {
    payload.Write(StoredValue(patch));
  }
  Hub()->PostToEngine(generator->TargetId(), kMsgControlValue, payload);
}

void CControl::OnGeneratorAttached(ug_base& generator) {
  auto* control = dynamic_cast<ug_control*>(&generator);
  if (control == nullptr) return;
  std::array<double, kPatchCount> values{};
  for (int32_t patch = 0; patch < kPatchCount; ++patch) values[patch] = StoredValue(patch);
  if (auto* combo = dynamic_cast<ug_combobox*>(&generator)) combo->LoadItems(ItemList());
  control->LoadValues(values, CurrentPatch());
  if (auto* text = dynamic_cast<ug_text_entry*>(&generator); text && value_type_ == kText) {
    text->LoadText(texts_[static_cast<std::size_t>(CurrentPatch())]);
  }
}

void CControl::OnRefresh(ug_base& generator) {
  const auto* control = dynamic_cast<const ug_control*>(&generator);
  if (control == nullptr || value_type_ == kText) return;
  // The engine holds the value already: store it without sending it back.
  if (Store(CurrentPatch(), control->ReportedValue())) {
    watchers_.Notify(Notification(kNotifyValueChanged, this));
  }
}

void CControl::RequestRebuild() {
  if (CContainer* container = parent()) container->Notify(Notification(kNotifyModuleChanged, this));
}

void CControl::OnConnectionsChanged(CPlug2& plug, bool made) {
  if (!made || plug.owner() != this || plug.Direction() != DR_OUT || plug.Datatype() == DT_MIDI) {
    return;
  }
  const CPlug2* other = plug.FirstConnectedPlug();
  if (other != nullptr && other->owner() != this) AdaptTo(*other);
}

void CControl::AdaptTo(const CPlug2& other) {
  hint_.clear();
  SetTitle(other.Name());
  if (const PatchParameter* parameter = ParameterOf(other);
      parameter != nullptr && parameter->value_type() == PatchParameter::kFloat) {
    SetRange(parameter->range().minimum, parameter->range().maximum);
  } else if (ListText items(other.ItemList()); other.ItemList().starts_with("range") &&
                                               items.Count() > 0) {
    SetRange(items.ItemAt(0).value, items.ItemAt(items.Count() - 1).value);
  }
  item_list_ = other.ItemList();
  const std::string value = other.ValueText();
  if (!value.empty()) {
    for (int32_t patch = 0; patch < kPatchCount; ++patch) Store(patch, value);
    CopyValue(0, 0, kPatchCount - 1);
  }
  if ((other.Flags() & 0x2) != 0) {
    if (CPlug2* ignore = FindPlug("Ignore Program Change")) ignore->WriteValueText("1");
  }
  RequestRebuild();
  watchers_.Notify(Notification(kNotifyRenamed, this, 0, title()));
}

double Ctl_Slider::Lo() const {
  const CPlug2* plug = FindPlug("Lo Value");
  return plug != nullptr ? ParseDouble(plug->ValueText()).value_or(0.0) : 0.0;
}

double Ctl_Slider::Hi() const {
  const CPlug2* plug = FindPlug("Hi Value");
  return plug != nullptr ? ParseDouble(plug->ValueText()).value_or(10.0) : 10.0;
}

int32_t Ctl_Slider::Appearance() const {
  const CPlug2* plug = FindPlug("Appearance");
  return plug != nullptr ? ParseLeadingInteger(plug->ValueText()) : 0;
}

double Ctl_Slider::Value(int32_t patch) const {
  const double stored = StoredValue(patch);
  switch (Appearance()) {
    case 4:
    case 5:
    case 6:
    case 8:
    case 9: {
      const double lo = Lo();
      const double hi = Hi();
      return std::abs(stored - lo) < std::abs(stored - hi) ? lo : hi;
    }
    default:
      return stored;
  }
}

float Ctl_Slider::GetNormalised() const {
  const double lo = Lo();
  const double hi = Hi();
  // An empty range has no position within it.
  if (!(hi != lo)) return 0.0f;
  const auto normalised = static_cast<float>((Value(-1) - lo) / (hi - lo));
  return std::isfinite(normalised) ? ClampNormalised(normalised) : 0.0f;
}

void Ctl_Slider::SetNormalised(float x) {
  x = std::isfinite(x) ? ClampNormalised(x) : 0.0f;
  SetValue(-1, Lo() + (Hi() - Lo()) * x);
}

std::string Ctl_Slider::TextForNormalised(float x) const {
  x = std::isfinite(x) ? ClampNormalised(x) : 0.0f;
  return FormatFixed(Lo() + (Hi() - Lo()) * x, 3);
}

void Ctl_Slider::OnPlugValueChanged(CPlug2& plug) {
  const std::string name = plug.Name();
  if (name == "Lo Value" || name == "Hi Value" || name == "Appearance" ||
      name == "Show Readout" || name == "Show Title On Panel") {
    RequestRebuild();
    Watchers().Notify(Notification(kNotifyValueChanged, this));
  }
}

void Ctl_Combo::OnPlugValueChanged(CPlug2& plug) {
  const std::string name = plug.Name();
  if (name == "Appearance" || name == "Show Title On Panel") RequestRebuild();
}

void Ctl_Text::OnPlugValueChanged(CPlug2& plug) {
  if (plug.Name() == "Show Title On Panel") RequestRebuild();
}

bool CControl::AllPatchesEqual() const {
  if (value_type_ == kText) {
    return std::all_of(texts_.begin(), texts_.end(), [&](const auto& v) { return v == texts_[0]; });
  }
  if (value_type_ == kDouble) {
    return std::all_of(doubles_.begin(), doubles_.end(),
                       [&](double v) { return v == doubles_[0]; });
  }
  return std::all_of(integers_.begin(), integers_.end(),
                     [&](int32_t v) { return v == integers_[0]; });
}

void CControl::WalkValue(FieldWalker& walker, std::size_t patch) {
  // Values beyond the patch count are read to keep the stream aligned.
  const bool kept = patch < static_cast<std::size_t>(kPatchCount);
  if (value_type_ == kText) {
    std::string value = kept ? texts_[patch] : std::string();
    walker.String("", value);
    if (kept) texts_[patch] = std::move(value);
  } else if (value_type_ == kDouble) {
    double value = kept ? doubles_[patch] : 0;
    walker.Float64("", value);
    if (kept) doubles_[patch] = value;
  } else {
    int32_t value = kept ? integers_[patch] : 0;
    walker.Int32("", value);
    if (kept) integers_[patch] = value;
  }
}

void CControl::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  CUG::Serialize(walker);
  if (version > 18) {
    if (version > 83) walker.Int32("options", option_word_);
    const std::size_t written = single_value_ && AllPatchesEqual() ? 1 : kPatchCount;
    const std::size_t value_bytes = value_type_ == kDouble ? 8 : value_type_ == kText ? 1 : 4;
    const std::optional<std::size_t> count =
        walker.BeginList("values", written, CountForm::kInt32, value_bytes);
    if (count) {
      for (std::size_t patch = 0; patch < *count; ++patch) {
        walker.BeginElement();
        WalkValue(walker, patch);
        walker.EndElement();
      }
      if (walker.Loading()) {
        single_value_ = *count == 1;
        if (single_value_) {
          for (int32_t patch = 1; patch < kPatchCount; ++patch) {
            Store(patch, ValueText(0));
          }
        }
      }
    }
    walker.EndList();
  }
  walker.RectField("panel_rect", panel_rect_);
  if (version >= 61) walker.String("hint", hint_);
}

}  // namespace ov
