// The panels of "Step Sequencer" and "Drum Sequencer", bound to the
// modules' named panel parameters: every edit is a write to one of them,
// so the module keeps its limits, its enabled states and its engine
// up to date.
//
// Both have a top row of fields: "PAT" (the current pattern), "STEPS"
// (its step count), the mode switch, "BAR" (the song list entry, in song
// mode), "BPM", the beat light, "COPY" (the current pattern into the next
// one, which becomes current) and "CLEAR". A press on a field's left or
// right end steps it down or up (BPM by 10 with Shift).
//
// The step sequencer shows the current pattern's steps, 16 to a row: each
// cell the note's name over a velocity bar and a slide strip. A press on a
// cell edits that step; dragging on the name moves the note by a semitone
// per 4 pixels, on the bar sets the velocity, and a press on the strip
// switches the slide. A double click on the name turns a note into a rest
// and a rest into C4. The drum sequencer shows the grid of rows (the
// drum table's short names) by steps; a press on a cell selects its row
// and switches the cell, a press on a name selects the row.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/generic_parameter.h"
#include "document/sequencer.h"
#include "editor/self_drawing_view.h"

namespace ov {

class SequencerPanelView : public SelfDrawingView {
 public:
  static constexpr int32_t kTopRow = 18;
  // The fields of the top row, left to right.
  enum class Field { kPattern, kSteps, kMode, kBar, kTempo, kBeat, kCopy, kClear };

  explicit SequencerPanelView(CPattSeq& module);
  void Draw(Canvas& canvas) override;

  // The field's area, and the field under `p`.
  Rect FieldRect(Field field) const;
  std::optional<Field> FieldAt(Point p) const;
  // The module's panel parameter of that name, or null.
  parameter_sequencer* Parameter(std::string_view name, int32_t nth = 0) const;

 protected:
  bool Press(uint32_t flags, Point p) override;
  // The area below the top row.
  virtual void DrawBody(Canvas& canvas) = 0;
  virtual bool PressBody(uint32_t flags, Point p) = 0;
  // Writes `value` to the parameter, when it may be edited now.
  void Write(std::string_view name, const std::string& value, int32_t nth = 0);

  CPattSeq& module_;

 private:
  // Repaints the panel when one of its parameters changes or is enabled
  // or disabled: most tell only their own watchers (the edited step, the
  // selected row, the bar following the song); the beat light repaints
  // its own field.
  class Repainter : public ParamWatcher {
   public:
    Repainter(SequencerPanelView& view, generic_parameter* parameter, bool beat);

   protected:
    void OnParameterChanged() override;
    void OnParameterEnabled() override { view_.InvalidateAll(); }

   private:
    SequencerPanelView& view_;
    bool beat_;
  };

  void PressField(Field field, uint32_t flags, Point p);
  std::string FieldText(Field field) const;
  bool FieldEnabled(Field field) const;

  std::vector<std::unique_ptr<Repainter>> repainters_;
};

class StepSequencerPanel : public SequencerPanelView {
 public:
  static constexpr int32_t kColumns = 16;
  static constexpr int32_t kCellWidth = 23;
  static constexpr int32_t kCellHeight = 44;

  explicit StepSequencerPanel(CStepSeq2& module);
  Point PreferredSize() const override {
    return {8 + kColumns * kCellWidth, kTopRow + 6 + 2 * kCellHeight};
  }

  // The cell of step `step`, and the step under `p` (within the count).
  Rect CellRect(int32_t step) const;
  std::optional<int32_t> StepAt(Point p) const;

 protected:
  void DrawBody(Canvas& canvas) override;
  bool PressBody(uint32_t flags, Point p) override;
  void Drag(uint32_t flags, Point p) override;
  void EndDrag(Point, bool) override { dragging_ = Part::kNone; }

 private:
  enum class Part { kNone, kNote, kVelocity };
  // Where in a cell `y` (cell coordinates) lies.
  enum class Row { kNote, kVelocity, kSlide };
  static Row RowAt(int32_t y);
  void SetVelocityAt(int32_t step, int32_t y);

  CStepSeq2& steps_;
  Part dragging_ = Part::kNone;
  int32_t pressed_y_ = 0;
  int32_t pressed_note_ = 0;
};

class DrumSequencerPanel : public SequencerPanelView {
 public:
  static constexpr int32_t kLabelWidth = 32;
  static constexpr int32_t kCellWidth = 21;
  static constexpr int32_t kRowHeight = 10;
  static constexpr int32_t kRowCount = 17;
  static constexpr int32_t kStepButtons = 16;

  explicit DrumSequencerPanel(CDrumSeq& module);
  Point PreferredSize() const override {
    return {8 + kLabelWidth + kStepButtons * kCellWidth, kTopRow + 6 + kRowCount * kRowHeight};
  }

  // Row `row`'s cell of step `step` (step -1: the row's name).
  Rect CellRect(int32_t row, int32_t step) const;

 protected:
  void DrawBody(Canvas& canvas) override;
  bool PressBody(uint32_t flags, Point p) override;

 private:
  CDrumSeq& drums_;
};

// Adds the makers of the sequencers' panels for the control panel.
void AddSequencerPanelViews(VisualMakers& makers);

}  // namespace ov
