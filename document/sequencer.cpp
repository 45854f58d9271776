#include "document/sequencer.h"

#include <algorithm>
#include <cctype>
#include <cmath>

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

constinit const SerialClass CPattSeq::kClass{"CPattSeq", 1, false, &CDrumSeq::FromPlainStream,
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
  using Kind = parameter_sequencer::Kind;
  for (Kind kind :
       {Kind::kBpm, Kind::kStepCount, Kind::kBar, Kind::kPattern, Kind::kMode, Kind::kBeat}) {
    AddParameter(kind);
  }
}

CPattSeq::~CPattSeq() = default;

void CPattSeq::AddParameter(parameter_sequencer::Kind kind, int32_t index) {
  parameters_.push_back(std::make_unique<parameter_sequencer>(*this, kind, index));
}

parameter_sequencer* CPattSeq::PanelParameter(std::string_view name, int32_t nth) const {
  for (const auto& parameter : parameters_) {
    if (parameter->Name() == name && nth-- == 0) return parameter.get();
  }
  return nullptr;
}

void CPattSeq::NotifyParameter(parameter_sequencer::Kind kind) const {
  for (const auto& parameter : parameters_) {
    if (parameter->kind() == kind) parameter->NotifyChanged();
  }
}

void CPattSeq::AnnouncePatternEnabled() const {
  using Kind = parameter_sequencer::Kind;
  for (const auto& parameter : parameters_) {
    const Kind kind = parameter->kind();
    if (kind != Kind::kBpm && kind != Kind::kBar && kind != Kind::kPattern && kind != Kind::kMode &&
        kind != Kind::kBeat && kind != Kind::kDrumRow) {
      parameter->NotifyEnabled();
    }
  }
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
  using Kind = parameter_sequencer::Kind;
  for (Kind kind :
       {Kind::kStepNum, Kind::kNote, Kind::kVelocity, Kind::kModulation, Kind::kSlide}) {
    AddParameter(kind);
  }
}

void CStepSeq2::Serialize(FieldWalker& walker) {
  CPattSeq::Serialize(walker);
  WalkPatterns(walker, patterns_,
               [&](std::vector<SequencerStep>& steps) { WalkSteps(walker, "", steps, true); });
}

CDrumSeq::CDrumSeq() {
  patterns_.fill(DefaultGrid());
  for (int32_t step = 0; step < kStepButtons; ++step) {
    AddParameter(parameter_sequencer::Kind::kDrumStep, step);
  }
  for (int32_t row = 0; row < static_cast<int32_t>(kRows.size()); ++row) {
    AddParameter(parameter_sequencer::Kind::kDrumRow, row);
  }
}

std::vector<int32_t> CDrumSeq::DefaultGrid() {
  // Kick on 0 and 8, open hat on 2, 6, 10 and 14, kick and snare on 4 and 12.
  constexpr int32_t kKick = 1 << 1;
  constexpr int32_t kSnare = 1 << 2;
  constexpr int32_t kOpenHat = 1 << 12;
  std::vector<int32_t> grid(16, 0);
  grid[0] = grid[8] = kKick;
  grid[2] = grid[6] = grid[10] = grid[14] = kOpenHat;
  grid[4] = grid[12] = kKick | kSnare;
  return grid;
}

std::unique_ptr<Persistent> CDrumSeq::FromPlainStream() {
  auto drums = std::make_unique<CDrumSeq>();
  drums->plain_stream_ = true;
  return drums;
}

void CDrumSeq::Serialize(FieldWalker& walker) {
  if (plain_stream_ && walker.Loading()) {
    plain_stream_ = false;
    CPattSeq::Serialize(walker);
    return;
  }
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

namespace ov {
namespace {

constexpr std::array<const char*, 12> kNoteNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                    "F#", "G",  "G#", "A",  "A#", "B"};

bool ValidPattern(int32_t pattern) { return pattern >= 0 && pattern < CPattSeq::kPatternCount; }

// A pattern's steps to `count`: the steps a shorter count hid come back
// when it grows again (until the project is saved, which stores the count),
// then those of a new module.
template <class Step>
void ResizeSteps(std::vector<Step>& steps, std::vector<Step>& hidden, std::size_t count,
                 const Step& fresh) {
  if (count < steps.size()) {
    hidden.insert(hidden.begin(), steps.begin() + static_cast<std::ptrdiff_t>(count), steps.end());
    steps.resize(count);
    return;
  }
  const std::size_t back = std::min(count - steps.size(), hidden.size());
  steps.insert(steps.end(), hidden.begin(), hidden.begin() + static_cast<std::ptrdiff_t>(back));
  hidden.erase(hidden.begin(), hidden.begin() + static_cast<std::ptrdiff_t>(back));
  steps.resize(count, fresh);
}

}  // namespace

std::string NoteName(int32_t note) {
  if (note < 0) return "***";
  return std::string(kNoteNames[static_cast<std::size_t>(note % 12)]) + std::to_string(note / 12);
}

int32_t NoteFromText(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (text.empty()) return -1;
  // C D E F G A B from their letters, as semitones above C.
  constexpr std::array<int32_t, 7> kLetters = {9, 11, 0, 2, 4, 5, 7};
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text.front())));
  if (letter < 'A' || letter > 'G') return -1;
  int32_t note = kLetters[static_cast<std::size_t>(letter - 'A')];
  text.remove_prefix(1);
  if (!text.empty() && text.front() == '#') {
    ++note;
    text.remove_prefix(1);
  }
  // The octave as base-10 digits with a sign; anything after them is ignored.
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int32_t octave = 0;
  while (!text.empty() && text.front() >= '0' && text.front() <= '9') {
    octave = std::min(octave * 10 + (text.front() - '0'), 1000);
    text.remove_prefix(1);
  }
  note += 12 * (negative ? -octave : octave);
  if (note < 0) return -1;
  return note > 126 ? 127 : note;
}

void CPattSeq::SetStepCount(int32_t) {}
int32_t CPattSeq::StepCount(int32_t) const { return 0; }

void CPattSeq::SetTempo(float tempo) {
  if (!std::isfinite(tempo)) return;
  tempo_ = tempo;
  UpdateEngine();
  NotifyParameter(parameter_sequencer::Kind::kBpm);
}

void CPattSeq::SetSongMode(bool song_mode) {
  if (song_mode == song_mode_) return;
  song_mode_ = song_mode;
  UpdateEngine();
  NotifyParameter(parameter_sequencer::Kind::kMode);
  for (const auto& parameter : parameters_) {
    if (parameter->kind() == parameter_sequencer::Kind::kBar) parameter->NotifyEnabled();
  }
}

void CPattSeq::SetCurrentPattern(int32_t pattern) { SelectPattern(pattern, song_mode_); }

void CPattSeq::SelectPattern(int32_t pattern, bool into_song) {
  pattern = std::clamp(pattern, -1, kPatternCount - 1);
  if (pattern == current_pattern_) return;
  const int32_t old = current_pattern_;
  const int32_t old_count = StepCount(old);
  current_pattern_ = pattern;
  // In song mode the panel edits the song: the bar's entry takes it.
  if (into_song) {
    song_[static_cast<std::size_t>(bar_)] = pattern;
    song_stored_ = std::max(song_stored_, bar_ + 1);
  }
  UpdateEngine();
  NotifyParameter(parameter_sequencer::Kind::kPattern);
  if (StepCount(pattern) != old_count) NotifyParameter(parameter_sequencer::Kind::kStepCount);
  OnPatternSelected();
  if (old < 0 || pattern < 0) AnnouncePatternEnabled();
}

void CPattSeq::SetSongEntry(int32_t position, int32_t pattern) {
  if (position < 0 || position >= kSongLength) return;
  song_[static_cast<std::size_t>(position)] = std::clamp(pattern, -1, kPatternCount - 1);
  song_stored_ = std::max(song_stored_, position + 1);
  UpdateEngine();
}

void CPattSeq::SetBar(int32_t bar) {
  bar = std::clamp(bar, 0, kSongLength - 1);
  if (bar == bar_) return;
  bar_ = bar;
  // The pattern follows the entry; a stored entry beyond 31 stays stored.
  SelectPattern(song_[static_cast<std::size_t>(bar)], false);
  NotifyParameter(parameter_sequencer::Kind::kBar);
}

PatternSet CPattSeq::Snapshot() const {
  PatternSet set;
  set.tempo = tempo_;
  set.song_mode = song_mode_;
  set.current_pattern = current_pattern_;
  set.song = song_;
  set.row_notes.fill(-1);
  FillSnapshot(set);
  return set;
}

void CPattSeq::UpdateEngine() {
  channel_->Publish(std::make_unique<const PatternSet>(Snapshot()));
  Notify(Notification(kNotifyContentsChanged, this));
}

void CPattSeq::OnGeneratorAttached(ug_base& generator) {
  auto* sequencer = dynamic_cast<ug_step_sequencer*>(&generator);
  if (sequencer == nullptr) return;
  // An engine starting in song mode starts the song from its beginning.
  if (song_mode_) {
    if (bar_ != 0) {
      bar_ = 0;
      NotifyParameter(parameter_sequencer::Kind::kBar);
    }
    SelectPattern(song_[0], false);
  }
  UpdateEngine();
  sequencer->AttachPatterns(channel_);
}

void CPattSeq::OnRefresh(ug_base& generator) {
  const auto* sequencer = dynamic_cast<const ug_step_sequencer*>(&generator);
  if (sequencer == nullptr) return;
  beat_ = sequencer->BeatLight() != 0 ? 1.0f : 0.0f;
  NotifyParameter(parameter_sequencer::Kind::kBeat);
  if (song_mode_) SetBar(sequencer->SongPosition());
}

void CStepSeq2::SetStep(int32_t index, const SequencerStep& step) {
  if (!ValidPattern(current_pattern_)) return;
  std::vector<SequencerStep>& steps = patterns_[static_cast<std::size_t>(current_pattern_)];
  if (index < 0 || static_cast<std::size_t>(index) >= steps.size()) return;
  steps[static_cast<std::size_t>(index)] = step;
  UpdateEngine();
  if (index == edited_step_) NotifyStepParameters();
}

// Patterns given whole, as a loaded text gives them.
template <class Step>
bool ReplacePattern(std::array<std::vector<Step>, CPattSeq::kPatternCount>& patterns,
                    std::array<std::vector<Step>, CPattSeq::kPatternCount>& hidden, int32_t pattern,
                    std::vector<Step>& steps) {
  if (!ValidPattern(pattern) || steps.empty() ||
      steps.size() > static_cast<std::size_t>(CPattSeq::kMaxSteps)) {
    return false;
  }
  patterns[static_cast<std::size_t>(pattern)] = std::move(steps);
  hidden[static_cast<std::size_t>(pattern)].clear();
  return true;
}

void CStepSeq2::SetPattern(int32_t pattern, std::vector<SequencerStep> steps) {
  if (!ReplacePattern(patterns_, hidden_, pattern, steps)) return;
  UpdateEngine();
  if (pattern == current_pattern_) {
    NotifyParameter(parameter_sequencer::Kind::kStepCount);
    SetEditedStep(edited_step_);
  }
}

void CStepSeq2::SetStepCount(int32_t count) {
  count = std::clamp(count, 1, kMaxSteps);
  if (edited_step_ > count - 1) {
    edited_step_ = count - 1;
    NotifyParameter(parameter_sequencer::Kind::kStepNum);
    NotifyStepParameters();
  }
  if (!ValidPattern(current_pattern_)) return;
  const auto pattern = static_cast<std::size_t>(current_pattern_);
  std::vector<SequencerStep>& steps = patterns_[pattern];
  if (steps.size() == static_cast<std::size_t>(count)) return;
  ResizeSteps(steps, hidden_[pattern], static_cast<std::size_t>(count), SequencerStep{});
  UpdateEngine();
  NotifyParameter(parameter_sequencer::Kind::kStepCount);
}

int32_t CStepSeq2::StepCount(int32_t pattern) const {
  return ValidPattern(pattern) ? static_cast<int32_t>(patterns_[pattern].size()) : 0;
}

void CStepSeq2::ClearPattern() {
  if (!ValidPattern(current_pattern_)) return;
  patterns_[static_cast<std::size_t>(current_pattern_)].assign(16, SequencerStep{});
  hidden_[static_cast<std::size_t>(current_pattern_)].clear();
  UpdateEngine();
  NotifyParameter(parameter_sequencer::Kind::kStepCount);
  SetEditedStep(edited_step_);  // within the 16 steps, and shown again
}

void CStepSeq2::CopyPatternTo(int32_t to) {
  if (!ValidPattern(current_pattern_)) return;
  SetPattern(to, patterns_[static_cast<std::size_t>(current_pattern_)]);
}

void CStepSeq2::SetEditedStep(int32_t index) {
  edited_step_ = std::clamp(index, 0, std::max(StepCount(current_pattern_), 1) - 1);
  NotifyParameter(parameter_sequencer::Kind::kStepNum);
  NotifyStepParameters();
}

SequencerStep CStepSeq2::EditedStep() const {
  if (!ValidPattern(current_pattern_)) return {};
  const std::vector<SequencerStep>& steps = patterns_[static_cast<std::size_t>(current_pattern_)];
  const auto index = static_cast<std::size_t>(edited_step_);
  return index < steps.size() ? steps[index] : SequencerStep{};
}

void CStepSeq2::EditStep(const SequencerStep& step) { SetStep(edited_step_, step); }

void CStepSeq2::OnPatternSelected() {
  edited_step_ = 0;
  NotifyParameter(parameter_sequencer::Kind::kStepNum);
  NotifyStepParameters();
}

void CStepSeq2::NotifyStepParameters() const {
  using Kind = parameter_sequencer::Kind;
  for (Kind kind : {Kind::kNote, Kind::kVelocity, Kind::kModulation, Kind::kSlide}) {
    NotifyParameter(kind);
  }
}

void CStepSeq2::FillSnapshot(PatternSet& set) const {
  set.drums = false;
  for (std::size_t p = 0; p < patterns_.size(); ++p) {
    set.step_counts[p] =
        static_cast<int32_t>(std::min<std::size_t>(patterns_[p].size(), kMaxSteps));
    for (std::size_t s = 0; s < static_cast<std::size_t>(set.step_counts[p]); ++s) {
      const SequencerStep& step = patterns_[p][s];
      set.steps[p][s] = {step.note, step.velocity, step.modulation, step.slide};
    }
  }
}

constinit const std::array<CDrumSeq::Row, 17> CDrumSeq::kRows = {{
    {"AC", "Accent", -1},
    {"BD", "Kick", 35},
    {"SD", "Elec Snare", 38},
    {"LT", "Low tom", 45},
    {"MT", "Mid tom", 47},
    {"HT", "Hi tom", 50},
    {"RS", "Rim shot", 37},
    {"CP", "Clap", 39},
    {"CB", "Cow Bell", 56},
    {"CR", "Crash", 49},
    {"RD", "Ride", 51},
    {"CH", "Closed HH", 42},
    {"OH", "Open HH", 46},
    {"HC", "High Conga", 62},
    {"LC", "Low Conga", 64},
    {"TB", "Tamb", 54},
    {"CL", "Claves", 75},
}};

void CDrumSeq::SetDrum(int32_t index, int32_t row, bool on) {
  if (!ValidPattern(current_pattern_) || row < 0 || row > 16) return;
  std::vector<int32_t>& steps = patterns_[static_cast<std::size_t>(current_pattern_)];
  if (index < 0 || static_cast<std::size_t>(index) >= steps.size()) return;
  const auto bit = static_cast<int32_t>(1u << row);
  int32_t& word = steps[static_cast<std::size_t>(index)];
  const int32_t changed = on ? word | bit : word & ~bit;
  if (changed == word) return;
  word = changed;
  UpdateEngine();
  if (row == selected_row_) NotifyParameter(parameter_sequencer::Kind::kDrumStep);
}

void CDrumSeq::SetPattern(int32_t pattern, std::vector<int32_t> steps) {
  if (!ReplacePattern(patterns_, hidden_, pattern, steps)) return;
  UpdateEngine();
  if (pattern == current_pattern_) {
    NotifyParameter(parameter_sequencer::Kind::kStepCount);
    NotifyParameter(parameter_sequencer::Kind::kDrumStep);
  }
}

void CDrumSeq::CopyPatternTo(int32_t to) {
  if (!ValidPattern(current_pattern_)) return;
  SetPattern(to, patterns_[static_cast<std::size_t>(current_pattern_)]);
}

bool CDrumSeq::Drum(int32_t index, int32_t row) const {
  if (!ValidPattern(current_pattern_) || row < 0 || row > 16) return false;
  const std::vector<int32_t>& steps = patterns_[static_cast<std::size_t>(current_pattern_)];
  if (index < 0 || static_cast<std::size_t>(index) >= steps.size()) return false;
  return (steps[static_cast<std::size_t>(index)] & (1 << row)) != 0;
}

void CDrumSeq::SelectRow(int32_t row) {
  if (row < 0 || row >= static_cast<int32_t>(kRows.size())) return;
  selected_row_ = row;
  // Every row button shows whether it is the one, every step button the
  // new row's bits.
  NotifyParameter(parameter_sequencer::Kind::kDrumRow);
  NotifyParameter(parameter_sequencer::Kind::kDrumStep);
}

void CDrumSeq::SetStepCount(int32_t count) {
  if (!ValidPattern(current_pattern_)) return;
  const auto pattern = static_cast<std::size_t>(current_pattern_);
  std::vector<int32_t>& steps = patterns_[pattern];
  count = std::clamp(count, 1, kMaxSteps);
  if (steps.size() == static_cast<std::size_t>(count)) return;
  ResizeSteps(steps, hidden_[pattern], static_cast<std::size_t>(count), 0);
  UpdateEngine();
  NotifyParameter(parameter_sequencer::Kind::kStepCount);
  NotifyParameter(parameter_sequencer::Kind::kDrumStep);
}

int32_t CDrumSeq::StepCount(int32_t pattern) const {
  return ValidPattern(pattern) ? static_cast<int32_t>(patterns_[pattern].size()) : 0;
}

void CDrumSeq::ClearPattern() {
  if (!ValidPattern(current_pattern_)) return;
  patterns_[static_cast<std::size_t>(current_pattern_)].assign(16, 0);
  hidden_[static_cast<std::size_t>(current_pattern_)].clear();
  UpdateEngine();
  NotifyParameter(parameter_sequencer::Kind::kStepCount);
  NotifyParameter(parameter_sequencer::Kind::kDrumStep);
}

void CDrumSeq::FillSnapshot(PatternSet& set) const {
  set.drums = true;
  for (std::size_t p = 0; p < patterns_.size(); ++p) {
    set.step_counts[p] =
        static_cast<int32_t>(std::min<std::size_t>(patterns_[p].size(), kMaxSteps));
    for (std::size_t s = 0; s < static_cast<std::size_t>(set.step_counts[p]); ++s) {
      set.drum_words[p][s] = static_cast<uint32_t>(patterns_[p][s]);
    }
  }
  // Rows 17 and above have no note: their bits stay stored but play nothing.
  for (std::size_t row = 1; row < kRows.size(); ++row) set.row_notes[row] = kRows[row].note;
}

}  // namespace ov
