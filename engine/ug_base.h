// Unit generators: the engine side of every module. A generator owns its
// plugs, keeps its pending events in time order, and is run by the audio
// master one slice at a time through its current process function, which it
// swaps as its inputs run, turn static or stop. A generator whose outputs no
// longer change fills one engine block with the constant and then sleeps
// (leaves the run list) until an event wakes it.
//
// Threads: everything here runs on the audio thread while the engine runs,
// or on the editor thread while audio is stopped (building, start and stop).
// Methods marked "editor thread" are never called while audio runs. Nothing
// reached from Process allocates or locks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/event_processor.h"
#include "engine/interface_object.h"
#include "engine/lane_kernel.h"
#include "engine/message_queue.h"
#include "engine/sample_block.h"
#include "engine/uplug.h"

namespace ov {

class LaneGroup;
class OvAudioMaster;
class ug_container;
class VoiceLanes;

// Generator flag bits. The polyphony marks (0x02 to 0x40) belong to voice
// handling.
enum GeneratorFlag : uint32_t {
  UGF_VOICE_NEUTRAL = 0x02,    // its inputs do not keep a voice alive
  UGF_PER_VOICE = 0x04,        // cloned into every voice
  UGF_UPSTREAM_MARK = 0x08,    // upstream of a voice-dependent input
  UGF_DOWNSTREAM_MARK = 0x10,  // downstream of the note source
  UGF_OUTLIVES_VOICE = 0x20,   // not suspended with its voice
  UGF_STOPS_MARKING = 0x40,    // stops polyphony marking and group spreading
  UGF_SUSPENDED = 0x80,
  UGF_OPEN = 0x100,
  UGF_NEVER_SUSPEND = 0x200,
  UGF_CLONE = 0x800,
  UGF_FROM_DOCUMENT = 0x1000,  // copied from the module's document object
  UGF_SORT_BOOST = 0x2000,     // 200, not 4, added to its sort order
};

class ug_base : public EventProcessor, public dsp_msg_target {
 public:
  // Runs over `count` samples of the current slice, writing sample blocks
  // from index `position`.
  using ProcessFunction = void (ug_base::*)(int32_t position, int32_t count);

  // The payload of a "noti" message.
  struct NotifyMessage {
    static constexpr uint32_t kId = MessageId("noti");
    uint32_t host_time_ms;
    uint32_t stream;  // always 0
    uint32_t target_id;
    int32_t a;
    int32_t b;
  };
  // OnNotify kind: transmit static on every output marked by a document value.
  static constexpr int32_t kNotifyStaticPending = 1;

  // Constructors touch no engine: the registry builds a probe of every
  // generator class just to list its plugs.
  ug_base();
  ~ug_base() override;
  ug_base(const ug_base&) = delete;
  ug_base& operator=(const ug_base&) = delete;

  // --- Virtual operations.

  // Puts a sleeping generator back on the run list.
  virtual void Wake();
  // The master's slice entry: runs `frames` samples from Clock(), split at
  // the time stamps of pending events. Audio thread.
  virtual void Process(int32_t frames);
  // A notification from the editor side, or one the generator sent itself.
  virtual void OnNotify(int32_t kind, int32_t value);
  // Status changes, notifications and function calls; other kinds are the
  // subclasses'.
  virtual void HandleEvent(ug_event& event);
  // A new, empty generator of the same class. Any thread.
  virtual std::unique_ptr<ug_base> CreateInstance() const = 0;
  // A copy for another voice: same engine, sort order and identifier, its
  // own plugs and buffers (no connections), on this generator's clone chain.
  // The caller keeps it alive as long as this generator. Editor thread.
  virtual std::unique_ptr<ug_base> Clone();
  // Leaves the run list with its voice (unless never suspended), and back.
  virtual void Suspend();
  virtual void Resume();
  virtual void QueueMidi(uint32_t time, uint32_t message, UPlug* receiver);
  virtual void QueueStatusChange(uint32_t time, connector* link, int32_t state);
  // A status change has reached one of the inputs. Subclasses pick their
  // process function here and pass a state on; the base does nothing.
  virtual void OnStatusChange(uint32_t time, connector* link, int32_t state);
  // Appends this class's plug descriptors in plug order. Any thread; also
  // called on probes without an engine.
  virtual void ListPlugs(std::vector<InterfaceObject>& descriptors);
  // Joins the run list, hands audio plugs' data to their buffer members and
  // sends each input its source's state and value. Subclasses that override
  // it call ug_base::Open(). Editor thread.
  virtual void Open();
  virtual void Close();
  void OnMessage(uint32_t message_id, MessageReader& payload) override;
  // Creates every plug's storage and counts audio plugs. Editor thread,
  // after the engine block size is fixed.
  virtual void SetUpBuffers();
  // Whether sleep-when-idle may take it off the run list.
  virtual bool CanSleep() const;
  // True when the generator reads its audio inputs only through their plugs
  // and buffer members, afresh at each process call, and keeps no address
  // of their samples: an adder in front of it may then hand it a lone
  // source's block instead of copying it (a voice's block, where the voices
  // of a container meet a shared module). Any thread.
  virtual bool InputBlocksMayMove() const { return false; }
  // Generators owned by this one (containers).
  virtual std::span<const std::unique_ptr<ug_base>> Children() const { return {}; }
  // True when an input reached from a note source is not linear, so the
  // generator's result differs from voice to voice. Editor thread.
  virtual bool HasVoiceDependentInput() const;
  // A patch parameter now drives input `plug_number`, up to `maximum` (a
  // float parameter's range; infinite for other types). Modules that size
  // storage at open from an input's value look at it. Editor thread, while
  // the graph is built.
  virtual void OnDrivenByParameter(int32_t /*plug_number*/, float /*maximum*/) {}
  // The item list of enumerated output `plug_number` in the document: its
  // own, or else that of the plug it is connected to. Modules that map onto
  // a list read it here. Editor thread, while the graph is built.
  virtual void OnItemList(int32_t /*plug_number*/, std::string_view /*list_text*/) {}
  // Voice lanes (engine/voice_lanes.h): whether the class has lane kernels,
  // and the kernel for the current process function, if it has one. Audio
  // thread for the second.
  virtual bool HasLaneKernels() const { return false; }
  virtual LaneKernel LaneKernelNow() const { return {}; }
  // A generator that hands its signal to another without a connector (the
  // two halves of a feedback delay) names it, so that polyphony marks and
  // voice groups cross as if the two were connected: the half taking the
  // signal names its downstream partner, the half sending it its upstream
  // one. Editor thread.
  virtual ug_base* DownstreamPartner() const { return nullptr; }
  virtual ug_base* UpstreamPartner() const { return nullptr; }
  // Called on each copy once every generator of its voice was copied;
  // `copy_of` gives the copy of an original in that voice, or null. Editor
  // thread.
  virtual void OnVoiceCopied(const std::function<ug_base*(const ug_base*)>& /*copy_of*/) {}

  // --- Placement. Editor thread.

  // The engine this generator belongs to; also gives it the engine's event
  // pool. Containers pass it to children they adopt.
  void SetMaster(OvAudioMaster* master);
  OvAudioMaster* Master() const { return master_; }
  ug_container* Container() const { return container_; }
  // The container generator that takes this generator's MIDI automation and
  // program changes (the root, or a container with patches of its own).
  ug_container* PatchContext() const { return patch_context_; }
  void SetPatchContext(ug_container* context) { patch_context_ = context; }
  // Calls `visit` on this generator and every one below it, parents first.
  // Iterative, so any depth of nesting is safe.
  void VisitTree(const std::function<void(ug_base&)>& visit);

  // The module's title, for messages to the user; empty for generators no
  // module shows (adders, monitors). Set while the graph is built.
  void SetTitle(std::string title) { title_ = std::move(title); }
  const std::string& Title() const { return title_; }
  // Tells the user "<title> : <text>" at the editor's next idle, through the
  // engine-to-editor ring; allocates nothing. False when the ring was full
  // (or there is no engine). The thread running the engine.
  bool RequestMessageBox(std::string_view text);
  // Asks the module's editor side to refresh its panel part ("refr" to this
  // generator's identifier). Sent once: further requests are dropped until
  // the editor side has taken it and cleared the mark; a request the full
  // ring refused leaves the mark clear, so the next one tries again. Voice
  // copies share their model's mark. Allocates nothing. False when nothing
  // was sent. The thread running the engine.
  bool RequestRefresh();
  // The editor side takes the refresh asked for: later requests are sent
  // again. Any thread.
  void ClearRefreshMark() { refresh_mark_->store(false, std::memory_order_release); }
  bool RefreshMarked() const { return refresh_mark_->load(std::memory_order_acquire); }
  // One line of text for the module's terminal ("prnt"); a line the ring
  // has no room for is dropped whole. Allocates nothing. The thread running
  // the engine.
  bool RequestPrint(std::string_view line);

  // --- Plugs. Creation: editor thread.

  // One plug per descriptor, or per chosen descriptor index (plug numbers
  // are positions in the choice). Indices outside the list raise
  // std::invalid_argument.
  void CreatePlugs();
  void CreatePlugs(std::span<const int32_t> descriptor_indices);
  // A plug made from direction and datatype alone, appended.
  UPlug* AddPlug(int32_t direction, int32_t datatype, int32_t plug_flags = 0);
  // Raises std::invalid_argument for a number outside the plug array.
  UPlug* plug(int32_t index) const;
  int32_t PlugCount() const { return static_cast<int32_t>(plugs_.size()); }
  int32_t AudioInputs() const { return audio_inputs_; }
  int32_t AudioOutputs() const { return audio_outputs_; }

  // --- Events. Audio thread (or editor thread while audio is stopped).

  // Queues an event; with `wake`, a sleeping generator that is not suspended
  // is woken first. False when no event record was free.
  bool QueueEvent(uint32_t time, int32_t kind, int32_t parm1, void* parm2, int32_t parm3,
                  bool wake);
  bool QueueProgramChange(uint32_t time, int32_t program);
  bool QueueRunFunction(uint32_t time, RunFunction function);
  // Queues `message` on every input connected to `output` whose channel
  // filter takes it (system messages pass every filter).
  void SendMidi(const UPlug& output, uint32_t time, uint32_t message);
  // Joining the run list at `time`: earlier events move up to it.
  void CatchUp(uint32_t time);
  // Runs OnNotify through the master while the engine runs (see
  // OvAudioMaster::Notify), at once otherwise. Editor thread, or the thread
  // running the engine.
  void NotifySelf(int32_t kind, int32_t value);
  // A notification arriving: an event at the current sample while the engine
  // runs, OnNotify at once otherwise. The thread holding the engine gate.
  void ReceiveNotify(int32_t kind, int32_t value);

  // --- State.
  uint32_t Clock() const { return clock_; }
  // The index of the sample at Clock() in the current engine block, and a
  // block's sample there. Audio thread.
  int32_t BlockPosition() const;
  float SampleNow(const float* block) const { return block[BlockPosition()]; }
  bool IsSleeping() const { return sleeping_; }
  // Higher runs earlier in each slice. Set before the generator is opened.
  int32_t SortOrder() const { return sort_order_; }
  void SetSortOrder(int32_t order) { sort_order_ = order; }
  uint32_t Flags() const { return flags_; }
  void SetFlags(uint32_t flags) { flags_ = flags; }
  ug_base* NextClone() const { return next_clone_; }
  // The voice (or drum voice group) the generator belongs to; -1 until set.
  int32_t VoiceGroup() const { return voice_group_; }
  void SetVoiceGroup(int32_t group) { voice_group_ = group; }
  int32_t StaticCountdown() const { return static_countdown_; }

 protected:
  template <typename T>
  void SetProcessFunction(void (T::*function)(int32_t, int32_t)) {
    process_function_ = static_cast<ProcessFunction>(function);
  }
  // Computes one sample with the current function, then holds it for one
  // engine block on every audio output, then sleeps.
  template <typename T>
  bool RunsFunction(void (T::*function)(int32_t, int32_t)) const {
    return process_function_ == static_cast<ProcessFunction>(function);
  }
  void EnterStatic();
  void ResetStaticCountdown();
  // Leaves the run list until woken.
  void Sleep();
  // For generators that run their slices themselves (module libraries).
  void SetClock(uint32_t time) { clock_ = time; }
  // A status change's value reaches its input (once per event).
  void ApplyStatusValue(ug_event& event);

  // Process functions every module can use.
  void DoNothing(int32_t position, int32_t count);
  void SleepWhenIdle(int32_t position, int32_t count);
  void FirstStaticSample(int32_t position, int32_t count);
  void StaticFill(int32_t position, int32_t count);

 private:
  friend class OvAudioMaster;  // run-list links
  friend class ug_container;   // adopts children
  friend class LaneGroup;      // runs members as its lanes
  friend class VoiceLanes;

  // A record from the pool, or null when none is free (or no engine).
  ug_event* NewEvent(uint32_t time, int32_t kind, int32_t parm1, void* parm2, int32_t parm3);
  void Enqueue(ug_event* event, bool wake);
  // The same test as the slice loop's distance, so they never disagree (as
  // two TimeBefore calls would for stamps half the clock range apart).
  bool Due(const ug_event& event) const {
    return static_cast<int32_t>(event.time_stamp - clock_) <= 0;
  }
  // Kind 20: p1 plug number, p3 the value word, or for text p2 the text
  // (a std::string that outlives the event). Then a static from an output.
  void SetPlugValue(const ug_event& event);
  void HandleDueEvents();
  int32_t EngineBlockSize() const;
  // Points the buffer member of every audio input without samples (no
  // source, or a plug an old document lacks) at a block of its default
  // value, so process functions never meet a null block.
  void BindDefaultInputs();

  uint32_t flags_ = 0;
  bool sleeping_ = false;
  ug_base* previous_ = nullptr;
  ug_base* next_ = nullptr;
  bool in_run_list_ = false;
  bool leaving_run_list_ = false;  // deactivated during its own slice
  uint32_t clock_ = 0;
  OvAudioMaster* master_ = nullptr;
  int32_t sort_order_ = -1;
  std::vector<std::unique_ptr<UPlug>> plugs_;
  ug_container* container_ = nullptr;
  ug_container* patch_context_ = nullptr;
  ProcessFunction process_function_;
  ug_base* next_clone_ = nullptr;
  LaneGroup* lane_group_ = nullptr;
  uint32_t lane_slice_ = 0;  // the slice its group last ran it in
  int32_t voice_group_ = -1;
  ProcessFunction saved_process_function_;
  int32_t static_countdown_ = 0;
  int32_t audio_inputs_ = 0;
  int32_t audio_outputs_ = 0;
  // Each default block with the member it serves, kept for reopening.
  std::vector<std::pair<float**, std::unique_ptr<USampBlock>>> default_blocks_;
  std::string title_;
  std::atomic<bool> own_refresh_mark_{false};
  std::atomic<bool>* refresh_mark_ = &own_refresh_mark_;  // the model's, for copies
};

}  // namespace ov
