// The engine halves of the panel control modules: "Slider", "List Entry" and
// "Text Entry" (over ug_control, which carries the MIDI controller plugs),
// and the routing switches "Switch (1->Many)" and "Switch (Many->1)".
//
// A control never reads its document on the audio thread: values arrive in
// "ctlv" and "ctlt" messages, and the generator keeps its own copy of every
// patch's numeric value so that a program change inside the engine switches
// at the sample it is stamped with. Values the engine sets itself (MIDI, the
// host) are published in an atomic for the document, which is asked to read
// it with "refr". A control with a controller number also answers that
// controller on its own "MIDI In", and sends it on "MIDI Out" when the host
// moves it.
//
// Threads: made, loaded and opened on the editor thread while audio is
// stopped; messages, events and processing on the audio thread, where
// nothing allocates. ReportedValue: any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/control_engine_half.h"
#include "engine/midi_automation.h"
#include "engine/smart_output.h"
#include "engine/ug_base.h"
#include "modules/list_text.h"
#include "modules/plug_table.h"

namespace ov {

// "ctlv": int32 patch, int32 flags (kPatchChangeFlag: jump to it as the
// current patch), then a double, or for text a queue string.
inline constexpr uint32_t kMsgControlValue = MessageId("ctlv");
// "ctlt": int32 first, int32 last, then the value as in "ctlv": patches
// first..last took one value.
inline constexpr uint32_t kMsgControlCopy = MessageId("ctlt");
inline constexpr int32_t kPatchChangeFlag = 1;

class ug_control : public ug_base, public ControlEngineHalf, public ControllerReceiver {
 public:
  static constexpr int32_t kPatchCount = 128;
  enum CommonPlug : int32_t {
    kChannel,
    kMidiIn,
    kMidiOut,
    kControllerId,
    kIgnoreProgramChange,
    kMidiNrpn,
    kCommonPlugs
  };

  // The values of every patch and the current one, at engine start.
  // Editor thread, audio stopped.
  void LoadValues(std::span<const double> values, int32_t current_patch);
  // The last value the engine itself set (MIDI, host), for the document.
  double ReportedValue() const { return shared_->reported.load(std::memory_order_acquire); }
  int32_t CurrentPatch() const { return current_patch_; }

  std::unique_ptr<ug_base> Clone() override;
  void Open() override;
  void OnMessage(uint32_t message_id, MessageReader& payload) override;
  void OnNotify(int32_t kind, int32_t value) override;
  void HandleEvent(ug_event& event) override;
  // ControlEngineHalf: through a notification to the model and every copy.
  void SetNormalisedFromHost(float normalised) override;
  // ControllerReceiver: the patch context's automator moved a controller.
  void OnController(uint32_t time, int32_t id, float normalised) override;

  // Normalised value for the host (0..1), and the readout text of the
  // current value; audio thread.
  virtual float NormalisedValue() const = 0;

 protected:
  enum NotifyKind : int32_t {
    kValueChanged = 100,  // value: the patch
    kPatchChanged,        // value: the patch
    kSetNormalised,       // value: the float's bits
  };
  // The members the common plugs are bound to, in plug order.
  std::array<PlugMember, kCommonPlugs> CommonMembers();
  // The values were loaded, or a voice copy made: take the current one.
  virtual void OnValuesLoaded() {}
  // The numeric value of the current patch takes effect: with a ramp, or
  // jumping after a patch change.
  virtual void ApplyValue(uint32_t time, double value, bool jump) = 0;
  // The engine moved the control to `normalised`: apply it, and return the
  // document value it stands for.
  virtual double ApplyNormalised(uint32_t time, float normalised) = 0;
  // Text controls read the text messages; numeric ones keep no text.
  virtual bool TakesText() const { return false; }
  virtual void ApplyText(uint32_t /*time*/, std::string_view /*text*/) {}
  double StoredValue(int32_t patch) const;
  // The engine moved the control to `value` (the document's number): the
  // engine's copy of the patch and the document follow.
  void Publish(double value);
  // The host moved it: a controller message on "MIDI Out".
  void SendController(uint32_t time, float normalised);

 private:
  // What the model and its voice copies share: the patch values (written
  // only by the model's message handler) and the reported value.
  struct Shared {
    std::array<double, kPatchCount> values{};
    std::atomic<double> reported{0.0};
    // The latest text of a text control, reserved at open.
    std::string text;
    Shared() { text.reserve(UPlug::kTextCapacity); }
  };
  bool TakesController(int32_t id) const;
  // Each of the model and its copies.
  template <typename Visit>
  void ForEachCopy(Visit visit);
  void ReadValueMessage(MessageReader& payload, int32_t first, int32_t last, int32_t flags);

  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  int32_t current_patch_ = 0;
  int16_t channel_ = -1;
  int16_t controller_ = -1;
  bool ignore_program_change_ = false;
  int16_t nrpn_ = 0;
  bool registered_ = false;
};

class ug_slider final : public ug_control {
 public:
  enum Plug : int32_t {
    kSignalOut = kCommonPlugs,
    kLoValue,
    kHiValue,
    kAppearance,
    kShowReadout,
    kShowTitle
  };
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void SetUpBuffers() override;
  void Open() override;
  void Resume() override;
  float NormalisedValue() const override;
  float Target() const { return output_.target_value(); }

 protected:
  void ApplyValue(uint32_t time, double value, bool jump) override;
  double ApplyNormalised(uint32_t time, float normalised) override;
  void OnValuesLoaded() override;

 private:
  void RunOutput(int32_t position, int32_t count);
  void SetTarget(uint32_t time, float target, int32_t length);
  int32_t SlowRamp() const;

  smart_output output_;
  float lo_ = 0.0f;
  float hi_ = 10.0f;
  int16_t appearance_ = 1;
  bool show_ = false;  // "Show Readout" and "Show Title On Panel": the panel's
};

class ug_combobox final : public ug_control {
 public:
  enum Plug : int32_t { kChoice = kCommonPlugs, kAppearance, kShowTitle };
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void OnItemList(int32_t plug_number, std::string_view list_text) override;
  // The document's list, at engine start. Editor thread, audio stopped.
  void LoadItems(std::string_view list_text) { items_ = ListText(list_text); }
  std::unique_ptr<ug_base> Clone() override;
  float NormalisedValue() const override;

 protected:
  void ApplyValue(uint32_t time, double value, bool jump) override;
  double ApplyNormalised(uint32_t time, float normalised) override;
  void OnValuesLoaded() override;

 private:
  ListText items_{""};
  int16_t choice_ = 0;
  int16_t appearance_ = 0;
  bool show_ = false;
};

class ug_text_entry final : public ug_control {
 public:
  enum Plug : int32_t { kTextOut = kCommonPlugs, kShowTitle };
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  // Editor thread, audio stopped: the current patch's text at engine start.
  void LoadText(std::string_view text);
  float NormalisedValue() const override { return 0.0f; }

 protected:
  void ApplyValue(uint32_t, double, bool) override {}
  double ApplyNormalised(uint32_t, float) override { return 0.0; }
  bool TakesText() const override { return true; }
  void ApplyText(uint32_t time, std::string_view text) override;

 private:
  bool show_ = false;
};

// "Switch (1->Many)": "Input" goes to the output "Choice" names (0-based);
// the others are silent.
class ug_switch final : public ug_base {
 public:
  enum Plug : int32_t { kChoice, kInput, kFirstOutput };
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  void Route(int32_t position, int32_t count);
  // Writes every output for the current choice.
  void Fill(int32_t position, int32_t count);

  int16_t choice_ = 0;
  float* input_ = nullptr;
  std::vector<float*> outputs_;
};

// "Switch (Many->1)": the input "Choice" names (kept within the inputs)
// goes to "Output".
class ug_switch2 final : public ug_base {
 public:
  enum Plug : int32_t { kChoice, kOutput, kFirstInput };
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  void Pass(int32_t position, int32_t count);
  int32_t Selected() const;

  int16_t choice_ = 0;
  float* output_ = nullptr;
  std::vector<const UPlug*> inputs_;
};

}  // namespace ov
