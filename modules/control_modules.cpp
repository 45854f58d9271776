#include "modules/control_modules.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/midi_word.h"
#include "engine/saturating_cast.h"
#include "engine/ug_container.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

// Button appearances answer at once; the others glide.
constexpr int32_t kButtonRamp = 4;

float Unit(float x) { return std::isfinite(x) ? std::clamp(x, 0.0f, 1.0f) : 0.0f; }

int32_t Bits(float x) { return std::bit_cast<int32_t>(x); }
float FromBits(int32_t bits) { return std::bit_cast<float>(bits); }

}  // namespace

// --- ug_control

void ug_control::LoadValues(std::span<const double> values, int32_t current_patch) {
  const std::size_t count = std::min(values.size(), shared_->values.size());
  std::copy_n(values.begin(), count, shared_->values.begin());
  current_patch_ = current_patch >= 0 && current_patch < kPatchCount ? current_patch : 0;
  OnValuesLoaded();
}

double ug_control::StoredValue(int32_t patch) const {
  return shared_->values[static_cast<std::size_t>(patch >= 0 && patch < kPatchCount ? patch : 0)];
}

std::array<PlugMember, ug_control::kCommonPlugs> ug_control::CommonMembers() {
  return {PlugMember(channel_), PlugMember(),      PlugMember(),
          PlugMember(controller_), PlugMember(ignore_program_change_), PlugMember(nrpn_)};
}

std::unique_ptr<ug_base> ug_control::Clone() {
  std::unique_ptr<ug_base> clone = ug_base::Clone();
  auto& copy = static_cast<ug_control&>(*clone);
  copy.shared_ = shared_;
  copy.current_patch_ = current_patch_;
  copy.OnValuesLoaded();
  return clone;
}

template <typename Visit>
void ug_control::ForEachCopy(Visit visit) {
  for (ug_base* copy = this; copy != nullptr; copy = copy->NextClone()) {
    visit(static_cast<ug_control&>(*copy));
  }
}

void ug_control::Open() {
  ug_base::Open();
  plug(kMidiIn)->SetChannelFilter(channel_ >= 1 && channel_ <= 16 ? channel_ - 1 : -1);
  // The model takes the automator's controllers for itself and its copies.
  if (!registered_ && (Flags() & UGF_CLONE) == 0 && PatchContext() != nullptr) {
    PatchContext()->AddControllerReceiver(*this);
    registered_ = true;
  }
}

void ug_control::ReadValueMessage(MessageReader& payload, int32_t first, int32_t last,
                                  int32_t flags) {
  if (TakesText()) {
    shared_->text.clear();
    if (!payload.ReadString(shared_->text)) return;
  } else {
    double value = 0.0;
    if (!payload.Read(value)) return;
    std::fill(shared_->values.begin() + first, shared_->values.begin() + last + 1, value);
  }
  const bool patch_change = (flags & kPatchChangeFlag) != 0;
  ForEachCopy([&](ug_control& copy) {
    if (patch_change) {
      copy.ReceiveNotify(kPatchChanged, first);
    } else if (copy.current_patch_ >= first && copy.current_patch_ <= last) {
      copy.ReceiveNotify(kValueChanged, copy.current_patch_);
    }
  });
}

void ug_control::OnMessage(uint32_t message_id, MessageReader& payload) {
  int32_t first = 0;
  int32_t second = 0;
  if (message_id != kMsgControlValue && message_id != kMsgControlCopy) {
    ug_base::OnMessage(message_id, payload);
    return;
  }
  if (!payload.Read(first) || !payload.Read(second)) return;
  if (message_id == kMsgControlValue) {
    if (first < 0 || first >= kPatchCount) return;
    ReadValueMessage(payload, first, first, second);
    return;
  }
  first = std::max(first, 0);
  second = std::min(second, kPatchCount - 1);
  if (first <= second) ReadValueMessage(payload, first, second, 0);
}

void ug_control::OnNotify(int32_t kind, int32_t value) {
  switch (kind) {
    case kPatchChanged:
      current_patch_ = value >= 0 && value < kPatchCount ? value : 0;
      [[fallthrough]];
    case kValueChanged:
      if (value != current_patch_) return;
      if (TakesText()) {
        ApplyText(Clock(), shared_->text);
      } else {
        ApplyValue(Clock(), StoredValue(current_patch_), kind == kPatchChanged);
      }
      return;
    case kSetNormalised: {
      const float normalised = Unit(FromBits(value));
      Publish(ApplyNormalised(Clock(), normalised));
      if ((Flags() & UGF_CLONE) == 0) SendController(Clock(), normalised);
      return;
    }
    default:
      ug_base::OnNotify(kind, value);
  }
}

void ug_control::HandleEvent(ug_event& event) {
  switch (event.kind) {
    case UET_PROG_CHANGE:
      if (ignore_program_change_ || TakesText()) return;
      current_patch_ = event.parm1 & 0x7F;
      ApplyValue(event.time_stamp, StoredValue(current_patch_), true);
      return;
    case UET_CONTROLLER: {
      const float normalised = Unit(FromBits(event.parm3));
      Publish(ApplyNormalised(event.time_stamp, normalised));
      return;
    }
    case UET_MIDI: {
      // A controller message of its own number on "MIDI In".
      const auto word = static_cast<uint32_t>(event.parm1);
      if (midi::Command(word) != midi::kControlChange || controller_ < 0 || controller_ > 127 ||
          midi::Data1(word) != controller_) {
        return;
      }
      const float normalised = static_cast<float>(midi::Data2(word)) / 127.0f;
      Publish(ApplyNormalised(event.time_stamp, normalised));
      return;
    }
    default:
      ug_base::HandleEvent(event);
  }
}

void ug_control::SetNormalisedFromHost(float normalised) {
  ForEachCopy([&](ug_control& copy) { copy.ReceiveNotify(kSetNormalised, Bits(normalised)); });
}

bool ug_control::TakesController(int32_t id) const {
  switch (controller_) {
    case -1:
      return false;
    case 99:
      return id == kControllerIdNrpn + nrpn_;
    case 101:
      return id == kControllerIdRpn + nrpn_;
    default:
      return controller_ >= 0 && id == kControllerIdPlain + controller_;
  }
}

void ug_control::OnController(uint32_t time, int32_t id, float normalised) {
  if (!TakesController(id)) return;
  ForEachCopy([&](ug_control& copy) {
    copy.QueueEvent(time, UET_CONTROLLER, 0, nullptr, Bits(normalised), true);
  });
}

void ug_control::Publish(double value) {
  if ((Flags() & UGF_CLONE) != 0) return;
  // The engine's copy of the patch follows, so a later program change back
  // to this patch finds the value the engine set.
  shared_->values[static_cast<std::size_t>(current_patch_)] = value;
  shared_->reported.store(value, std::memory_order_release);
  RequestRefresh();
}

void ug_control::SendController(uint32_t time, float normalised) {
  if (controller_ < 0 || controller_ > 127 || controller_ == 99 || controller_ == 101) return;
  const auto channel = static_cast<uint32_t>(channel_ >= 1 && channel_ <= 16 ? channel_ - 1 : 0);
  const auto value = static_cast<uint32_t>(std::lround(Unit(normalised) * 127.0f));
  SendMidi(*plug(kMidiOut), time,
           midi::Word(midi::kControlChange | channel, static_cast<uint32_t>(controller_), value));
}

// --- ug_slider

std::unique_ptr<ug_base> ug_slider::CreateInstance() const { return std::make_unique<ug_slider>(); }

void ug_slider::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  const auto common = CommonMembers();
  std::vector<PlugMember> members(common.begin(), common.end());
  members.insert(members.end(), {PlugMember(), PlugMember(lo_), PlugMember(hi_),
                                 PlugMember(appearance_), PlugMember(show_), PlugMember(show_)});
  AppendPlugs(kSliderPlugs, members, descriptors);
}

void ug_slider::SetUpBuffers() {
  ug_base::SetUpBuffers();
  output_.init(smart_output::kLinear, kButtonRamp);
  output_.attach(*plug(kSignalOut));
}

void ug_slider::OnValuesLoaded() {
  output_.set_target(Clock(), static_cast<float>(StoredValue(CurrentPatch()) * 0.1), 0);
}

void ug_slider::Open() {
  SetProcessFunction(&ug_slider::RunOutput);
  ug_control::Open();
}

void ug_slider::Resume() {
  ug_control::Resume();
  output_.rearm();
}

int32_t ug_slider::SlowRamp() const {
  const float rate = Master() != nullptr ? Master()->SampleRate() : 44100.0f;
  return SaturatingCast<int32_t>(rate) / 32;
}

void ug_slider::SetTarget(uint32_t time, float target, int32_t length) {
  output_.set_target(time, target, length);
  SetProcessFunction(&ug_slider::RunOutput);
  if (IsSleeping()) Wake();
}

void ug_slider::ApplyValue(uint32_t time, double value, bool jump) {
  const bool button = appearance_ >= 4 && appearance_ <= 6;
  SetTarget(time, static_cast<float>(value * 0.1), jump ? 0 : button ? kButtonRamp : SlowRamp());
}

double ug_slider::ApplyNormalised(uint32_t time, float normalised) {
  const double value = lo_ + (static_cast<double>(hi_) - lo_) * normalised;
  const auto target = static_cast<float>(value * 0.1);
  if (target != output_.target_value()) {
    const bool button = (appearance_ >= 4 && appearance_ <= 6) || appearance_ == 8;
    SetTarget(time, target, button ? kButtonRamp : SlowRamp());
  }
  return value;
}

float ug_slider::NormalisedValue() const {
  if (!(hi_ != lo_)) return 0.0f;
  return Unit((output_.target_value() * 10.0f - lo_) / (hi_ - lo_));
}

void ug_slider::RunOutput(int32_t position, int32_t count) {
  bool can_sleep = true;
  output_.process(position, count, can_sleep);
  if (can_sleep) SetProcessFunction(&ug_slider::SleepWhenIdle);
}

// --- ug_combobox

std::unique_ptr<ug_base> ug_combobox::CreateInstance() const {
  return std::make_unique<ug_combobox>();
}

void ug_combobox::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  const auto common = CommonMembers();
  std::vector<PlugMember> members(common.begin(), common.end());
  members.insert(members.end(), {PlugMember(choice_), PlugMember(appearance_), PlugMember(show_)});
  AppendPlugs(kComboboxPlugs, members, descriptors);
}

void ug_combobox::OnItemList(int32_t plug_number, std::string_view list_text) {
  if (plug_number == kChoice) items_ = ListText(list_text);
}

std::unique_ptr<ug_base> ug_combobox::Clone() {
  std::unique_ptr<ug_base> clone = ug_control::Clone();
  static_cast<ug_combobox&>(*clone).items_ = items_;
  return clone;
}

void ug_combobox::OnValuesLoaded() {
  choice_ = SaturatingCast<int16_t>(StoredValue(CurrentPatch()));
}

void ug_combobox::ApplyValue(uint32_t time, double value, bool jump) {
  const auto choice = SaturatingCast<int16_t>(value);
  if (choice == choice_ && !jump) return;
  choice_ = choice;
  plug(kChoice)->Transmit(time, ST_STATIC);
}

double ug_combobox::ApplyNormalised(uint32_t time, float normalised) {
  const int32_t value = items_.ValueAt(normalised);
  ApplyValue(time, value, false);
  return value;
}

float ug_combobox::NormalisedValue() const {
  return static_cast<float>(items_.PositionOf(choice_));
}

// --- ug_text_entry

std::unique_ptr<ug_base> ug_text_entry::CreateInstance() const {
  return std::make_unique<ug_text_entry>();
}

void ug_text_entry::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  const auto common = CommonMembers();
  std::vector<PlugMember> members(common.begin(), common.end());
  members.insert(members.end(), {PlugMember(), PlugMember(show_)});
  AppendPlugs(kTextEntryPlugs, members, descriptors);
}

void ug_text_entry::LoadText(std::string_view text) { plug(kTextOut)->SetTextValue(text); }

void ug_text_entry::ApplyText(uint32_t time, std::string_view text) {
  plug(kTextOut)->SetTextValue(text);
  plug(kTextOut)->Transmit(time, ST_STATIC);
}

// --- ug_switch

std::unique_ptr<ug_base> ug_switch::CreateInstance() const { return std::make_unique<ug_switch>(); }

void ug_switch::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kSwitchPlugs, {PlugMember(choice_), PlugMember(input_)}, descriptors);
}

void ug_switch::Open() {
  ug_base::Open();
  // Every connected "Spare Output" added an output after the listed plugs.
  outputs_.clear();
  for (int32_t p = kFirstOutput; p < PlugCount(); ++p) {
    if (plug(p)->Direction() == DR_OUT && plug(p)->IsAudio()) outputs_.push_back(plug(p)->Data());
  }
  SetProcessFunction(&ug_switch::Route);
}

void ug_switch::OnStatusChange(uint32_t time, connector* /*link*/, int32_t /*state*/) {
  const int32_t input_state = plug(kInput)->State() == ST_RUN ? ST_RUN : ST_STATIC;
  SetProcessFunction(&ug_switch::Route);
  if (input_state != ST_RUN) EnterStatic();
  int32_t output = 0;
  for (int32_t p = kFirstOutput; p < PlugCount(); ++p) {
    UPlug& candidate = *plug(p);
    if (candidate.Direction() != DR_OUT || !candidate.IsAudio()) continue;
    candidate.Transmit(time, output == choice_ ? input_state : ST_STATIC);
    ++output;
  }
}

void ug_switch::Route(int32_t position, int32_t count) {
  const int32_t chosen = choice_;
  for (std::size_t k = 0; k < outputs_.size(); ++k) {
    float* out = outputs_[k] + position;
    if (static_cast<int32_t>(k) == chosen) {
      std::copy_n(input_ + position, count, out);
    } else {
      std::fill_n(out, count, 0.0f);
    }
  }
}

// --- ug_switch2

std::unique_ptr<ug_base> ug_switch2::CreateInstance() const {
  return std::make_unique<ug_switch2>();
}

void ug_switch2::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kSwitch2Plugs, {PlugMember(choice_), PlugMember(output_)}, descriptors);
}

void ug_switch2::Open() {
  ug_base::Open();
  inputs_.clear();
  for (int32_t p = kFirstInput; p < PlugCount(); ++p) {
    if (plug(p)->Direction() == DR_IN && plug(p)->IsAudio()) inputs_.push_back(plug(p));
  }
  SetProcessFunction(&ug_switch2::Pass);
}

int32_t ug_switch2::Selected() const {
  if (inputs_.empty()) return -1;
  return std::clamp<int32_t>(choice_, 0, static_cast<int32_t>(inputs_.size()) - 1);
}

void ug_switch2::OnStatusChange(uint32_t time, connector* link, int32_t /*state*/) {
  const int32_t selected = Selected();
  const UPlug* changed = link->Destination();
  const bool matters = changed->Number() == kChoice ||
                       (selected >= 0 && changed == inputs_[static_cast<std::size_t>(selected)]);
  if (!matters) return;
  const int32_t state = selected >= 0 && inputs_[static_cast<std::size_t>(selected)]->State() ==
                                             ST_RUN
                            ? ST_RUN
                            : ST_STATIC;
  SetProcessFunction(&ug_switch2::Pass);
  if (state != ST_RUN) EnterStatic();
  plug(kOutput)->Transmit(time, state);
}

void ug_switch2::Pass(int32_t position, int32_t count) {
  const int32_t selected = Selected();
  const float* in = selected >= 0 ? inputs_[static_cast<std::size_t>(selected)]->Samples() : nullptr;
  if (in != nullptr) {
    std::copy_n(in + position, count, output_ + position);
  } else {
    std::fill_n(output_ + position, count, 0.0f);
  }
}

}  // namespace ov
