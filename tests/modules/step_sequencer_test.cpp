// The sequencers against exact sample times: ticks without drift, the notes
// of a pattern and of the drum grid, the slide rule, the MIDI In cases
// (transpose, clock sync, stop, song mode), hostile stored values, and the
// panel's parameters with what they tell their watchers.
#include "modules/step_sequencer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "document/sequencer.h"
#include "engine/midi_word.h"
#include "patches/message_hub.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

using midi::Word;

PatternSet Melody(std::vector<PlayedStep> steps, int32_t pattern = 1) {
  PatternSet set;
  set.current_pattern = pattern;
  set.song.fill(-1);
  set.step_counts[1] = static_cast<int32_t>(steps.size());
  std::copy(steps.begin(), steps.end(), set.steps[1].begin());
  return set;
}

// Tick of each event of a bar, with its message.
std::vector<std::pair<int32_t, uint32_t>> Timed(const MidiBar& bar) {
  std::vector<std::pair<int32_t, uint32_t>> timed;
  int32_t tick = 0;
  for (const MidiBarEvent& event : bar.events()) {
    tick += event.delta;
    timed.emplace_back(tick, event.message);
  }
  return timed;
}

struct SequencerRig : ModuleRig {
  ug_step_sequencer& Build(const PatternSet& set, bool midi_clock = false) {
    auto& sequencer = Add(std::make_unique<ug_step_sequencer>());
    midi_in_ = &Feed(*sequencer.plug(ug_step_sequencer::kMidiIn), 30);
    probe_ = &Add(std::make_unique<Probe>(DT_MIDI, 1), 0);
    top.connect(sequencer.plug(ug_step_sequencer::kMidiOut), probe_->plug(0));
    if (midi_clock) Set(sequencer, ug_step_sequencer::kClockSync, "1");
    channel_->Publish(std::make_unique<const PatternSet>(set));
    sequencer.AttachPatterns(channel_);
    return sequencer;
  }
  void RunUntil(uint32_t sample) {
    while (cells * kCell < sample) Step();
  }
  void SendIn(uint32_t word) {
    midi_in_->SendMidi(*midi_in_->plug(0), cells * kCell, word);
    Step();
  }
  // Notes received (clock and start left out).
  std::vector<Probe::Midi> Notes() const {
    std::vector<Probe::Midi> notes;
    for (const Probe::Midi& m : probe_->midi) {
      if (midi::Status(m.message) < midi::kSystem) notes.push_back(m);
    }
    return notes;
  }

  std::shared_ptr<PatternChannel> channel_ = std::make_shared<PatternChannel>();
  Source* midi_in_ = nullptr;
  Probe* probe_ = nullptr;
};

class StepSequencerTest : public ::testing::Test, public SequencerRig {};

TEST_F(StepSequencerTest, TicksAndNotesFallOnTheirExactSamplesForEightBars) {
  CStepSeq2 document;  // 16 steps of note 48, velocity 100
  Build(document.Snapshot());
  Start();
  constexpr int32_t kTicks = 8 * 96;
  RunUntil(static_cast<uint32_t>(std::floor(kTicks * 918.75)) + 1);
  std::vector<uint32_t> clocks;
  for (const Probe::Midi& m : probe_->midi) {
    if (m.message == 0xF8) clocks.push_back(m.clock);
  }
  ASSERT_GE(clocks.size(), static_cast<std::size_t>(kTicks));
  for (int32_t k = 0; k < kTicks; ++k) {
    ASSERT_EQ(clocks[k], static_cast<uint32_t>(std::floor(k * 918.75))) << "tick " << k;
  }
  EXPECT_EQ(probe_->midi.front().message, 0xFAu);
  // Each bar: the modulation at 0, then per step a note-on and its note-off
  // five ticks later.
  const std::vector<Probe::Midi> notes = Notes();
  ASSERT_GE(notes.size(), 33u);
  EXPECT_EQ(notes[0].message, Word(0xB0, 1, 0));
  for (int32_t s = 0; s < 16; ++s) {
    const Probe::Midi& on = notes[1 + 2 * s];
    const Probe::Midi& off = notes[2 + 2 * s];
    EXPECT_EQ(on.message, Word(0x90, 48, 100));
    EXPECT_EQ(on.clock, static_cast<uint32_t>(std::floor(6 * s * 918.75)));
    EXPECT_EQ(off.message, Word(0x80, 48, 100));
    EXPECT_EQ(off.clock, static_cast<uint32_t>(std::floor((6 * s + 5) * 918.75)));
  }
}

TEST(SequencerFill, BarsFollowTheSlideRuleTheDrumGridAndKeepStoredValuesInRange) {
  const PlayedStep a{50, 100, 0, true}, a_plain{50, 100, 0, false};
  struct Case {
    const char* name;
    PatternSet set;
    int32_t pattern;
    int32_t length;
    std::vector<std::pair<int32_t, uint32_t>> events;
  };
  CDrumSeq drums;
  PatternSet wild_drums = drums.Snapshot();
  wild_drums.drum_words[1][0] = (1u << 20) | (1u << 31) | (1u << 1) | 1u;  // rows without notes
  wild_drums.step_counts[1] = 1;
  std::vector<std::pair<int32_t, uint32_t>> grid;
  const uint32_t kick = 35, snare = 38, open_hat = 46;
  for (int32_t step : {0, 2, 4, 6, 8, 10, 12, 14}) {
    std::vector<uint32_t> notes;
    if (step % 8 == 0 || step % 8 == 4) notes.push_back(kick);
    if (step % 8 == 4) notes.push_back(snare);
    if (step % 4 == 2) notes.push_back(open_hat);
    for (uint32_t n : notes) grid.emplace_back(6 * step, Word(0x90, n, 90));
    for (uint32_t n : notes) grid.emplace_back(6 * step + 1, Word(0x80, n, 90));
  }
  PatternSet accented = drums.Snapshot();
  accented.drum_words[1][0] |= 1u;
  accented.step_counts[1] = 1;
  const Case cases[] = {
      {"two slides then a plain step: one note, then the same note again",
       Melody({a, a, a_plain, a_plain}),
       1,
       24,
       {{0, Word(0xB0, 1, 0)},
        {0, Word(0x90, 50, 100)},
        {17, Word(0x80, 50, 100)},
        {18, Word(0x90, 50, 100)},
        {23, Word(0x80, 50, 100)}}},
      {"a slide into another note and a last held note",
       Melody({a, {52, 80, 0, true}}),
       1,
       13,
       {{0, Word(0xB0, 1, 0)},
        {0, Word(0x90, 50, 100)},
        {6, Word(0x90, 52, 80)},
        {6, Word(0x80, 50, 100)},
        {13, Word(0x80, 52, 80)}}},
      {"stored note 200, velocity -5, modulation 300 stay MIDI bytes",
       Melody({{200, -5, 300, false}, {-1, 0, 300, false}}),
       1,
       12,
       {{0, Word(0xB0, 1, 127)}, {0, Word(0x90, 127, 0)}, {5, Word(0x80, 127, 0)}}},
      {"pattern 40 plays the empty bar", Melody({a_plain}), 40, 6, {}},
      {"a negative pattern plays the empty bar", Melody({a_plain}), -1, 6, {}},
      {"the default drum grid", drums.Snapshot(), 1, 96, grid},
      {"an accented kick; rows without notes play nothing",
       wild_drums,
       1,
       6,
       {{0, Word(0x90, kick, 110)}, {1, Word(0x80, kick, 110)}}},
      {"accent is 110", accented, 1, 6, {{0, Word(0x90, kick, 110)}, {1, Word(0x80, kick, 110)}}},
  };
  for (const Case& c : cases) {
    MidiBar bar;
    bar.Reserve();
    bar.Clear();
    c.set.FillBar(c.pattern, bar);
    EXPECT_EQ(bar.length, c.length) << c.name;
    EXPECT_EQ(Timed(bar), c.events) << c.name;
  }
}

TEST(StepSequencer, MidiInTransposesSyncsAndStops) {
  // A single held note per bar (one 6-tick step), so each case is short.
  struct Case {
    const char* name;
    bool midi_clock;
    bool song;
    std::vector<uint32_t> input;  // one per cell
    std::vector<uint32_t> expected;
  };
  const uint32_t on60 = Word(0x90, 60, 100), off60 = Word(0x80, 60, 100);
  const uint32_t on62 = Word(0x90, 62, 100), off62 = Word(0x80, 62, 100);
  std::vector<uint32_t> many_clocks(40, 0xF8);
  std::vector<uint32_t> started = {0xFA};
  started.insert(started.end(), 6, 0xF8);
  const Case cases[] = {
      {"clocks before Start do nothing", true, false, many_clocks, {}},
      {"Start, then clocks play the bar", true, false, started, {0xFA, on60, off60}},
      {"Stop silences the sounding note",
       true,
       false,
       {0xFA, 0xF8, 0xF8, 0xFC},
       {0xFA, on60, 0xFC, Word(0x80, 60, 0)}},
      {"a note-on of 62 moves later notes by 2; the sounding one ends as it began",
       true,
       false,
       {0xFA, 0xF8, on62, 0xF8, 0xF8, 0xF8, 0xF8, 0xF8, 0xF8, 0xF8, 0xF8, 0xF8, 0xF8, 0xF8},
       {0xFA, on60, off60, on62, off62}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SequencerRig rig;
    PatternSet set = Melody({{60, 100, 0, false}});
    set.step_counts[1] = 1;
    rig.Build(set, c.midi_clock);
    rig.Start();
    for (uint32_t word : c.input) rig.SendIn(word);
    std::vector<uint32_t> got;
    for (const Probe::Midi& m : rig.probe_->midi) {
      if (m.message != 0xF8 && midi::Command(m.message) != 0xB0) got.push_back(m.message);
    }
    EXPECT_EQ(got, c.expected);
  }
}

TEST_F(StepSequencerTest, SongModePlaysTheListFromEntryOneAndThenTheCurrentPattern) {
  PatternSet set;
  set.song_mode = true;
  set.current_pattern = 3;
  set.song.fill(7);  // no negative entry: the song ends after entry 99
  set.song[0] = 2;
  set.song[1] = 2;
  set.song[2] = 4;
  set.song[3] = -1;
  for (int32_t p : {2, 3, 4}) {
    set.step_counts[p] = 1;
    set.steps[p][0] = {40 + p, 100, 0, false};
  }
  auto& sequencer = Build(set, true);
  Start();
  SendIn(0xFA);
  for (int32_t i = 0; i < 6 * 5; ++i) SendIn(0xF8);
  std::vector<int32_t> keys;
  for (const Probe::Midi& m : Notes()) {
    if (midi::Command(m.message) == 0x90) keys.push_back(midi::Data1(m.message));
  }
  // Entry 1, entry 2, the ending bar, then the current pattern for good.
  EXPECT_EQ(keys, (std::vector<int32_t>{42, 44, 43, 43}));
  EXPECT_EQ(sequencer.SongPosition(), 3);

  PatternSet endless;
  endless.song_mode = true;
  endless.song.fill(0);
  MidiBar bar;
  bar.Reserve();
  endless.FillBar(endless.song[99], bar);  // the list is read only below 100
  EXPECT_EQ(bar.length, 6);
}

TEST(SequencerDocument, NoteTextsTempoAndStepEditsReachTheSnapshot) {
  const std::pair<const char*, int32_t> notes[] = {
      {"C4", 48}, {"c#4", 49}, {" A3", 45},           {"H2", -1}, {"C-1", -1}, {"G10", 127},
      {"B", 11},  {"", -1},    {"D99999999999", 127},
  };
  for (const auto& [text, note] : notes) EXPECT_EQ(NoteFromText(text), note) << text;
  EXPECT_EQ(NoteName(48), "C4");
  EXPECT_EQ(NoteName(49), "C#4");
  EXPECT_EQ(NoteName(-1), "***");

  CStepSeq2 steps;
  const struct {
    float tempo;
    float samples_per_tick;
  } tempos[] = {{120.0f, 918.75f}, {0.0f, 110250.0f}, {1000.0f, 367.5f}};
  for (const auto& t : tempos) {
    steps.SetTempo(t.tempo);
    EXPECT_FLOAT_EQ(steps.channel()->Newest()->SamplesPerTick(44100.0f), t.samples_per_tick);
  }
  steps.SetStep(3, {60, 90, 5, 1, true});
  steps.SetStep(40, {61, 90, 5, 1, true});  // outside the pattern: nothing
  steps.SetStepCount(50);
  const PatternSet* newest = steps.channel()->Newest();
  EXPECT_EQ(newest->steps[1][3].note, 60);
  EXPECT_TRUE(newest->steps[1][3].slide);
  EXPECT_EQ(newest->step_counts[1], 32);
  steps.SetStepCount(2);
  steps.SetStepCount(32);  // the steps a shorter count hid come back
  EXPECT_EQ(steps.patterns()[1][3].note, 60);
  steps.SetCurrentPattern(-1);
  steps.SetStepCount(4);  // no pattern selected: nothing changes
  EXPECT_EQ(steps.StepCount(1), 32);
  steps.SetCurrentPattern(1);
  steps.ClearPattern();
  EXPECT_EQ(steps.StepCount(1), 16);
  EXPECT_EQ(steps.patterns()[1][3].note, 48);
  // Only the newest snapshot is kept when nobody reads.
  EXPECT_EQ(steps.channel()->Kept(), 1u);
}

// Hears every panel parameter of a sequencer: "name code" per notification.
struct ParameterEars : Notifiable {
  explicit ParameterEars(const CPattSeq& sequencer) {
    for (const auto& parameter : sequencer.panel_parameters()) {
      parameter->Watchers().AddListener(this);
      watched.push_back(parameter.get());
    }
  }
  ~ParameterEars() {
    for (generic_parameter* parameter : watched) parameter->Watchers().RemoveListener(this);
  }
  void OnNotify(const Notification& n) override {
    const auto* parameter =
        static_cast<const generic_parameter*>(static_cast<const parameter_sequencer*>(n.subject));
    heard.push_back(parameter->Name() + " " + std::to_string(n.code));
  }
  bool Heard(const std::string& what) const {
    return std::find(heard.begin(), heard.end(), what) != heard.end();
  }
  std::vector<generic_parameter*> watched;
  std::vector<std::string> heard;
};

TEST(SequencerPanel, ParametersEditThroughTheSelectionAndTellTheirWatchers) {
  CStepSeq2 steps;
  CDrumSeq drums;
  std::vector<std::string> names;
  for (const auto& parameter : steps.panel_parameters()) names.push_back(parameter->Name());
  EXPECT_EQ(names,
            (std::vector<std::string>{"BPM", "StepCount", "Bar", "Pattern", "Mode", "Beat",
                                      "StepNum", "Note", "Velocity", "Modulation", "Slide"}));
  EXPECT_EQ(drums.panel_parameters().size(), 6u + 16u + 17u);
  EXPECT_EQ(drums.PanelParameter("BB", 2)->Label(), "SD");
  EXPECT_EQ(drums.PanelParameter("DB", 16), nullptr);

  constexpr float kText = -1.0f;  // write the text, not a normalised value
  struct Case {
    CPattSeq* sequencer;
    const char* name;
    int32_t nth;
    const char* text;
    float normalised;
    const char* shown;  // parameter "name" then its value text afterwards
    const char* expect;
    const char* heard;  // "name code" that must have been heard, or null
    bool note_enabled;
  };
  steps.SetSongEntry(3, 7);
  const Case cases[] = {
      {&steps, "StepNum", 0, "5", kText, "StepNum", "5", "Note 31", true},
      {&steps, "Note", 0, " c#4", kText, "Note", "C#4", "Note 31", true},
      {&steps, "Velocity", 0, "300", kText, "Velocity", "127", "Velocity 31", true},
      {&steps, "Modulation", 0, "12.9", kText, "Modulation", "12", "Modulation 31", true},
      {&steps, "Slide", 0, "", 1.0f, "Slide", "1", "Slide 31", true},
      {&steps, "Slide", 0, "0", kText, "Slide", "1", nullptr, true},  // not typed
      {&steps, "StepCount", 0, "4", kText, "StepNum", "3", "StepNum 31", true},
      {&steps, "Pattern", 0, "-1", kText, "StepCount", "0", "Note 38", false},
      {&steps, "Velocity", 0, "10", kText, "Velocity", "100", "Velocity 31", false},
      {&steps, "StepCount", 0, "9", kText, "StepCount", "0", nullptr, false},
      {&steps, "Pattern", 0, "50", kText, "Pattern", "31", "StepCount 38", true},
      {&steps, "Mode", 0, "", 1.0f, "Mode", "1", "Bar 38", true},
      {&steps, "Bar", 0, "3", kText, "Pattern", "7", "Bar 31", true},
      {&steps, "Pattern", 0, "2", kText, "Bar", "3", "Pattern 31", true},
      {&steps, "BPM", 0, "", 1000.0f, "BPM", "300.0", "BPM 31", true},
      {&steps, "Beat", 0, "1", 1.0f, "Beat", "", nullptr, true},
      {&drums, "BB", 2, "", 1.0f, "DB", "0", "DB 31", true},  // step 0 has no snare
      {&drums, "DB", 0, "", 1.0f, "DB", "1", "DB 31", true},
      {&drums, "BB", 2, "", 1.0f, "BB", "0", "BB 31", true},  // row 0 is not selected
  };
  for (const Case& c : cases) {
    ParameterEars ears(*c.sequencer);
    parameter_sequencer* parameter = c.sequencer->PanelParameter(c.name, c.nth);
    ASSERT_NE(parameter, nullptr) << c.name;
    if (c.normalised == kText) {
      parameter->WriteValueText(c.text);
    } else {
      parameter->SetNormalised(c.normalised);
    }
    const std::string what = std::string(c.name) + " " + c.text;
    EXPECT_EQ(c.sequencer->PanelParameter(c.shown)->ValueText(), c.expect) << what;
    if (c.heard != nullptr) {
      EXPECT_TRUE(ears.Heard(c.heard)) << what << ": " << c.heard;
    }
    if (c.sequencer == &steps) {
      EXPECT_EQ(steps.PanelParameter("Note")->Enabled(), c.note_enabled) << what;
    }
  }
  const PatternSet* played = steps.channel()->Newest();
  EXPECT_EQ(played->step_counts[1], 4);
  EXPECT_EQ(played->song[3], 2);
  EXPECT_FLOAT_EQ(steps.PanelParameter("BPM")->GetNormalised(), 300.0f);
  EXPECT_EQ(drums.channel()->Newest()->drum_words[1][0], (1u << 1) | (1u << 2));
  drums.CopyPatternTo(7);  // the panel's "Copy"
  EXPECT_EQ(drums.patterns()[7], drums.patterns()[1]);
}

TEST_F(StepSequencerTest, AnEngineInSongModeStartsTheSongAndRefreshesFollowIt) {
  CStepSeq2 steps;
  steps.SetSongMode(true);
  for (int32_t position = 0; position < 4; ++position) steps.SetSongEntry(position, 4 + position);
  steps.SetBar(2);
  ASSERT_EQ(steps.current_pattern(), 6);
  MessageHub hub(host);
  hub.AttachEngine(&master);
  auto& sequencer = Add(std::make_unique<ug_step_sequencer>());
  master.RegisterTarget(sequencer, 70);
  ParameterEars ears(steps);
  hub.AttachModule(steps, sequencer);
  EXPECT_EQ(steps.bar(), 0);
  EXPECT_EQ(steps.current_pattern(), 4);
  EXPECT_EQ(steps.song()[0], 4);
  Start();
  // Into the third bar (entries 1, 2, 3 of 16 steps at 120 beats per minute).
  RunUntil(static_cast<uint32_t>(2 * 96 * 918.75) + kCell);
  hub.Idle();
  EXPECT_EQ(steps.bar(), 3);
  EXPECT_EQ(steps.current_pattern(), 7);
  EXPECT_TRUE(ears.Heard("Bar 31"));
  EXPECT_TRUE(ears.Heard("Beat 31"));
  master.Stop();
  hub.AttachEngine(nullptr);
}

}  // namespace
}  // namespace ov::test
