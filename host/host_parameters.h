// The parameters a host sees: a flat list of indices with normalised values,
// names, value texts and labels, built once from the project's patch
// parameters and fixed for the life of the plug-in.
//
// Threads: the list is built, read for texts and set on the editor thread.
// Get and the queued set may run on any thread (hosts automate from their
// audio thread); they touch only atomics and the engine's automation ring.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/notifier.h"

namespace ov {

class AudioEffect;
class CContainer;
class CPatchManager;
class ControlEngineHalf;
class OvAudioMaster;
class PatchParameter;
class generic_parameter;

// One host parameter.
class vst_parameter {
 public:
  virtual ~vst_parameter() = default;
  // Editor thread.
  virtual std::string name() const = 0;
  virtual std::string value_text() const = 0;
  virtual std::string label() const = 0;
  // The cached normalised value. Any thread.
  virtual float get() const = 0;
  // Editor thread: acts on the editor-side objects directly.
  virtual void set(float value) = 0;
  // Any other thread: only caches the value and queues it for the engine.
  // False when the engine cannot take it (nothing of it runs there): the
  // caller then leaves it for the editor thread.
  virtual bool set_queued(float value, OvAudioMaster& master) = 0;
  // A value queued by set_queued reaches the engine: at a block start, on
  // the thread holding the engine gate. Allocates nothing.
  virtual void apply_queued() {}
  // Whether sets from the host change anything. Any thread.
  virtual bool takes_host_values() const { return true; }

  // A set from a thread that may not touch the editor side, made while no
  // engine takes it: it waits here, the newest winning, until the editor
  // thread takes it and sets it. Any thread; never waits.
  void set_pending(float value);
  // The waiting set, now no longer waiting; none when nothing waits. Any
  // thread.
  std::optional<float> take_pending();
  // What the host reads: a waiting set's value, else get(). Any thread.
  float host_value() const;
  virtual bool automatable() const = 0;
  virtual bool display_only() const = 0;
  // Remembers the plug-in and its own index, starts listening for changes
  // and reads the initial value. Editor thread.
  virtual void attach(AudioEffect& plugin, int32_t index) = 0;
  // The engine has (re)started: the wrapper publishes what a foreign thread
  // needs to address the engine. Editor thread, audio stopped.
  virtual void on_engine_started() = 0;

 private:
  // Written value first, then the flag; taken flag first, then the value.
  std::atomic<float> pending_value_{0};
  std::atomic<bool> pending_{false};
};

// A patch parameter as a host parameter. Changes made on the panel or by
// MIDI are reported to the host; changes the host made itself, and patch
// changes, are not.
class param_info_new final : public vst_parameter {
 public:
  explicit param_info_new(PatchParameter& parameter);
  ~param_info_new() override;

  std::string name() const override;
  std::string value_text() const override;
  std::string label() const override { return {}; }
  float get() const override { return cached_.load(std::memory_order_relaxed); }
  void set(float value) override;
  bool set_queued(float value, OvAudioMaster& master) override;
  bool takes_host_values() const override { return takes_values_; }
  bool automatable() const override { return true; }
  bool display_only() const override { return false; }
  void attach(AudioEffect& plugin, int32_t index) override;
  void on_engine_started() override;

 private:
  void OnValueChanged();

  PatchParameter& parameter_;
  // Int and text parameters ignore what the host sets.
  const bool takes_values_;
  AudioEffect* plugin_ = nullptr;
  int32_t index_ = -1;
  std::atomic<float> cached_{0};
  // The engine-side target of this parameter, read by foreign threads.
  std::atomic<uint32_t> handle_{0};
  bool from_host_ = false;  // editor thread only
};

// A panel parameter (a control module's, say) as a host parameter. A set
// from a foreign thread waits in the wrapper until the next block start
// hands it to the parameter's engine half; changes the host did not make
// itself, nor a patch change, are reported to the host.
class param_info final : public vst_parameter, private Notifiable {
 public:
  explicit param_info(generic_parameter& parameter);
  ~param_info() override;

  std::string name() const override;
  std::string value_text() const override;
  std::string label() const override;
  float get() const override { return cached_.load(std::memory_order_relaxed); }
  void set(float value) override;
  bool set_queued(float value, OvAudioMaster& master) override;
  void apply_queued() override;
  bool automatable() const override;
  bool display_only() const override;
  // A readout keeps showing its reading: hosts may record it, not set it.
  bool takes_host_values() const override { return !display_only(); }
  void attach(AudioEffect& plugin, int32_t index) override;
  void on_engine_started() override;

 private:
  void OnNotify(const Notification& notification) override;

  // Null once the parameter is gone: the wrapper keeps its index and
  // forwards nothing more. Editor thread.
  generic_parameter* parameter_;
  AudioEffect* plugin_ = nullptr;
  int32_t index_ = -1;
  // Written value first, then the flag; the audio thread takes the flag,
  // then reads the value.
  std::atomic<float> cached_{0};
  std::atomic<bool> dirty_{false};
  // The running engine's half that takes the value, published at engine
  // start for the audio thread.
  std::atomic<ControlEngineHalf*> engine_half_{nullptr};
  bool from_host_ = false;  // editor thread only
};

// The patch parameters of `manager` that hosts see (those not hidden), in
// the order of the host parameter list: by name byte-wise, equal names in id
// order. Other plug-in formats number their controls the same way.
std::vector<PatchParameter*> HostParameterOrder(CPatchManager* manager);

// Collects the host parameters: those of `manager` (not hidden from the
// host), in id order, then the panel parameters of the modules that follow
// `top`'s patches (CollectHostGenericParameters), in the order hosts see
// them: settable before display-only, then by name byte-wise; equal keys
// keep that collection order. `top` may be null.
std::vector<std::unique_ptr<vst_parameter>> BuildHostParameters(CPatchManager* manager,
                                                                const CContainer* top);
// A panel parameter hosts see, with the id state chunks save it under: its
// position in the collection order.
struct HostGeneric {
  generic_parameter* parameter;
  int32_t id;
};
// The panel parameters of `top` in host order, as state chunks save them.
std::vector<HostGeneric> HostGenericOrder(const CContainer& top);

}  // namespace ov
