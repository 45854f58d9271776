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
  void Serialize(FieldWalker& walker) override;

  float tempo() const { return tempo_; }
  bool song_mode() const { return song_mode_; }
  const std::array<int32_t, kSongLength>& song() const { return song_; }
  int32_t current_pattern() const { return current_pattern_; }
  int32_t bar() const { return bar_; }

  // Edits; each tells the engine (a new snapshot of the patterns).
  void SetTempo(float tempo);
  void SetSongMode(bool song_mode);
  // -1 (none) to 31; larger numbers are taken as 31.
  void SetCurrentPattern(int32_t pattern);
  void SetSongEntry(int32_t position, int32_t pattern);
  // The current pattern's step count, within 1..32. A plain CPattSeq has
  // no patterns: its step counts are 0 and these change nothing.
  virtual void SetStepCount(int32_t count);
  virtual int32_t StepCount(int32_t pattern) const;
  // The current pattern back to the steps of a new module.
  virtual void ClearPattern() {}

  // What the engine would play now; also what was published last.
  PatternSet Snapshot() const;
  const std::shared_ptr<PatternChannel>& channel() const { return channel_; }

 protected:
  // The kind's own patterns go into `set`.
  virtual void FillSnapshot(PatternSet& /*set*/) const {}
  // Publishes a new snapshot for the engine.
  void UpdateEngine();
  void OnGeneratorAttached(ug_base& generator) override;

  int32_t current_pattern_ = 1;

 private:
  std::vector<uint8_t> legacy_bytes_;
  int32_t unused_ = 0;
  float tempo_ = 120.0f;
  bool song_mode_ = false;
  std::array<int32_t, kSongLength> song_;
  int32_t song_stored_ = kSongLength;  // how many entries the stream holds
  int32_t bar_ = 0;
  std::shared_ptr<PatternChannel> channel_ = std::make_shared<PatternChannel>();
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
  void SetStepCount(int32_t count) override;
  int32_t StepCount(int32_t pattern) const override;
  void ClearPattern() override;

 protected:
  void FillSnapshot(PatternSet& set) const override;

 private:
  std::array<std::vector<SequencerStep>, kPatternCount> patterns_;
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
  void SetStepCount(int32_t count) override;
  int32_t StepCount(int32_t pattern) const override;
  void ClearPattern() override;
  // The grid every pattern of a new module has.
  static std::vector<int32_t> DefaultGrid();

 protected:
  void FillSnapshot(PatternSet& set) const override;

 private:
  std::array<std::vector<int32_t>, kPatternCount> patterns_;
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
