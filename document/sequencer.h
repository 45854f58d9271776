// The sequencer modules' stored patterns and song lists. Counts in streams
// may exceed the arrays: every stored value is read, so that the stream stays
// aligned, and the first ones that fit are kept.
//
// Threads: editor only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/control.h"
#include "modules/step_sequencer.h"

namespace ov {

// A step's note as the panel shows it: "***" for a rest, else the name and
// octave ("C4" is 48).
std::string NoteName(int32_t note);
// The note a typed name gives: leading blanks skipped, a letter A to G
// (either case), an optional "#", then the octave; a rest (-1) for any
// other letter or a note below 0, 127 for one above 126.
int32_t NoteFromText(std::string_view text);

class CPattSeq;

// `parameter_sequencer`: one named value of a sequencer's panel ("BPM",
// "Pattern", a drum step button ...), found by name in the module's panel
// parameters. Every set tells the parameter's watchers (code 31); a change
// of whether it may be edited now is announced with code 38.
//
// These are the panel's alone, never host parameters or chunk entries:
// most act on the selected pattern, step, bar or row, so a host or a state
// chunk setting them would rewrite data through whatever was selected.
class parameter_sequencer : public generic_parameter {
 public:
  enum class Kind {
    kBpm,
    kStepCount,
    kBar,
    kPattern,
    kMode,
    kBeat,
    kStepNum,  // "Step Sequencer" only, as are the four below
    kNote,
    kVelocity,
    kModulation,
    kSlide,
    kDrumStep,  // "DB": step `index` of the selected row; "Drum Sequencer"
    kDrumRow,   // "BB": row `index` is the selected row; "Drum Sequencer"
  };
  parameter_sequencer(CPattSeq& owner, Kind kind, int32_t index = 0)
      : owner_(owner), kind_(kind), index_(index) {}
  ~parameter_sequencer() override;

  Kind kind() const { return kind_; }
  // The step ("DB") or row ("BB") the parameter stands for; 0 for others.
  int32_t index() const { return index_; }

  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override;
  // A row button's short name from the drum table ("BD"); else empty.
  std::string Label() const override;
  int32_t Datatype() const override;
  bool DisplayOnly() const override { return kind_ == Kind::kBeat; }
  bool Enabled() const override;
  std::string ValueText() const override;
  void WriteValueText(const std::string& text) override;
  std::string ItemList() const override;
  // "BPM" reads and writes the tempo itself; "Beat", "Slide" and the
  // buttons 1 or 0; the others 0 (writing them picks an item).
  float GetNormalised() const override;
  void SetNormalised(float x) override;

  // Code 31 and code 38 to the watchers.
  void NotifyChanged();
  void NotifyEnabled();

 private:
  void Set(double v);

  CPattSeq& owner_;
  Kind kind_;
  int32_t index_;
  Notifier watchers_;
};

// `CPattSeq`: tempo, mode and song list shared by the two pattern sequencers
// (also the "Drum Sequencer" module itself).
class CPattSeq : public CControl {
 public:
  static constexpr int32_t kSongLength = 100;
  static constexpr int32_t kPatternCount = 32;
  static constexpr int32_t kMaxSteps = 32;
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  CPattSeq();
  ~CPattSeq() override;
  void Serialize(FieldWalker& walker) override;

  float tempo() const { return tempo_; }
  bool song_mode() const { return song_mode_; }
  const std::array<int32_t, kSongLength>& song() const { return song_; }
  int32_t current_pattern() const { return current_pattern_; }
  int32_t bar() const { return bar_; }

  // The engine's beat light as last read: 1 on the beat, else 0.
  float beat() const { return beat_; }

  // Edits; each one that changes something tells the engine (a new
  // snapshot of the patterns), the module's watchers (code 28, the panel
  // redraws) and the watchers of the parameters that show it.
  void SetTempo(float tempo);
  void SetSongMode(bool song_mode);
  // -1 (none) to 31; larger numbers are taken as 31. In song mode the
  // song list entry of the bar takes the pattern too.
  void SetCurrentPattern(int32_t pattern);
  void SetSongEntry(int32_t position, int32_t pattern);
  // The song list entry shown, 0..99; the current pattern follows it.
  void SetBar(int32_t bar);
  // The current pattern's step count, within 1..32. A plain CPattSeq has
  // no patterns: its step counts are 0 and these change nothing.
  virtual void SetStepCount(int32_t count);
  virtual int32_t StepCount(int32_t pattern) const;
  // The current pattern back to the steps of a new module.
  virtual void ClearPattern() {}
  // The panel's "Copy": pattern `to` (0..31) takes the current pattern's
  // steps; nothing without a current pattern.
  virtual void CopyPatternTo(int32_t /*to*/) {}

  // The panel's parameters: "BPM", "StepCount", "Bar", "Pattern", "Mode",
  // "Beat", then the kind's own, in that order.
  const std::vector<std::unique_ptr<parameter_sequencer>>& panel_parameters() const {
    return parameters_;
  }
  // The `nth` panel parameter named `name` ("DB" 0..15, "BB" 0..16), or null.
  parameter_sequencer* PanelParameter(std::string_view name, int32_t nth = 0) const;

  // What the engine would play now; also what was published last.
  PatternSet Snapshot() const;
  const std::shared_ptr<PatternChannel>& channel() const { return channel_; }

 protected:
  // The kind's own patterns go into `set`.
  virtual void FillSnapshot(PatternSet& /*set*/) const {}
  // Publishes a new snapshot for the engine and tells the panel (code 28).
  void UpdateEngine();
  void OnGeneratorAttached(ug_base& generator) override;
  // "refr": the beat light read again; in song mode the bar follows the
  // song position the engine plays.
  void OnRefresh(ug_base& generator) override;
  // The current pattern changed: the kind's edit position starts again.
  virtual void OnPatternSelected() {}
  // The current pattern becomes `pattern`; `into_song` writes it into the
  // song list entry of the bar as well.
  void SelectPattern(int32_t pattern, bool into_song);
  void AddParameter(parameter_sequencer::Kind kind, int32_t index = 0);
  void NotifyParameter(parameter_sequencer::Kind kind) const;
  // The parameters usable only while a pattern is selected announce it.
  void AnnouncePatternEnabled() const;

  int32_t current_pattern_ = 1;

 private:
  std::vector<uint8_t> legacy_bytes_;
  int32_t unused_ = 0;
  float tempo_ = 120.0f;
  bool song_mode_ = false;
  std::array<int32_t, kSongLength> song_;
  int32_t song_stored_ = kSongLength;  // how many entries the stream holds
  int32_t bar_ = 0;
  float beat_ = 0.0f;
  std::shared_ptr<PatternChannel> channel_ = std::make_shared<PatternChannel>();
  std::vector<std::unique_ptr<parameter_sequencer>> parameters_;
};

// One step of a "Step Sequencer" pattern.
struct SequencerStep {
  int32_t note = 48;
  int32_t velocity = 100;
  int32_t modulation = 0;
  int32_t fourth = 1;
  bool slide = false;
  int32_t legacy_extra = 0;  // stored by version 14 only
};

// `CStepSeq2`: the "Step Sequencer" module.
class CStepSeq2 : public CPattSeq {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  CStepSeq2();
  void Serialize(FieldWalker& walker) override;

  const std::array<std::vector<SequencerStep>, kPatternCount>& patterns() const {
    return patterns_;
  }
  // A step of the current pattern; steps outside it are never edited.
  void SetStep(int32_t index, const SequencerStep& step);
  // A whole pattern (0..31) of 1 to 32 steps; nothing otherwise.
  void SetPattern(int32_t pattern, std::vector<SequencerStep> steps);
  // The step count is set after the edited step is kept within it.
  void SetStepCount(int32_t count) override;
  int32_t StepCount(int32_t pattern) const override;
  void ClearPattern() override;
  void CopyPatternTo(int32_t to) override;

  // The step the panel edits ("StepNum"), within the current pattern; and
  // that step (a new module's step when no pattern is selected).
  int32_t edited_step() const { return edited_step_; }
  void SetEditedStep(int32_t index);
  SequencerStep EditedStep() const;
  // Changes the edited step; nothing while no pattern is selected.
  void EditStep(const SequencerStep& step);

 protected:
  void FillSnapshot(PatternSet& set) const override;
  void OnPatternSelected() override;

 private:
  void NotifyStepParameters() const;

  std::array<std::vector<SequencerStep>, kPatternCount> patterns_;
  std::array<std::vector<SequencerStep>, kPatternCount> hidden_;  // beyond the count
  int32_t edited_step_ = 0;
};

// `CDrumSeq`: drum patterns, one word per step (bit 0 accent, bits 1-16 drums).
class CDrumSeq : public CPattSeq {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  CDrumSeq();
  void Serialize(FieldWalker& walker) override;

  // The drum table: short name and MIDI note of rows 1..16 (row 0 is the
  // accent and has no note).
  struct Row {
    const char* short_name;
    const char* long_name;
    int16_t note;
  };
  static const std::array<Row, 17> kRows;

  const std::array<std::vector<int32_t>, kPatternCount>& patterns() const { return patterns_; }
  // Sets or clears row `row`'s bit in step `index` of the current pattern.
  void SetDrum(int32_t index, int32_t row, bool on);
  // A whole pattern (0..31) of 1 to 32 steps; nothing otherwise.
  void SetPattern(int32_t pattern, std::vector<int32_t> steps);
  // Whether row `row` sounds in step `index` of the current pattern.
  bool Drum(int32_t index, int32_t row) const;
  // The row the step buttons show and set, 0..16.
  int32_t selected_row() const { return selected_row_; }
  void SelectRow(int32_t row);
  void SetStepCount(int32_t count) override;
  int32_t StepCount(int32_t pattern) const override;
  void ClearPattern() override;
  void CopyPatternTo(int32_t to) override;
  // The grid every pattern of a new module has.
  static std::vector<int32_t> DefaultGrid();
  static constexpr int32_t kStepButtons = 16;
  // What a stored plain CPattSeq loads as. That class has no patterns, yet
  // it is what "Drum Sequencer" modules were stored as: it becomes a
  // CDrumSeq with the default grid, read from the CPattSeq fields, and is
  // written back as a CDrumSeq, so the patterns edited since are kept.
  static std::unique_ptr<Persistent> FromPlainStream();

 protected:
  void FillSnapshot(PatternSet& set) const override;
  void OnPatternSelected() override { SelectRow(selected_row_); }

 private:
  std::array<std::vector<int32_t>, kPatternCount> patterns_;
  std::array<std::vector<int32_t>, kPatternCount> hidden_;  // beyond the count
  int32_t selected_row_ = 1;
  bool plain_stream_ = false;  // the next load reads the CPattSeq fields only
};

// `CStepSeq`: the superseded step sequencer.
class CStepSeq : public CUG {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  const std::vector<std::vector<SequencerStep>>& patterns() const { return patterns_; }
  const std::vector<int32_t>& song() const { return song_; }

 protected:
  Rect* ViewRectField(int32_t view_kind) override {
    return view_kind == kViewControlPanel ? &panel_rect_ : CUG::ViewRectField(view_kind);
  }

 private:
  Rect panel_rect_;
  int32_t setting_ = 0;
  std::vector<std::vector<SequencerStep>> patterns_;
  bool flag_ = false;
  std::vector<int32_t> song_;
};

}  // namespace ov
