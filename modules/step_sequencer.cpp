#include "modules/step_sequencer.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/midi_word.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

constexpr uint32_t kClock = 0xF8;
constexpr uint32_t kStart = 0xFA;
constexpr uint32_t kContinue = 0xFB;
constexpr uint32_t kStop = 0xFC;
constexpr int32_t kBeatTicks = 48;
constexpr int32_t kBeatLightTicks = 12;
constexpr int32_t kBeatOn = 100;

uint32_t Key(int32_t key) { return static_cast<uint32_t>(std::clamp(key, 0, 127)); }

}  // namespace

ug_step_sequencer::ug_step_sequencer() : ug_midi_device(kMidiIn, kChannel) {
  note_record_.fill(kNoNote);
}

std::unique_ptr<ug_base> ug_step_sequencer::CreateInstance() const {
  return std::make_unique<ug_step_sequencer>();
}

void ug_step_sequencer::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kStepSequencerPlugs, {channel_, {}, ignore_program_change_, {}, clock_sync_},
              descriptors);
}

void ug_step_sequencer::AttachPatterns(std::shared_ptr<PatternChannel> channel) {
  patterns_.Attach(std::move(channel));
}

void ug_step_sequencer::TakePatterns() {
  // A pattern that changes plays from the next bar; the tempo at once.
  if (!patterns_.Refresh()) return;
  refill_ = true;
  if (const PatternSet* set = patterns_.get()) {
    samples_per_tick_ = set->SamplesPerTick(Master()->SampleRate());
  }
}

void ug_step_sequencer::Open() {
  ug_midi_device::Open();
  for (MidiBar& bar : bars_) {
    bar.Reserve();
    bar.Clear();
  }
  // 120 beats per minute until the document says otherwise.
  samples_per_tick_ = std::max(Master()->SampleRate() * 0.020833334f, 1.0f);
  fraction_ = 0.0f;
  patterns_.Release();
  TakePatterns();
  cursors_ = {};
  current_cursor_ = &cursors_[0];
  current_bar_ = &bars_[0];
  tick_count_ = 0;
  running_ = false;
  transpose_ = 0;
  note_record_.fill(kNoNote);
  song_position_.store(0, std::memory_order_relaxed);
  song_ended_ = false;
  beat_light_.store(0, std::memory_order_relaxed);
  tick_scheduled_ = false;
  StartBar();
  if (Internal()) {
    ScheduleTick(Clock());
    Send(kStart);
  }
}

void ug_step_sequencer::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  ug_midi_device::OnStatusChange(time, link, state);
  // Switched to the internal clock while running: the ticks start again.
  if (Internal() && !tick_scheduled_) ScheduleTick(Clock());
}

void ug_step_sequencer::ScheduleTick(uint32_t time) {
  tick_scheduled_ = true;
  if (QueueRunFunction(time, &ug_step_sequencer::TickEvent)) return;
  // No event record free: try again at every block.
  retry_time_ = time;
  SetProcessFunction(&ug_step_sequencer::RetrySchedule);
}

void ug_step_sequencer::RetrySchedule(int32_t, int32_t) {
  const uint32_t time = TimeBefore(retry_time_, Clock()) ? Clock() : retry_time_;
  if (!QueueRunFunction(time, &ug_step_sequencer::TickEvent)) return;
  SetProcessFunction(&ug_step_sequencer::SleepWhenIdle);
}

void ug_step_sequencer::TickEvent(ug_base& generator) {
  auto& self = static_cast<ug_step_sequencer&>(generator);
  self.tick_scheduled_ = false;
  if (!self.Internal()) return;
  self.Tick();
  const float due = self.samples_per_tick_ + self.fraction_;
  const float whole = std::trunc(due);
  self.fraction_ = due - whole;
  self.ScheduleTick(self.Clock() + static_cast<uint32_t>(whole));
}

void ug_step_sequencer::Tick() {
  TakePatterns();
  Send(kClock);
  Advance(cursors_[1]);
  Advance(cursors_[0]);
  const int32_t beat = tick_count_ % kBeatTicks;
  if (beat == 0 || beat == kBeatLightTicks) {
    const int32_t light = beat == 0 ? kBeatOn : 0;
    if (beat_light_.exchange(light, std::memory_order_relaxed) != light) RequestRefresh();
  }
  if (++tick_count_ >= current_bar_->length) StartBar();
}

void ug_step_sequencer::Advance(Cursor& cursor) {
  while (cursor.Active()) {
    const MidiBarEvent& event = cursor.bar->events()[cursor.event];
    if (cursor.waited < event.delta) {
      ++cursor.waited;
      return;
    }
    ++cursor.event;
    cursor.waited = 0;
    Send(event.message);
  }
}

void ug_step_sequencer::StartBar() {
  tick_count_ = 0;
  const PatternSet* set = patterns_.get();
  int32_t pattern = set != nullptr ? set->current_pattern : -1;
  if (set != nullptr && set->song_mode && !song_ended_) {
    const int32_t position = song_position_.load(std::memory_order_relaxed) + 1;
    song_position_.store(position, std::memory_order_relaxed);
    pattern = position < kSequencerSongLength ? set->song[position] : -1;
    if (pattern < 0) {
      song_ended_ = true;
      refill_ = false;
      pattern = -1;
    }
  }
  current_cursor_ = cursors_[0].Active() ? &cursors_[1] : &cursors_[0];
  if (current_bar_->pattern != pattern || refill_) {
    current_bar_ = current_bar_ == &bars_[0] ? &bars_[1] : &bars_[0];
    if (current_bar_->pattern != pattern || refill_) {
      // The other cursor may still be playing this buffer's old bar.
      Cursor& other = current_cursor_ == &cursors_[0] ? cursors_[1] : cursors_[0];
      if (other.bar == current_bar_) other = {};
      current_bar_->Clear();
      if (set != nullptr) set->FillBar(pattern, *current_bar_);
      current_bar_->pattern = pattern;
      refill_ = false;
    }
  }
  *current_cursor_ = {current_bar_, 0, 0};
  RequestRefresh();
}

void ug_step_sequencer::Send(uint32_t message) {
  const uint32_t status = midi::Status(message);
  if (status < midi::kSystem) {
    const uint32_t command = midi::Command(message);
    const int32_t key = midi::Data1(message) & 0x7F;
    uint32_t data1 = static_cast<uint32_t>(key);
    if (command == midi::kNoteOn) {
      note_record_[key] = transpose_;
      data1 = Key(key + transpose_);
    } else if (command == midi::kNoteOff) {
      const int32_t recorded = note_record_[key] == kNoNote ? transpose_ : note_record_[key];
      data1 = Key(key + recorded);
      note_record_[key] = kNoNote;
    }
    message =
        midi::Word(command | ChannelBits(), data1, static_cast<uint32_t>(midi::Data2(message)));
  }
  SendMidi(*plug(kMidiOut), Clock(), message);
}

void ug_step_sequencer::StopAllNotes() {
  for (int32_t key = 0; key < 128; ++key) {
    if (note_record_[key] == kNoNote) continue;
    SendMidi(*plug(kMidiOut), Clock(),
             midi::Word(midi::kNoteOff | ChannelBits(), Key(key + note_record_[key]), 0));
    note_record_[key] = kNoNote;
  }
}

void ug_step_sequencer::OnMidi(uint32_t, uint32_t word) {
  const uint32_t status = midi::Status(word);
  if (midi::Command(word) == midi::kNoteOn && status < midi::kSystem && midi::Data2(word) > 0) {
    transpose_ = midi::Data1(word) - 60;
    return;
  }
  if (Internal()) return;
  switch (status) {
    case kClock:
      if (running_) Tick();
      break;
    case kStart:
      running_ = true;
      StopAllNotes();
      current_cursor_->event = 0;
      current_cursor_->waited = 0;
      tick_count_ = 0;
      Send(kStart);
      break;
    case kContinue:
      running_ = true;
      Send(kContinue);
      break;
    case kStop:
      running_ = false;
      Send(kStop);
      StopAllNotes();
      break;
    default:
      break;
  }
}

}  // namespace ov
