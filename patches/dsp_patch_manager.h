// The engine side of a container's patches: one dsp_patch_manager per patch
// manager, one dsp_patch_parameter per patch parameter. They hold only the
// current values, feed them to the modules' plugs, answer MIDI controllers
// and learning, and report values that change on the engine side back to the
// editor side.
//
// The editor side starts them with one "init" message per parameter to the
// manager, payload:
//   int32 engine persistence id (20 to 24), uint32 parameter handle,
//   uint32 module handle (the generator's message target id),
//   int32 engine plug number, int32 MIDI controller id, the current value,
//   then metadata: float minimum and maximum; enum the item list and text the
//   file type, each as its first list part (see patch_value.h; the rest
//   follows as "meta"); bool and int nothing.
// "meta" later replaces the metadata; the room for lists is reserved at
// "init", so a running engine takes a new list without allocating.
//
// Threads: "init" is handled only while audio is stopped (engine build); every
// other message and the controller calls on the thread holding the engine
// gate (see OvAudioMaster), without allocating.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/message_queue.h"
#include "engine/midi_automation.h"
#include "modules/list_text.h"
#include "patches/patch_value.h"

namespace ov {

class OvAudioMaster;
class UPlug;
class dsp_patch_manager;

class dsp_patch_parameter : public dsp_msg_target {
 public:
  explicit dsp_patch_parameter(int32_t value_type);

  const PatchValue& Value() const { return value_; }
  int32_t Controller() const { return controller_; }
  UPlug* Plug() const { return plug_; }

  // Reads the rest of an "init" payload, registers with the master and binds
  // to its plug. False when the payload is short. Audio stopped.
  bool Initialise(dsp_patch_manager& manager, MessageReader& payload);
  // "ppc", "ppca", "CCID" and "meta"; other identifiers are skipped.
  void OnMessage(uint32_t message_id, MessageReader& payload) override;

  // From a controller: converts, stores, outputs at `time` and reports to the
  // editor side with flag 0 (the host hears of it). Int and text: nothing.
  void SetFromMidiController(uint32_t time, float normalised);
  // From host automation off the editor thread: as above, reported with
  // flag 1 (the host already knows).
  void SetFromNormalised(float normalised);
  float GetNormalised() const;

  // A watched output plug changed: its value goes to the editor side with
  // flag 0.
  void OnWatchedChange(const UPlug& watched);

 private:
  friend class dsp_patch_manager;  // keeps the controller id with its registration

  // Enum and bool changes only when the value differs; float always.
  bool StoreConverted(float normalised);
  // To the module's plug, then, unless it is a text, out through the patch
  // context's MIDI automator.
  void Output(uint32_t time, bool patch_change);
  void ReportToEditor(uint8_t flag);
  void TakePlugValue(const UPlug& plug);
  // Float range, or one list part; false when the payload is short.
  bool ReadMetadata(MessageReader& payload);
  // A list that does not fit the room reserved at "init" is ignored whole.
  bool ReadListPart(MessageReader& payload, uint8_t flags, uint32_t total);

  const int32_t value_type_;
  dsp_patch_manager* manager_ = nullptr;
  UPlug* plug_ = nullptr;
  int32_t controller_ = -1;
  PatchValue value_;
  FloatRange range_;
  ListText items_{""};
  std::string list_;  // the list being received
  bool list_refused_ = false;
};

class dsp_patch_manager : public dsp_msg_target, public ControllerReceiver {
 public:
  explicit dsp_patch_manager(OvAudioMaster& master) : master_(master) {}

  OvAudioMaster& Master() const { return master_; }
  // "init": makes one parameter. Ignored while the engine runs, since making
  // one allocates.
  void OnMessage(uint32_t message_id, MessageReader& payload) override;

  // Replaces the parameter's controller registration: id >= 0 registers it,
  // -2 makes it the learn target, -1 registers nothing.
  void RegisterController(dsp_patch_parameter& parameter, int32_t id);
  // A controller moved: a waiting learner takes the id (and the editor side
  // hears "lern"), then every parameter registered under it follows.
  void OnController(uint32_t time, int32_t id, float normalised) override;

  const std::vector<std::unique_ptr<dsp_patch_parameter>>& Parameters() const {
    return parameters_;
  }
  dsp_patch_parameter* LearnTarget() const { return learn_target_; }

 private:
  OvAudioMaster& master_;
  std::vector<std::unique_ptr<dsp_patch_parameter>> parameters_;
  // Ordered by controller id, equal ids in registration order. Its capacity
  // covers every parameter, so re-registering never allocates.
  std::vector<dsp_patch_parameter*> by_controller_;
  dsp_patch_parameter* learn_target_ = nullptr;
};

}  // namespace ov
