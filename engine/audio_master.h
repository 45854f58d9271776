// The engine's clock and scheduler. Owns the sample clock, cuts host blocks
// into slices on a fixed grid of engine-block cells, and runs the active
// generators over each slice in descending sort order.
//
// Threads: Process, ServiceQueues and every generator-facing call run on the
// audio thread while the host is processing; on the editor thread only while
// no process call can run (engine start and stop, or host processing off).
// The engine gate makes that exclusion explicit: a process call and a drain on
// another thread each claim it without waiting, and whoever finds it taken
// backs off (the process call renders nothing, the drain leaves the messages
// to the next block).
//
// Sample times are uint32_t and wrap after 2^32 samples (about 12 hours at
// 96 kHz); compare two of them only as (int32_t)(a - b).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "engine/byte_ring.h"
#include "engine/engine_host.h"
#include "engine/event_pool.h"
#include "engine/message_queue.h"
#include "engine/voice_lanes.h"
#include "platform/message_sink.h"
#include "platform/vst2.h"

namespace ov {

// The payload: queue string, 32-bit message style.
inline constexpr uint32_t kMsgMbox = MessageId("mbox");
// To a module's editor side: no payload; refresh the panel part.
inline constexpr uint32_t kMsgRefresh = MessageId("refr");
// To a module's editor side: a queue string, one line for its terminal.
inline constexpr uint32_t kMsgPrint = MessageId("prnt");
// To the application: start a program. The payload: queue string, the
// command line.
inline constexpr uint32_t kMsgRunCommand = MessageId("exec");

class ug_base;
class VoiceList;

class OvAudioMaster {
 public:
  explicit OvAudioMaster(EngineHost& host);
  ~OvAudioMaster();
  OvAudioMaster(const OvAudioMaster&) = delete;
  OvAudioMaster& operator=(const OvAudioMaster&) = delete;

  // The cell length for a host block size (never 0: a host block size of 0 or
  // less gives the cell length for 1024).
  static int32_t ChooseEngineBlockSize(int32_t host_block_size);

  // Engine set-up, before Start. Editor thread. These belong to each master,
  // not the process: two instances in one host may differ. A block size
  // below 1 counts as 1.
  void SetSampleRate(float rate);
  void SetEngineBlockSize(int32_t cells);
  float SampleRate() const;
  int32_t EngineBlockSize() const;
  // Whether voice copies run in lanes, and which build (DefaultLaneMode()
  // unless set); takes effect at the next start.
  void SetLaneMode(LaneMode mode) { lane_mode_ = mode; }
  LaneMode GetLaneMode() const { return lane_mode_; }

  // Resets clocks and flags, makes this the master of every generator in the
  // tree under `top` and registers each but voice copies as a message target
  // (taking a fresh identifier for any that has none), sizes the event pool,
  // then opens every generator (which puts it on the run list). Null top is
  // an empty engine that renders nothing. Editor thread, audio stopped.
  void Start(ug_base* top);
  // Start with the sample clock at `sample_time` rather than 0, so tests can
  // cross the 32-bit wrap without running for twelve hours.
  void StartAtForTesting(ug_base* top, uint32_t sample_time);
  // Closes every generator, drops their pending events, takes every
  // generator off the run list and unregisters them. Editor thread, audio
  // stopped.
  void Stop();
  // Any thread.
  bool IsRunning() const;
  // A generator asks for the engine to stop (a recorder whose time is up).
  // The host owns start and stop in the plug-in, so a request stops nothing
  // by itself: whoever drives the engine may look at it; the requesting
  // generator ends its own work. Cleared at start. Any thread.
  void RequestStop() { stop_requested_.store(true, std::memory_order_relaxed); }
  bool StopRequested() const { return stop_requested_.load(std::memory_order_relaxed); }

  // One host block of `frames` samples. Audio thread. False, rendering
  // nothing, when another thread is draining the engine's queues just then.
  // `at_block_start` runs first, holding the engine as the block does: what
  // the host hands in (its MIDI) may go into the generators there, and
  // nowhere else.
  template <typename AtBlockStart>
  bool Process(int32_t frames, AtBlockStart&& at_block_start) {
    if (!BeginBlock()) return false;
    at_block_start();
    RunBlock(frames);
    return true;
  }
  bool Process(int32_t frames) {
    return Process(frames, [] {});
  }
  // Drains pending queue messages and the engine's own notifications; the
  // first step of Process. The thread holding the engine gate.
  void ServiceQueues();

  // Sample time of the start of the current slice, of the start of the
  // current engine-block cell, and just after the current slice. Audio thread.
  uint32_t SampleClock() const;
  uint32_t CellStart() const { return cell_start_; }

  // The noise generator state that every oscillator of this engine draws
  // from, so no two plug-in instances share one; 0 again at each start.
  // Audio thread.
  uint32_t& NoiseState() { return noise_state_; }
  uint32_t SliceEnd() const { return slice_end_; }

  // The application that owns this engine. Any thread; its methods say which
  // thread may call them.
  EngineHost& Host() const { return host_; }
  // Event records for every generator of this engine. The pool grows only
  // while the engine is stopped; while it runs an exhausted pool drops
  // events (counted). Threads: as EventPool.
  EventPool& Events() { return events_; }

  // The run list. Audio thread, or editor thread while audio is stopped.
  // Activating a listed generator and deactivating an unlisted one do
  // nothing; a generator may deactivate itself or others while it runs.
  void Activate(ug_base* generator);
  void Deactivate(ug_base* generator);
  // Activates a sleeping generator; nothing otherwise.
  void Wake(ug_base* generator);

  // The host's time information as seen from the start of the current cell,
  // or null when the host gives none. Valid until the next call. Audio thread.
  const vst2::VstTimeInfo* GetTimeInfo(int32_t filter);

  // Editor thread, audio stopped: see MessageTargetMap::Register.
  void RegisterTarget(dsp_msg_target& target, uint32_t id);
  // Registers a target the engine keeps until it stops (the engine sides of
  // patch managers). Editor thread, audio stopped.
  void AdoptTarget(std::unique_ptr<dsp_msg_target> target, uint32_t id);
  // The registered target, or null. The thread holding the engine gate.
  dsp_msg_target* FindTarget(uint32_t id) const { return targets_.Find(id); }

  // The ring the engine writes to the editor side through, owned by the
  // application, and the application's own handle there (where "mbox" goes);
  // null for none. Set while audio is stopped, editor thread.
  void SetEditorBoundQueue(MessageQueue* queue, uint32_t application_id = 0) {
    to_editor_ = queue;
    application_id_ = application_id;
  }
  // Engine side (the thread holding the engine gate): a message to the editor
  // side. False, dropping it whole (counted by the queue), when the ring is
  // full or there is none.
  bool PostToEditor(uint32_t target_id, uint32_t message_id, const MessageWriter& payload);
  // A message for the user, shown as "<title> : <text>" (just the text
  // without a title) at the application's next idle: "mbox" to the
  // application. Allocates nothing; a text too long for one message is cut.
  // False when the ring had no room. The thread holding the engine gate.
  bool PostMessageBox(std::string_view title, std::string_view text,
                      MessageStyle style = MessageStyle::kWarning);
  // A request for the application itself (for example "exec"), at its next
  // idle. False when the ring had no room or there is none. The thread
  // holding the engine gate.
  bool PostToApplication(uint32_t message_id, const MessageWriter& payload) {
    return PostToEditor(application_id_, message_id, payload);
  }
  // A generator's event was lost to an exhausted pool. The first one's
  // title goes into the report, made once per engine run after the block.
  // Audio thread.
  void NoteLostEvent(const ug_base& generator);

  // Posting to the engine. Editor messages from the editor thread only;
  // automation from any threads but the audio thread (its writers take
  // turns). While the host processes, the audio thread drains the queue at
  // its next block; otherwise the posting thread drains it at once when it
  // can claim the engine gate (and drain immediately is on), else the next
  // block does. A full editor queue means the audio thread has stopped
  // draining: the poster then drains it itself, if it can claim the gate, and
  // tries once more. False, the message dropped whole and counted, when it
  // still does not fit.
  bool PostFromEditor(uint32_t target_id, uint32_t message_id, std::span<const std::byte> payload);
  bool PostAutomation(uint32_t target_id, uint32_t message_id, std::span<const std::byte> payload);
  // A host parameter set from a foreign thread waits in its wrapper: the
  // next block start (or a drain here, as for automation) has the host
  // apply it, after the automation queue and the editor queue. Any thread
  // but the audio thread; call after the waiting value is written.
  void RaiseHostParametersPending();
  // Sends (a, b) to the generator's OnNotify: at once while the engine is
  // stopped, otherwise at the sample clock its message is drained at. From
  // the editor thread it travels through the editor queue; from the thread
  // holding the engine gate (the engine notifying itself) through an
  // engine-internal list delivered at the next block start (or at the end of
  // a drain off the audio thread), since that thread may not write the
  // editor's queue. Editor thread or gate holder.
  bool Notify(ug_base& generator, int32_t a, int32_t b);

  // Whether the host is inside its process calls. Every process call sets it
  // and a full editor queue clears it. Any thread.
  void SetHostProcessing(bool processing);
  // Turned off while the editor must not drain on its own thread. Any thread.
  void SetDrainImmediately(bool drain);

  // Lost messages and notifications, and process calls that rendered nothing
  // because another thread held the gate. Any thread.
  uint32_t DroppedEditorMessages() const { return editor_queue_.Dropped(); }
  uint32_t DroppedAutomationMessages() const { return automation_queue_.Dropped(); }
  uint32_t DroppedNotifications() const { return dropped_notifications_; }
  uint32_t SkippedBlocks() const { return skipped_blocks_; }

  // Voices of every container that plays notes not taken off the run list,
  // as the last process call left them. Any thread.
  int32_t SoundingVoices() const { return sounding_voices_.load(std::memory_order_relaxed); }

 private:
  static constexpr uint32_t kEditorQueueBytes = 4096;
  static constexpr uint32_t kAutomationQueueBytes = 2048;
  // Event records: a floor, and room per generator for a busy cell of status
  // changes, MIDI and notifications, plus a burst: a host block of about a
  // thousand MIDI events arrives all at once, and each note fans out into a
  // few events on the voice it plays.
  static constexpr std::size_t kMinimumEvents = 1024;
  static constexpr std::size_t kEventsPerGenerator = 16;
  static constexpr std::size_t kBurstEvents = 4096;
  // Longest "mbox" text, in characters, so it always fits one message.
  static constexpr std::size_t kMessageBoxChars = 900;

  // Engine-internal notifications awaiting the next block start.
  struct PendingNotify {
    ug_base* generator;
    int32_t a;
    int32_t b;
  };
  static constexpr std::size_t kPendingNotifyCapacity = 256;
  enum GateState : uint32_t { kGateFree, kGateAudio, kGateOther };

  void StartAt(ug_base* top, uint32_t sample_time);
  // Claims the gate for the audio thread; false (counted) when it is taken.
  bool BeginBlock();
  // The block itself; releases the gate.
  void RunBlock(int32_t frames);
  bool ClaimGate(GateState holder);
  void ReleaseGate();
  bool HoldsGate() const;
  // Drains both queues now when the gate is free; false when it is not.
  bool TryDrainHere();
  void SignalPending(std::atomic<bool>& queue_pending);
  void DeliverPendingNotifications();
  void RunSlice(int32_t frames);
  void ReportLostEvents();
  bool PostUserText(std::initializer_list<std::string_view> pieces, MessageStyle style);
  void Unlink(ug_base* generator);

  EngineHost& host_;
  float sample_rate_ = 44100.0f;
  int32_t engine_block_size_ = 128;

  // Audio-thread clock state (editor thread while stopped).
  uint32_t sample_clock_ = 0;  // start of the current slice
  uint32_t cell_start_ = 0;
  uint32_t slice_end_ = 0;
  uint32_t block_start_ = 0;  // start of the current host block
  uint32_t noise_state_ = 0;

  std::atomic<bool> running_{false};
  std::atomic<bool> stop_requested_{false};
  std::atomic<bool> host_processing_{false};
  std::atomic<bool> drain_immediately_{true};
  std::atomic<bool> messages_pending_{false};  // either queue below has work
  std::atomic<bool> editor_queue_pending_{false};
  std::atomic<bool> automation_queue_pending_{false};
  std::atomic<bool> host_parameters_pending_{false};
  MessageQueue editor_queue_{kEditorQueueBytes};
  MessageQueue automation_queue_{kAutomationQueueBytes};
  MessageQueue* to_editor_ = nullptr;
  uint32_t application_id_ = 0;
  const ug_base* first_losing_ = nullptr;  // audio thread
  bool lost_events_reported_ = false;
  std::atomic<uint32_t> gate_{kGateFree};
  std::atomic<uint32_t> skipped_blocks_{0};
  std::array<PendingNotify, kPendingNotifyCapacity> pending_notify_{};
  std::size_t pending_notify_count_ = 0;
  std::atomic<uint32_t> dropped_notifications_{0};
  MessageTargetMap targets_;
  std::vector<std::unique_ptr<dsp_msg_target>> adopted_;
  EventPool events_{kMinimumEvents};

  LaneMode lane_mode_ = DefaultLaneMode();
  VoiceLanes lanes_;
  ug_base* top_ = nullptr;
  std::vector<const VoiceList*> note_voices_;  // containers holding a note source
  std::atomic<int32_t> sounding_voices_{0};
  ug_base* run_list_head_ = nullptr;
  ug_base* current_ = nullptr;  // the generator being run, if any

  vst2::VstTimeInfo time_info_{};
};

}  // namespace ov
