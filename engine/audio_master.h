// The engine's clock and scheduler. Owns the sample clock, cuts host blocks
// into slices on a fixed grid of engine-block cells, and runs the active
// generators over each slice in descending sort order.
//
// Threads: Process, ServiceQueues and every generator-facing call run on the
// audio thread while the host is processing; on the editor thread only while
// no process call can run (engine start and stop, or host processing off).
//
// Sample times are uint32_t and wrap after 2^32 samples (about 12 hours at
// 96 kHz); compare two of them only as (int32_t)(a - b).
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "engine/byte_ring.h"
#include "engine/engine_host.h"
#include "engine/event_pool.h"
#include "engine/message_queue.h"
#include "platform/vst2.h"

namespace ov {

class ug_base;

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

  // One host block of `frames` samples. Audio thread.
  void Process(int32_t frames);
  // Drains pending queue messages; the first step of Process. Audio thread.
  void ServiceQueues();

  // Sample time of the start of the current slice, of the start of the
  // current engine-block cell, and just after the current slice. Audio thread.
  uint32_t SampleClock() const;
  uint32_t CellStart() const { return cell_start_; }
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

  // Posting to the engine, each queue from one thread: editor messages from
  // the editor thread, automation from the thread the host sets parameters
  // on. While the host processes, the audio thread drains the queue at its
  // next block; otherwise the posting thread drains it at once (unless that
  // is turned off, when the next block does). False when the queue is full.
  bool PostFromEditor(uint32_t target_id, uint32_t message_id, std::span<const std::byte> payload);
  bool PostAutomation(uint32_t target_id, uint32_t message_id, std::span<const std::byte> payload);
  // Sends (a, b) to the generator's OnNotify: at once while the engine is
  // stopped, otherwise at the sample clock its message is drained at.
  // Editor thread.
  bool Notify(ug_base& generator, int32_t a, int32_t b);

  // Whether the host is inside its process calls. Set by the engine's host
  // input; any thread.
  void SetHostProcessing(bool processing);
  // Turned off while the editor must not drain on its own thread. Any thread.
  void SetDrainImmediately(bool drain);

 private:
  static constexpr uint32_t kEditorQueueBytes = 4096;
  static constexpr uint32_t kAutomationQueueBytes = 2048;
  // Event records: a floor, and room per generator for a busy cell of status
  // changes, MIDI and notifications.
  static constexpr std::size_t kMinimumEvents = 1024;
  static constexpr std::size_t kEventsPerGenerator = 16;

  void StartAt(ug_base* top, uint32_t sample_time);
  bool Post(ByteRing& queue, std::atomic<bool>& queue_pending, uint32_t target_id,
            uint32_t message_id, std::span<const std::byte> payload);
  void RunSlice(int32_t frames);
  void Unlink(ug_base* generator);

  EngineHost& host_;
  float sample_rate_ = 44100.0f;
  int32_t engine_block_size_ = 128;

  // Audio-thread clock state (editor thread while stopped).
  uint32_t sample_clock_ = 0;  // start of the current slice
  uint32_t cell_start_ = 0;
  uint32_t slice_end_ = 0;
  uint32_t block_start_ = 0;  // start of the current host block

  std::atomic<bool> running_{false};
  std::atomic<bool> host_processing_{false};
  std::atomic<bool> drain_immediately_{true};
  std::atomic<bool> messages_pending_{false};  // either queue below has work
  std::atomic<bool> editor_queue_pending_{false};
  std::atomic<bool> automation_queue_pending_{false};
  ByteRing editor_queue_{kEditorQueueBytes};
  ByteRing automation_queue_{kAutomationQueueBytes};
  MessageTargetMap targets_;
  EventPool events_{kMinimumEvents};

  ug_base* top_ = nullptr;
  ug_base* run_list_head_ = nullptr;
  ug_base* current_ = nullptr;  // the generator being run, if any

  vst2::VstTimeInfo time_info_{};
};

}  // namespace ov
