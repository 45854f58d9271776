#include "editor/sequencer_panel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "editor/canvas.h"
#include "editor/skins/text_painter.h"
#include "editor/view_root.h"
#include "editor/widgets/widget_text.h"
#include "modules/list_text.h"
#include "platform/window_port.h"

namespace ov {
namespace {

constexpr std::string_view kCellFont = "user 2";
constexpr Colour kBackground = MakeColour(30, 34, 40);
constexpr Colour kFieldFill = MakeColour(48, 54, 64);
constexpr Colour kCellFill = MakeColour(40, 46, 56);
constexpr Colour kBeatCell = MakeColour(52, 60, 74);  // every fourth step
constexpr Colour kEdited = MakeColour(240, 180, 60);
constexpr Colour kVelocity = MakeColour(90, 170, 230);
constexpr Colour kSlide = MakeColour(230, 120, 60);
constexpr Colour kDrumOn = MakeColour(110, 220, 140);
constexpr Colour kAccentOn = MakeColour(240, 90, 70);
constexpr Colour kLightOn = MakeColour(255, 60, 40);
constexpr Colour kLightOff = MakeColour(70, 30, 30);
constexpr Colour kText = MakeColour(220, 222, 226);
constexpr Colour kDisabledText = MakeColour(110, 114, 120);
constexpr Colour kArrow = MakeColour(160, 166, 176);

// The top row, left to right: field and width.
struct FieldPlace {
  SequencerPanelView::Field field;
  int32_t width;
};
constexpr FieldPlace kFields[] = {
    {SequencerPanelView::Field::kPattern, 50}, {SequencerPanelView::Field::kSteps, 66},
    {SequencerPanelView::Field::kMode, 34},    {SequencerPanelView::Field::kBar, 50},
    {SequencerPanelView::Field::kTempo, 72},   {SequencerPanelView::Field::kBeat, 8},
    {SequencerPanelView::Field::kCopy, 34},    {SequencerPanelView::Field::kClear, 37},
};
// The part of a stepping field's ends that steps it.
constexpr int32_t kArrowWidth = 9;

bool Steps(SequencerPanelView::Field field) {
  using F = SequencerPanelView::Field;
  return field == F::kPattern || field == F::kSteps || field == F::kBar || field == F::kTempo;
}

void DrawArrow(Canvas& canvas, const Rect& r, bool left) {
  const int32_t mid = (r.top + r.bottom) / 2;
  for (int32_t i = 0; i < 4; ++i) {
    const int32_t x = left ? r.left + 2 + i : r.right - 3 - i;
    canvas.FillRect({x, mid - i, x + 1, mid + i + 1}, kArrow);
  }
}

void Frame(Canvas& canvas, const Rect& r, Colour colour) {
  canvas.FillRect({r.left, r.top, r.right, r.top + 1}, colour);
  canvas.FillRect({r.left, r.bottom - 1, r.right, r.bottom}, colour);
  canvas.FillRect({r.left, r.top, r.left + 1, r.bottom}, colour);
  canvas.FillRect({r.right - 1, r.top, r.right, r.bottom}, colour);
}

void CentredText(Canvas& canvas, const CVisualOb& object, const Rect& r, std::string_view text,
                 Colour colour) {
  WidgetTextScope scope(canvas, object, {kCellFont}, TextState::Align::kCentre);
  canvas.Text().opaque = false;
  canvas.Text().colour = colour;
  DrawTextBox(canvas, r, text, {.wrap = false, .centre_vertically = true});
}

}  // namespace

SequencerPanelView::SequencerPanelView(CPattSeq& module)
    : SelfDrawingView(module), module_(module) {
  for (const std::unique_ptr<parameter_sequencer>& parameter : module.panel_parameters()) {
    const bool beat = parameter->kind() == parameter_sequencer::Kind::kBeat;
    repainters_.push_back(std::make_unique<Repainter>(*this, parameter.get(), beat));
  }
}

SequencerPanelView::Repainter::Repainter(SequencerPanelView& view, generic_parameter* parameter,
                                         bool beat)
    : view_(view), beat_(beat) {
  Watch(parameter);
}

void SequencerPanelView::Repainter::OnParameterChanged() {
  if (beat_) {
    view_.InvalidateRect(view_.FieldRect(Field::kBeat));
  } else {
    view_.InvalidateAll();
  }
}

parameter_sequencer* SequencerPanelView::Parameter(std::string_view name, int32_t nth) const {
  return module_.PanelParameter(name, nth);
}

void SequencerPanelView::Write(std::string_view name, const std::string& value, int32_t nth) {
  parameter_sequencer* parameter = Parameter(name, nth);
  if (parameter != nullptr && parameter->Enabled()) parameter->WriteValueText(value);
}

Rect SequencerPanelView::FieldRect(Field field) const {
  int32_t x = 4;
  for (const FieldPlace& place : kFields) {
    if (place.field == field) return {x, 2, x + place.width, kTopRow - 2};
    x += place.width + 3;
  }
  return {};
}

std::optional<SequencerPanelView::Field> SequencerPanelView::FieldAt(Point p) const {
  for (const FieldPlace& place : kFields) {
    if (RectContains(FieldRect(place.field), p)) return place.field;
  }
  return std::nullopt;
}

std::string SequencerPanelView::FieldText(Field field) const {
  const auto value = [this](std::string_view name) {
    const parameter_sequencer* parameter = Parameter(name);
    return parameter != nullptr ? parameter->ValueText() : std::string();
  };
  switch (field) {
    case Field::kPattern:
      return "PAT " + value("Pattern");
    case Field::kSteps:
      return "STEPS " + value("StepCount");
    case Field::kMode:
      return module_.song_mode() ? "SONG" : "PATT";
    case Field::kBar:
      return "BAR " + value("Bar");
    case Field::kTempo:
      return "BPM " + value("BPM");
    case Field::kBeat:
      return {};
    case Field::kCopy:
      return "COPY";
    case Field::kClear:
      return "CLEAR";
  }
  return {};
}

bool SequencerPanelView::FieldEnabled(Field field) const {
  switch (field) {
    case Field::kSteps:
      return Parameter("StepCount") != nullptr && Parameter("StepCount")->Enabled();
    case Field::kBar:
      return Parameter("Bar") != nullptr && Parameter("Bar")->Enabled();
    case Field::kCopy:
    case Field::kClear:
      return module_.current_pattern() >= 0;
    default:
      return true;
  }
}

void SequencerPanelView::Draw(Canvas& canvas) {
  const Rect c = ClientRect();
  canvas.FillRect(c, kBackground);
  canvas.PushClip(c);
  for (const FieldPlace& place : kFields) {
    const Rect r = FieldRect(place.field);
    if (!canvas.RectVisible(r)) continue;
    if (place.field == Field::kBeat) {
      const parameter_sequencer* beat = Parameter("Beat");
      const bool lit = beat != nullptr && beat->GetNormalised() > 0.5f;
      canvas.FillRect({r.left, r.top + 2, r.right, r.bottom - 2}, lit ? kLightOn : kLightOff);
      continue;
    }
    canvas.FillRect(r, kFieldFill);
    const bool enabled = FieldEnabled(place.field);
    const Rect text = Steps(place.field) ? Rect{r.left + kArrowWidth - 2, r.top,
                                                r.right - kArrowWidth + 2, r.bottom}
                                         : r;
    CentredText(canvas, *this, text, FieldText(place.field), enabled ? kText : kDisabledText);
    if (Steps(place.field) && enabled) {
      DrawArrow(canvas, r, true);
      DrawArrow(canvas, r, false);
    }
  }
  DrawBody(canvas);
  canvas.PopClip();
}

bool SequencerPanelView::Press(uint32_t flags, Point p) {
  if (p.y < kTopRow) {
    if (const std::optional<Field> field = FieldAt(p)) PressField(*field, flags, p);
    return false;
  }
  return PressBody(flags, p);
}

void SequencerPanelView::PressField(Field field, uint32_t flags, Point p) {
  const Rect r = FieldRect(field);
  const int32_t direction = p.x < r.left + kArrowWidth ? -1 : p.x >= r.right - kArrowWidth ? 1 : 0;
  const auto step = [&](std::string_view name, int32_t by) {
    const parameter_sequencer* parameter = Parameter(name);
    if (parameter == nullptr || direction == 0) return;
    Write(name, std::to_string(ParseLeadingInteger(parameter->ValueText()) + by * direction));
  };
  switch (field) {
    case Field::kPattern:
      step("Pattern", 1);
      break;
    case Field::kSteps:
      step("StepCount", 1);
      break;
    case Field::kBar:
      step("Bar", 1);
      break;
    case Field::kTempo: {
      if (direction == 0) break;
      const float by = (flags & kFlagShift) ? 10.0f : 1.0f;
      char text[32];
      std::snprintf(text, sizeof text, "%.1f",
                    std::clamp(module_.tempo() + by * static_cast<float>(direction), 1.0f, 300.0f));
      Write("BPM", text);
      break;
    }
    case Field::kMode:
      Write("Mode", module_.song_mode() ? "0" : "1");
      break;
    case Field::kCopy: {
      const int32_t from = module_.current_pattern();
      if (from < 0 || from + 1 >= CPattSeq::kPatternCount) break;
      module_.CopyPatternTo(from + 1);
      Write("Pattern", std::to_string(from + 1));
      break;
    }
    case Field::kClear:
      if (module_.current_pattern() >= 0) module_.ClearPattern();
      break;
    case Field::kBeat:
      break;
  }
}

// The step sequencer.

StepSequencerPanel::StepSequencerPanel(CStepSeq2& module)
    : SequencerPanelView(module), steps_(module) {}

Rect StepSequencerPanel::CellRect(int32_t step) const {
  const int32_t left = 4 + (step % kColumns) * kCellWidth;
  const int32_t top = kTopRow + 2 + (step / kColumns) * kCellHeight;
  return {left, top, left + kCellWidth - 1, top + kCellHeight - 2};
}

std::optional<int32_t> StepSequencerPanel::StepAt(Point p) const {
  const int32_t count = steps_.StepCount(steps_.current_pattern());
  for (int32_t step = 0; step < count; ++step) {
    if (RectContains(CellRect(step), p)) return step;
  }
  return std::nullopt;
}

StepSequencerPanel::Row StepSequencerPanel::RowAt(int32_t y) {
  if (y < 14) return Row::kNote;
  if (y < kCellHeight - 8) return Row::kVelocity;
  return Row::kSlide;
}

void StepSequencerPanel::DrawBody(Canvas& canvas) {
  const int32_t pattern = steps_.current_pattern();
  if (pattern < 0 || pattern >= CPattSeq::kPatternCount) return;
  const std::vector<SequencerStep>& steps = steps_.patterns()[static_cast<std::size_t>(pattern)];
  const int32_t count =
      std::min<int32_t>(steps_.StepCount(pattern), static_cast<int32_t>(steps.size()));
  for (int32_t i = 0; i < count; ++i) {
    const Rect r = CellRect(i);
    if (!canvas.RectVisible(r)) continue;
    const SequencerStep& step = steps[static_cast<std::size_t>(i)];
    canvas.FillRect(r, i % 4 == 0 ? kBeatCell : kCellFill);
    CentredText(canvas, *this, {r.left, r.top + 1, r.right, r.top + 13}, NoteName(step.note),
                step.note < 0 ? kDisabledText : kText);
    // The bar from the bottom of its row, 0 to 127.
    const int32_t bar_top = r.top + 14;
    const int32_t bar_bottom = r.top + kCellHeight - 8;
    const int32_t velocity = std::clamp(step.velocity, 0, 127);
    const int32_t height = (bar_bottom - bar_top) * velocity / 127;
    if (step.note >= 0)
      canvas.FillRect({r.left + 5, bar_bottom - height, r.right - 5, bar_bottom}, kVelocity);
    if (step.slide) canvas.FillRect({r.left + 2, r.bottom - 5, r.right + 1, r.bottom - 2}, kSlide);
    if (i == steps_.edited_step()) Frame(canvas, r, kEdited);
  }
}

bool StepSequencerPanel::PressBody(uint32_t flags, Point p) {
  const std::optional<int32_t> step = StepAt(p);
  if (!step) return false;
  Write("StepNum", std::to_string(*step));
  const Rect r = CellRect(*step);
  const SequencerStep edited = steps_.EditedStep();
  switch (RowAt(p.y - r.top)) {
    case Row::kNote:
      if (Root() != nullptr && Root()->State().PressIsDoubleClick()) {
        Write("Note", edited.note < 0 ? "C4" : "***");
        return false;
      }
      dragging_ = Part::kNote;
      pressed_y_ = p.y;
      pressed_note_ = edited.note < 0 ? 48 : edited.note;
      return true;
    case Row::kVelocity:
      dragging_ = Part::kVelocity;
      SetVelocityAt(*step, p.y);
      return true;
    case Row::kSlide:
      if (parameter_sequencer* slide = Parameter("Slide"); slide != nullptr && slide->Enabled()) {
        slide->SetNormalised(edited.slide ? 0.0f : 1.0f);
      }
      return false;
  }
  (void)flags;
  return false;
}

void StepSequencerPanel::SetVelocityAt(int32_t step, int32_t y) {
  const Rect r = CellRect(step);
  const int32_t bar_top = r.top + 14;
  const int32_t bar_bottom = r.top + kCellHeight - 8;
  const int32_t velocity = std::clamp((bar_bottom - y) * 127 / (bar_bottom - bar_top), 1, 127);
  Write("Velocity", std::to_string(velocity));
}

void StepSequencerPanel::Drag(uint32_t, Point p) {
  if (dragging_ == Part::kVelocity) {
    SetVelocityAt(steps_.edited_step(), p.y);
  } else if (dragging_ == Part::kNote) {
    const int32_t note = std::clamp(pressed_note_ + (pressed_y_ - p.y) / 4, 0, 127);
    if (note != steps_.EditedStep().note) Write("Note", NoteName(note));
  }
}

// The drum sequencer.

DrumSequencerPanel::DrumSequencerPanel(CDrumSeq& module)
    : SequencerPanelView(module), drums_(module) {}

Rect DrumSequencerPanel::CellRect(int32_t row, int32_t step) const {
  const int32_t top = kTopRow + 2 + row * kRowHeight;
  if (step < 0) return {4, top, 4 + kLabelWidth - 2, top + kRowHeight - 1};
  const int32_t left = 4 + kLabelWidth + step * kCellWidth;
  return {left, top, left + kCellWidth - 1, top + kRowHeight - 1};
}

void DrumSequencerPanel::DrawBody(Canvas& canvas) {
  const int32_t pattern = drums_.current_pattern();
  const bool shown = pattern >= 0 && pattern < CPattSeq::kPatternCount;
  const int32_t count = shown ? drums_.StepCount(pattern) : 0;
  for (int32_t row = 0; row < kRowCount; ++row) {
    const Rect label = CellRect(row, -1);
    const bool selected = drums_.selected_row() == row;
    canvas.FillRect(label, selected ? kEdited : kFieldFill);
    CentredText(canvas, *this, label, CDrumSeq::kRows[static_cast<std::size_t>(row)].short_name,
                selected ? kBackground : kText);
    for (int32_t step = 0; step < kStepButtons; ++step) {
      const Rect r = CellRect(row, step);
      if (!canvas.RectVisible(r)) continue;
      const bool inside = step < count;
      canvas.FillRect(r, !inside ? kBackground : step % 4 == 0 ? kBeatCell : kCellFill);
      if (inside && drums_.Drum(step, row)) {
        canvas.FillRect({r.left + 2, r.top + 2, r.right - 2, r.bottom - 2},
                        row == 0 ? kAccentOn : kDrumOn);
      }
    }
  }
}

bool DrumSequencerPanel::PressBody(uint32_t, Point p) {
  for (int32_t row = 0; row < kRowCount; ++row) {
    if (RectContains(CellRect(row, -1), p)) {
      if (parameter_sequencer* select = Parameter("BB", row)) select->SetNormalised(1.0f);
      return false;
    }
    for (int32_t step = 0; step < kStepButtons; ++step) {
      if (!RectContains(CellRect(row, step), p)) continue;
      if (step >= drums_.StepCount(drums_.current_pattern())) return false;
      if (parameter_sequencer* select = Parameter("BB", row)) select->SetNormalised(1.0f);
      if (parameter_sequencer* cell = Parameter("DB", step); cell != nullptr && cell->Enabled()) {
        cell->SetNormalised(cell->GetNormalised() > 0.5f ? 0.0f : 1.0f);
      }
      return false;
    }
  }
  return false;
}

void AddSequencerPanelViews(VisualMakers& makers) {
  makers.Add([](CDocOb& object, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    if (view_kind != kViewControlPanel) return nullptr;
    if (auto* steps = dynamic_cast<CStepSeq2*>(&object)) {
      return PlacedAtModule(std::make_unique<StepSequencerPanel>(*steps));
    }
    if (auto* drums = dynamic_cast<CDrumSeq*>(&object)) {
      return PlacedAtModule(std::make_unique<DrumSequencerPanel>(*drums));
    }
    return nullptr;
  });
}

}  // namespace ov
