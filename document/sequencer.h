// The sequencer modules' stored patterns and song lists. Counts in streams
// may exceed the arrays: every stored value is read, so that the stream stays
// aligned, and the first ones that fit are kept.
//
// Threads: editor only.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "document/control.h"

namespace ov {

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

 private:
  std::vector<uint8_t> legacy_bytes_;
  int32_t unused_ = 0;
  float tempo_ = 120.0f;
  bool song_mode_ = false;
  std::array<int32_t, kSongLength> song_;
  int32_t song_stored_ = kSongLength;  // how many entries the stream holds
  int32_t bar_ = 0;
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

  const std::array<std::vector<int32_t>, kPatternCount>& patterns() const { return patterns_; }

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
