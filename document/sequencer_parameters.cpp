#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "document/sequencer.h"
#include "engine/interface_object.h"
#include "modules/list_text.h"
#include "platform/text.h"

namespace ov {
namespace {

using Kind = parameter_sequencer::Kind;

// The number a typed text gives; what does not read as one is 0.
double NumberOf(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  const std::optional<double> whole = ParseDouble(text);
  if (whole && std::isfinite(*whole)) return *whole;
  return ParseLeadingInteger(text);
}

int32_t Whole(double v) {
  return static_cast<int32_t>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

int32_t Midi(double v) { return std::clamp(Whole(v), 0, 127); }

bool NeedsPattern(Kind kind) {
  switch (kind) {
    case Kind::kStepCount:
    case Kind::kStepNum:
    case Kind::kNote:
    case Kind::kVelocity:
    case Kind::kModulation:
    case Kind::kSlide:
    case Kind::kDrumStep:
      return true;
    default:
      return false;
  }
}

}  // namespace

parameter_sequencer::~parameter_sequencer() {
  watchers_.Notify(Notification(kNotifyPlugDestroyed, this));
}

void parameter_sequencer::NotifyChanged() {
  watchers_.Notify(Notification(kNotifyValueChanged, this));
}

void parameter_sequencer::NotifyEnabled() {
  watchers_.Notify(Notification(kNotifyEnabledChanged, this));
}

std::string parameter_sequencer::Name() const {
  switch (kind_) {
    case Kind::kBpm:
      return "BPM";
    case Kind::kStepCount:
      return "StepCount";
    case Kind::kBar:
      return "Bar";
    case Kind::kPattern:
      return "Pattern";
    case Kind::kMode:
      return "Mode";
    case Kind::kBeat:
      return "Beat";
    case Kind::kStepNum:
      return "StepNum";
    case Kind::kNote:
      return "Note";
    case Kind::kVelocity:
      return "Velocity";
    case Kind::kModulation:
      return "Modulation";
    case Kind::kSlide:
      return "Slide";
    case Kind::kDrumStep:
      return "DB";
    case Kind::kDrumRow:
      return "BB";
  }
  return {};
}

std::string parameter_sequencer::Label() const {
  if (kind_ != Kind::kDrumRow) return {};
  return CDrumSeq::kRows[static_cast<std::size_t>(index_)].short_name;
}

int32_t parameter_sequencer::Datatype() const {
  switch (kind_) {
    case Kind::kBpm:
      return DT_FLOAT;
    case Kind::kBeat:
    case Kind::kSlide:
    case Kind::kDrumStep:
    case Kind::kDrumRow:
      return DT_BOOL;
    default:
      return DT_ENUM;
  }
}

bool parameter_sequencer::Enabled() const {
  if (kind_ == Kind::kBar) return owner_.song_mode();
  return !NeedsPattern(kind_) || owner_.current_pattern() >= 0;
}

std::string parameter_sequencer::ItemList() const {
  switch (kind_) {
    case Kind::kStepCount:
      return "range 1,32";
    case Kind::kBar:
      return "range 0,99";
    case Kind::kPattern:
      return "range -1,99";
    case Kind::kMode:
      return "Patt Mode,Song Mode";
    case Kind::kStepNum:
      return "range 0,99";
    default:
      return {};
  }
}

std::string parameter_sequencer::ValueText() const {
  const auto* steps = dynamic_cast<const CStepSeq2*>(&owner_);
  const auto* drums = dynamic_cast<const CDrumSeq*>(&owner_);
  switch (kind_) {
    case Kind::kBpm: {
      char text[32];
      std::snprintf(text, sizeof text, "%3.1f", static_cast<double>(owner_.tempo()));
      return text;
    }
    case Kind::kStepCount:
      return std::to_string(owner_.StepCount(owner_.current_pattern()));
    case Kind::kBar:
      return std::to_string(owner_.bar());
    case Kind::kPattern:
      return std::to_string(owner_.current_pattern());
    case Kind::kMode:
      return owner_.song_mode() ? "1" : "0";
    case Kind::kBeat:
      return {};
    case Kind::kStepNum:
      return steps ? std::to_string(steps->edited_step()) : "0";
    case Kind::kNote:
      return steps ? NoteName(steps->EditedStep().note) : "***";
    case Kind::kVelocity:
      return steps ? std::to_string(steps->EditedStep().velocity) : "0";
    case Kind::kModulation:
      return steps ? std::to_string(steps->EditedStep().modulation) : "0";
    case Kind::kSlide:
      return steps && steps->EditedStep().slide ? "1" : "0";
    case Kind::kDrumStep:
      return drums && drums->Drum(index_, drums->selected_row()) ? "1" : "0";
    case Kind::kDrumRow:
      return drums && drums->selected_row() == index_ ? "1" : "0";
  }
  return {};
}

void parameter_sequencer::WriteValueText(const std::string& text) {
  auto* steps = dynamic_cast<CStepSeq2*>(&owner_);
  if (kind_ == Kind::kNote) {
    const std::string before = ValueText();
    if (steps != nullptr && owner_.current_pattern() >= 0) {
      SequencerStep step = steps->EditedStep();
      step.note = NoteFromText(text);
      steps->EditStep(step);
    }
    if (ValueText() == before) NotifyChanged();
    return;
  }
  // A slide is switched, not typed.
  if (kind_ == Kind::kSlide || kind_ == Kind::kBeat) return;
  Set(NumberOf(text));
}

float parameter_sequencer::GetNormalised() const {
  switch (kind_) {
    case Kind::kBpm:
      return owner_.tempo();
    case Kind::kBeat:
      return owner_.beat();
    case Kind::kSlide:
    case Kind::kDrumStep:
    case Kind::kDrumRow:
      return ValueText() == "1" ? 1.0f : 0.0f;
    default:
      return 0.0f;
  }
}

void parameter_sequencer::SetNormalised(float x) {
  switch (kind_) {
    case Kind::kBpm:
    case Kind::kDrumStep:
    case Kind::kDrumRow:
      Set(std::isfinite(x) ? x : 0.0);
      return;
    case Kind::kSlide:
      if (auto* steps = dynamic_cast<CStepSeq2*>(&owner_);
          steps != nullptr && owner_.current_pattern() >= 0) {
        SequencerStep step = steps->EditedStep();
        if (step.slide != (x > 0.5f)) {
          step.slide = x > 0.5f;
          steps->EditStep(step);  // tells the watchers
          return;
        }
      }
      NotifyChanged();
      return;
    case Kind::kBeat:
      return;
    default:
      generic_parameter::SetNormalised(x);
  }
}

void parameter_sequencer::Set(double v) {
  auto* steps = dynamic_cast<CStepSeq2*>(&owner_);
  auto* drums = dynamic_cast<CDrumSeq*>(&owner_);
  const bool pattern = owner_.current_pattern() >= 0;
  // The edits tell the watchers of what they change; a set that changed
  // nothing is still heard.
  const std::string before = ValueText();
  switch (kind_) {
    case Kind::kBpm:
      owner_.SetTempo(static_cast<float>(std::clamp(v, 1.0, 300.0)));
      break;
    case Kind::kStepCount:
      owner_.SetStepCount(Whole(v));
      break;
    case Kind::kBar:
      owner_.SetBar(Whole(v));
      break;
    case Kind::kPattern:
      owner_.SetCurrentPattern(Whole(v));
      break;
    case Kind::kMode:
      owner_.SetSongMode(v > 0.5);
      break;
    case Kind::kStepNum:
      if (steps != nullptr && pattern) steps->SetEditedStep(Whole(v));
      break;
    case Kind::kVelocity:
    case Kind::kModulation:
      if (steps != nullptr && pattern) {
        SequencerStep step = steps->EditedStep();
        (kind_ == Kind::kVelocity ? step.velocity : step.modulation) = Midi(v);
        steps->EditStep(step);
      }
      break;
    case Kind::kDrumStep:
      if (drums != nullptr) drums->SetDrum(index_, drums->selected_row(), v > 0.5);
      break;
    case Kind::kDrumRow:
      if (drums != nullptr) drums->SelectRow(index_);
      break;
    case Kind::kBeat:
    case Kind::kNote:
    case Kind::kSlide:
      return;
  }
  if (ValueText() == before) NotifyChanged();
}

}  // namespace ov
