#include "document/sequencer.h"

namespace ov {
namespace {

// Walks a stored list of int32 values into `kept`, of which at most `limit`
// are kept. Returns the count that the list held.
std::size_t WalkBoundedInt32s(FieldWalker& walker, std::string_view name,
                              std::vector<int32_t>& kept, std::size_t limit) {
  const std::optional<std::size_t> count =
      walker.BeginList(name, kept.size(), CountForm::kInt32, 4);
  std::size_t stored = kept.size();
  if (count) {
    std::vector<int32_t> walked;
    for (std::size_t i = 0; i < *count; ++i) {
      int32_t value = walker.Loading() ? 0 : kept[i];
      walker.BeginElement();
      walker.Int32("", value);
      walker.EndElement();
      if (walked.size() < limit) walked.push_back(value);
    }
    stored = *count;
    kept = std::move(walked);
  }
  walker.EndList();
  return stored;
}

// One step: four values, the slide flag from version 23, and one more value
// that version 14 stored.
void WalkStep(FieldWalker& walker, SequencerStep& step, bool with_slide) {
  const int32_t version = walker.LoadVersion();
  walker.Int32("note", step.note);
  walker.Int32("velocity", step.velocity);
  walker.Int32("modulation", step.modulation);
  walker.Int32("fourth", step.fourth);
  if (with_slide && version >= 23) walker.Bool32("slide", step.slide);
  if (version == 14) walker.Int32("legacy_extra", step.legacy_extra);
}

std::size_t StepBytes(const FieldWalker& walker, bool with_slide) {
  const int32_t version = walker.LoadVersion();
  return 16 + (with_slide && version >= 23 ? 4 : 0) + (version == 14 ? 4 : 0);
}

void WalkSteps(FieldWalker& walker, std::string_view name, std::vector<SequencerStep>& steps,
               bool with_slide) {
  const std::optional<std::size_t> count =
      walker.BeginList(name, steps.size(), CountForm::kInt32, StepBytes(walker, with_slide));
  if (count) {
    std::vector<SequencerStep> walked;
    for (std::size_t i = 0; i < *count; ++i) {
      SequencerStep step = walker.Loading() ? SequencerStep{} : steps[i];
      walker.BeginElement();
      WalkStep(walker, step, with_slide);
      walker.EndElement();
      if (walked.size() < static_cast<std::size_t>(CPattSeq::kMaxSteps)) walked.push_back(step);
    }
    steps = std::move(walked);
  }
  walker.EndList();
}

// The 32 patterns of the pattern sequencers, each walked by `walk`.
template <class Pattern, class Walk>
void WalkPatterns(FieldWalker& walker, std::array<Pattern, CPattSeq::kPatternCount>& patterns,
                  Walk walk) {
  if (walker.BeginList("patterns", patterns.size(), CountForm::kFixed, 4)) {
    for (Pattern& pattern : patterns) {
      walker.BeginElement();
      walk(pattern);
      walker.EndElement();
    }
  }
  walker.EndList();
}

}  // namespace

constinit const SerialClass CPattSeq::kClass{"CPattSeq", 1, false, &MakeObject<CPattSeq>,
                                             &CControl::kClass};
constinit const SerialClass CStepSeq2::kClass{"CStepSeq2", 1, false, &MakeObject<CStepSeq2>,
                                              &CPattSeq::kClass};
constinit const SerialClass CDrumSeq::kClass{"CDrumSeq", 1, false, &MakeObject<CDrumSeq>,
                                             &CPattSeq::kClass};
constinit const SerialClass CStepSeq::kClass{"CStepSeq", 1, false, &MakeObject<CStepSeq>,
                                             &CUG::kClass};

CPattSeq::CPattSeq() {
  song_.fill(-1);
  song_[0] = 1;
}

void CPattSeq::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  CControl::Serialize(walker);
  if (version < 18) walker.Bytes("legacy_bytes", legacy_bytes_, 16);
  walker.Int32("unused", unused_);
  walker.Float32("tempo", tempo_);
  walker.Bool32("song_mode", song_mode_);
  std::vector<int32_t> song(song_.begin(), song_.begin() + song_stored_);
  const std::size_t stored = WalkBoundedInt32s(walker, "song", song, kSongLength);
  if (walker.Loading()) {
    // Entries the stream does not hold keep the defaults of a new module.
    song_.fill(-1);
    song_[0] = 1;
    std::copy(song.begin(), song.end(), song_.begin());
    song_stored_ = static_cast<int32_t>(std::min<std::size_t>(stored, kSongLength));
  }
  if (version >= 25) walker.Int32("bar", bar_);
}

CStepSeq2::CStepSeq2() {
  for (auto& pattern : patterns_) pattern.assign(16, SequencerStep{});
}

void CStepSeq2::Serialize(FieldWalker& walker) {
  CPattSeq::Serialize(walker);
  WalkPatterns(walker, patterns_,
               [&](std::vector<SequencerStep>& steps) { WalkSteps(walker, "", steps, true); });
}

CDrumSeq::CDrumSeq() {
  // The grid of a new module: kick on 0 and 8, open hat on 2, 6, 10 and 14,
  // kick and snare on 4 and 12.
  constexpr int32_t kKick = 1 << 1;
  constexpr int32_t kSnare = 1 << 2;
  constexpr int32_t kOpenHat = 1 << 12;
  std::vector<int32_t> grid(16, 0);
  grid[0] = grid[8] = kKick;
  grid[2] = grid[6] = grid[10] = grid[14] = kOpenHat;
  grid[4] = grid[12] = kKick | kSnare;
  patterns_.fill(grid);
}

void CDrumSeq::Serialize(FieldWalker& walker) {
  CPattSeq::Serialize(walker);
  WalkPatterns(walker, patterns_, [&](std::vector<int32_t>& steps) {
    WalkBoundedInt32s(walker, "", steps, kMaxSteps);
  });
}

void CStepSeq::Serialize(FieldWalker& walker) {
  CUG::Serialize(walker);
  walker.RectField("panel_rect", panel_rect_);
  // The pattern count comes before a setting, so it is walked on its own.
  int32_t pattern_count = static_cast<int32_t>(patterns_.size());
  walker.Int32("pattern_count", pattern_count);
  walker.Int32("setting", setting_);
  const std::size_t count = static_cast<std::size_t>(std::max(pattern_count, 0));
  if (walker.BeginList("patterns", count, CountForm::kFixed, 4)) {
    std::vector<std::vector<SequencerStep>> walked;
    for (std::size_t i = 0; i < count; ++i) {
      std::vector<SequencerStep> steps =
          walker.Loading() ? std::vector<SequencerStep>() : patterns_[i];
      walker.BeginElement();
      WalkSteps(walker, "", steps, false);
      walker.EndElement();
      if (walked.size() < static_cast<std::size_t>(CPattSeq::kPatternCount)) {
        walked.push_back(std::move(steps));
      }
    }
    patterns_ = std::move(walked);
  }
  walker.EndList();
  walker.Bool32("flag", flag_);
  WalkBoundedInt32s(walker, "song", song_, CPattSeq::kSongLength);
}

}  // namespace ov
