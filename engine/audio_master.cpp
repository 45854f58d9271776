#include "engine/audio_master.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <vector>

#include "engine/ug_base.h"
#include "engine/ug_container.h"
#include "platform/clock.h"

namespace ov {
namespace {

// The master whose engine gate this thread holds, if any.
thread_local const OvAudioMaster* gate_holder = nullptr;

}  // namespace

OvAudioMaster::OvAudioMaster(EngineHost& host) : host_(host) { time_info_.tempo = 120.0; }

OvAudioMaster::~OvAudioMaster() = default;

int32_t OvAudioMaster::ChooseEngineBlockSize(int32_t host_block_size) {
  // Cells near 96 samples keep per-slice overhead low without coarse timing;
  // a cell that divides the host block avoids slices shorter than a cell.
  const int32_t n = host_block_size > 0 ? host_block_size : 1024;
  if (n < 96) return n;
  const int32_t quotient = n / 96;
  int32_t size = 96;
  for (int32_t d = quotient; d >= 1; --d) {
    if (n % d == 0) {
      size = n / d;
      break;
    }
  }
  // A cell found well above 96 may give way to a smaller divisor cell, down
  // to 192 minus it (and no smaller than 30).
  const int32_t limit = n / std::max(192 - size, 30);
  for (int32_t d = quotient + 1; d < limit; ++d) {
    if (n % d == 0) {
      size = n / d;
      break;
    }
  }
  return size;
}

void OvAudioMaster::SetSampleRate(float rate) { sample_rate_ = rate; }

void OvAudioMaster::SetEngineBlockSize(int32_t cells) { engine_block_size_ = std::max(cells, 1); }

float OvAudioMaster::SampleRate() const { return sample_rate_; }

int32_t OvAudioMaster::EngineBlockSize() const { return engine_block_size_; }

void OvAudioMaster::Start(ug_base* top) { StartAt(top, 0); }

void OvAudioMaster::StartAtForTesting(ug_base* top, uint32_t sample_time) {
  StartAt(top, sample_time);
}

void OvAudioMaster::StartAt(ug_base* top, uint32_t sample_time) {
  if (running_) Stop();
  sample_clock_ = cell_start_ = slice_end_ = block_start_ = sample_time;
  current_ = nullptr;
  pending_notify_count_ = 0;
  noise_state_ = 0;
  stop_requested_ = false;
  first_losing_ = nullptr;
  lost_events_reported_ = false;
  top_ = top;
  if (top_ != nullptr) {
    std::size_t generators = 0;
    note_voices_.clear();
    top_->VisitTree([&](ug_base& generator) {
      ++generators;
      generator.SetMaster(this);
      if (const auto* container = dynamic_cast<const ug_container*>(&generator);
          container != nullptr && container->voice(0).note_source != nullptr) {
        note_voices_.push_back(container);
      }
      if ((generator.Flags() & UGF_CLONE) != 0) return;  // answers to its model's id
      const uint32_t id = generator.TargetId();
      RegisterTarget(generator, id != 0 ? id : host_.NewTargetId());
    });
    events_.Reserve(std::max(kMinimumEvents, generators * kEventsPerGenerator) + kBurstEvents);
    lanes_.Build(*top_, lane_mode_, engine_block_size_);
    top_->VisitTree([](ug_base& generator) { generator.Open(); });
  }
  events_.SetGrowable(false);
  running_ = true;
}

void OvAudioMaster::Stop() {
  if (!running_) return;
  events_.SetGrowable(true);
  if (top_ != nullptr) {
    std::vector<ug_base*> generators;
    top_->VisitTree([&](ug_base& generator) {
      generator.Close();
      generator.ClearEvents();
      generators.push_back(&generator);
    });
    // Newest identifiers first: each leaves from the end of the map.
    for (auto g = generators.rbegin(); g != generators.rend(); ++g) targets_.Unregister(**g);
  }
  lanes_.Clear();
  // Woken or self-activated generators that Close did not reach.
  while (run_list_head_ != nullptr) Unlink(run_list_head_);
  for (auto target = adopted_.rbegin(); target != adopted_.rend(); ++target) {
    targets_.Unregister(**target);
  }
  adopted_.clear();
  pending_notify_count_ = 0;
  first_losing_ = nullptr;
  top_ = nullptr;
  note_voices_.clear();
  sounding_voices_.store(0, std::memory_order_relaxed);
  running_ = false;
}

bool OvAudioMaster::IsRunning() const { return running_; }

uint32_t OvAudioMaster::SampleClock() const { return sample_clock_; }

bool OvAudioMaster::ClaimGate(GateState holder) {
  uint32_t expected = kGateFree;
  if (!gate_.compare_exchange_strong(expected, holder, std::memory_order_acquire,
                                     std::memory_order_relaxed)) {
    return false;
  }
  gate_holder = this;
  return true;
}

void OvAudioMaster::ReleaseGate() {
  gate_holder = nullptr;
  gate_.store(kGateFree, std::memory_order_release);
}

bool OvAudioMaster::HoldsGate() const { return gate_holder == this; }

bool OvAudioMaster::BeginBlock() {
  if (ClaimGate(kGateAudio)) return true;
  skipped_blocks_.fetch_add(1, std::memory_order_relaxed);
  return false;
}

void OvAudioMaster::RunBlock(int32_t frames) {
  host_processing_ = true;
  ServiceQueues();
  block_start_ = sample_clock_;
  uint32_t cell_end = cell_start_ + static_cast<uint32_t>(engine_block_size_);
  while (frames > 0) {
    int32_t length = static_cast<int32_t>(cell_end - sample_clock_);
    if (length <= 0) {  // at a cell boundary (below 0 only if the size shrank)
      cell_start_ = sample_clock_;
      cell_end = cell_start_ + static_cast<uint32_t>(engine_block_size_);
      length = engine_block_size_;
    }
    length = std::min(length, frames);
    slice_end_ = sample_clock_ + static_cast<uint32_t>(length);
    RunSlice(length);
    sample_clock_ = slice_end_;
    frames -= length;
  }
  ReportLostEvents();
  // Counted while the gate is held: a drain on another thread may change
  // the voices once it is released.
  int32_t sounding = 0;
  for (const VoiceList* voices : note_voices_) sounding += voices->SoundingVoiceCount();
  sounding_voices_.store(sounding, std::memory_order_relaxed);
  ReleaseGate();
}

void OvAudioMaster::RunSlice(int32_t frames) {
  lanes_.BeginSlice();
  const int32_t position = static_cast<int32_t>(sample_clock_ - cell_start_);
  for (ug_base* generator = run_list_head_; generator != nullptr;) {
    current_ = generator;
    const bool in_lanes = generator->lane_group_ != nullptr &&
                          lanes_.RunGroupOf(*generator, sample_clock_, position, frames);
    if (!in_lanes) generator->Process(frames);
    current_ = nullptr;
    // Read after the run: it may have activated or deactivated its successor.
    ug_base* next = generator->next_;
    if (generator->leaving_run_list_) Unlink(generator);
    generator = next;
  }
}

void OvAudioMaster::ServiceQueues() {
  DeliverPendingNotifications();
  if (!messages_pending_.exchange(false)) return;
  const auto find = [this](uint32_t id) { return targets_.Find(id); };
  // Automation first, so the editor's messages of the same block win.
  if (automation_queue_pending_.exchange(false)) automation_queue_.Drain(find);
  if (editor_queue_pending_.exchange(false)) editor_queue_.Drain(find);
  if (host_parameters_pending_.exchange(false)) host_.ApplyQueuedHostParameters();
}

void OvAudioMaster::DeliverPendingNotifications() {
  // Handlers may notify again: those wait for the next block.
  const std::size_t count = pending_notify_count_;
  pending_notify_count_ = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const PendingNotify& note = pending_notify_[i];
    note.generator->ReceiveNotify(note.a, note.b);
  }
}

bool OvAudioMaster::TryDrainHere() {
  if (!ClaimGate(kGateOther)) return false;
  SignalPending(automation_queue_pending_);
  SignalPending(editor_queue_pending_);
  ServiceQueues();
  // Raised by the handlers just run; no block may come soon to deliver them.
  DeliverPendingNotifications();
  ReleaseGate();
  return true;
}

void OvAudioMaster::SignalPending(std::atomic<bool>& queue_pending) {
  queue_pending = true;  // before the summary flag, which the audio thread reads first
  messages_pending_ = true;
}

void OvAudioMaster::Activate(ug_base* generator) {
  if (generator->in_run_list_) {
    generator->leaving_run_list_ = false;  // changed its mind during its slice
    return;
  }
  // Descending sort order; equal orders run in activation order.
  ug_base* before = nullptr;
  for (ug_base* node = run_list_head_;
       node != nullptr && node->sort_order_ >= generator->sort_order_; node = node->next_) {
    before = node;
  }
  ug_base* after = before != nullptr ? before->next_ : run_list_head_;
  generator->previous_ = before;
  generator->next_ = after;
  (before != nullptr ? before->next_ : run_list_head_) = generator;
  if (after != nullptr) after->previous_ = generator;
  generator->in_run_list_ = true;

  // A place earlier in the running slice has passed: start from its end.
  const bool place_passed = current_ != nullptr && generator->sort_order_ > current_->sort_order_;
  generator->CatchUp(place_passed ? slice_end_ : sample_clock_);
}

void OvAudioMaster::Deactivate(ug_base* generator) {
  if (!generator->in_run_list_) return;
  if (generator == current_) {
    // Stays linked until its slice ends, so the loop can still follow it.
    generator->leaving_run_list_ = true;
    return;
  }
  Unlink(generator);
}

void OvAudioMaster::Wake(ug_base* generator) {
  if (!generator->sleeping_) return;
  generator->sleeping_ = false;
  Activate(generator);
}

void OvAudioMaster::Unlink(ug_base* generator) {
  ug_base* before = generator->previous_;
  ug_base* after = generator->next_;
  (before != nullptr ? before->next_ : run_list_head_) = after;
  if (after != nullptr) after->previous_ = before;
  generator->previous_ = generator->next_ = nullptr;
  generator->in_run_list_ = false;
  generator->leaving_run_list_ = false;
}

const vst2::VstTimeInfo* OvAudioMaster::GetTimeInfo(int32_t filter) {
  const vst2::VstTimeInfo* host_info =
      host_.HostTimeInfo(filter | vst2::kVstPpqPosValid | vst2::kVstBarsValid);
  if (host_info == nullptr) return nullptr;
  time_info_ = *host_info;

  // Negative when the cell began in the previous host block.
  const double offset = static_cast<int32_t>(cell_start_ - block_start_);
  time_info_.samplePos += offset;
  const bool can_scale = time_info_.tempo > 0.0 && sample_rate_ > 0.0f;
  if ((filter & vst2::kVstPpqPosValid) != 0 && can_scale) {
    // Work in MIDI clocks (24 per quarter note) so the distance to the next
    // clock comes out directly.
    const double clocks_per_sample = time_info_.tempo * 24.0 / (sample_rate_ * 60.0);
    const double clocks = time_info_.ppqPos * 24.0 + offset * clocks_per_sample;
    time_info_.ppqPos = clocks / 24.0;
    if ((filter & vst2::kVstBarsValid) != 0) time_info_.barStartPos = std::floor(time_info_.ppqPos);
    time_info_.samplesToNextClock =
        static_cast<int32_t>(std::trunc((std::floor(clocks) - clocks) / clocks_per_sample));
    time_info_.flags |= vst2::kVstPpqPosValid;
  }
  return &time_info_;
}

void OvAudioMaster::RegisterTarget(dsp_msg_target& target, uint32_t id) {
  targets_.Register(target, id);
}

void OvAudioMaster::AdoptTarget(std::unique_ptr<dsp_msg_target> target, uint32_t id) {
  RegisterTarget(*target, id);
  adopted_.push_back(std::move(target));
}

bool OvAudioMaster::PostToEditor(uint32_t target_id, uint32_t message_id,
                                 const MessageWriter& payload) {
  return to_editor_ != nullptr && to_editor_->Post(target_id, message_id, payload);
}

bool OvAudioMaster::PostMessageBox(std::string_view title, std::string_view text,
                                   MessageStyle style) {
  text = text.substr(0, kMessageBoxChars);
  if (title.empty()) return PostUserText({text}, style);
  return PostUserText({title, " : ", text}, style);
}

bool OvAudioMaster::PostUserText(std::initializer_list<std::string_view> pieces,
                                 MessageStyle style) {
  MessageWriter payload;
  payload.WriteString(pieces).Write(static_cast<uint32_t>(style));
  return PostToEditor(application_id_, kMsgMbox, payload);
}

void OvAudioMaster::NoteLostEvent(const ug_base& generator) {
  if (first_losing_ == nullptr) first_losing_ = &generator;
}

void OvAudioMaster::ReportLostEvents() {
  const uint32_t lost = events_.Dropped();
  if (lost == 0 || lost_events_reported_) return;
  char count[16];
  const auto written = std::to_chars(count, count + sizeof count, lost);
  std::string_view title;
  if (first_losing_ != nullptr) title = first_losing_->Title();
  // Tried again after the next block while the ring is full.
  lost_events_reported_ =
      PostUserText({title, title.empty() ? "" : " : ", "Too many events at once: ",
                    std::string_view(count, static_cast<std::size_t>(written.ptr - count)),
                    " were lost. Notes or control changes may have been missed."},
                   MessageStyle::kWarning);
}

bool OvAudioMaster::PostFromEditor(uint32_t target_id, uint32_t message_id,
                                   std::span<const std::byte> payload) {
  if (!PostMessage(editor_queue_.Ring(), target_id, message_id, payload)) {
    // The audio thread has stopped draining: take over until it is back.
    host_processing_ = false;
    if (drain_immediately_) TryDrainHere();
    if (!editor_queue_.Post(target_id, message_id, payload)) return false;
  }
  SignalPending(editor_queue_pending_);
  if (!(running_ && host_processing_) && drain_immediately_) TryDrainHere();
  return true;
}

bool OvAudioMaster::PostAutomation(uint32_t target_id, uint32_t message_id,
                                   std::span<const std::byte> payload) {
  if (!automation_queue_.PostSerialised(target_id, message_id, payload)) return false;
  SignalPending(automation_queue_pending_);
  if (!(running_ && host_processing_) && drain_immediately_) TryDrainHere();
  return true;
}

void OvAudioMaster::RaiseHostParametersPending() {
  SignalPending(host_parameters_pending_);
  if (!(running_ && host_processing_) && drain_immediately_) TryDrainHere();
}

bool OvAudioMaster::Notify(ug_base& generator, int32_t a, int32_t b) {
  if (HoldsGate()) {
    if (pending_notify_count_ == pending_notify_.size()) {
      dropped_notifications_.fetch_add(1, std::memory_order_relaxed);
      return false;
    }
    pending_notify_[pending_notify_count_++] = {&generator, a, b};
    return true;
  }
  const ug_base::NotifyMessage message{MillisecondClock(), 0, generator.TargetId(), a, b};
  return PostFromEditor(generator.TargetId(), ug_base::NotifyMessage::kId,
                        std::as_bytes(std::span(&message, 1)));
}

void OvAudioMaster::SetHostProcessing(bool processing) { host_processing_ = processing; }

void OvAudioMaster::SetDrainImmediately(bool drain) { drain_immediately_ = drain; }

}  // namespace ov
