// The stored side of a container's patches: the current patch, the patch
// names and the patch parameters with their 128 values each, and the editor
// side of their exchange with the engine: patch changes, panel and host
// edits, values coming back from the engine, MIDI learning, and the start of
// the engine side.
//
// Threads: editor only. (Host automation from other threads goes straight to
// the engine's automation queue and comes back here as a value from the
// engine.)
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "document/field_walker.h"
#include "patches/patch_value.h"
#include "patches/ui_msg_target.h"

namespace ov {

class CContainer;
class CPatchManager;
class CPlug2;
class ListText;
class MessageHub;
class OvAudioMaster;
class dsp_patch_manager;

// One patch parameter: a plug's value kept once per patch.
class PatchParameter : public ui_msg_target {
 public:
  // The value types, named by the editor persistence ids that streams store.
  enum ValueType : int32_t {
    kEnum = kPatchEnum,
    kText = kPatchText,
    kBool = kPatchBool,
    kFloat = kPatchFloat,
    kInt = kPatchInt
  };
  static bool IsValueType(int32_t persistence_id) { return IsPatchValueType(persistence_id); }

  explicit PatchParameter(int32_t value_type);
  void Serialize(FieldWalker& walker);
  CPatchManager* manager() const { return manager_; }

  int32_t value_type() const { return value_type_; }
  int32_t id() const { return id_; }
  void set_id(int32_t id) { id_ = id; }
  CPlug2* plug() const { return plug_; }
  void set_plug(CPlug2* plug) { plug_ = plug; }
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }
  int32_t midi_controller() const { return midi_controller_; }
  bool ignore_program_change() const { return ignore_program_change_; }
  void set_ignore_program_change(bool ignore) { ignore_program_change_ = ignore; }
  bool hidden() const { return hidden_; }
  void set_hidden(bool hidden) { hidden_ = hidden; }
  // Set while a patch change or a value from the engine is being applied.
  bool busy() const { return busy_; }

  // The slot in use: 0 with "Ignore Program Change", else the manager's
  // current patch.
  int32_t CurrentSlot() const;
  // Out-of-range patches read as the default-constructed value.
  PatchValue SlotValue(int32_t patch) const;
  PatchValue CurrentValue() const { return SlotValue(CurrentSlot()); }

  // An edit of the current value (from the panel): stored in the current slot
  // and sent to the engine, unless it equals what is there.
  void SetValue(const PatchValue& value);
  // The host's normalised view. Setting converts and edits as above (int and
  // text ignore it); getting gives enum and float normalised, bool 0 or 1,
  // int and text 0: hosts keep whatever it answers, so it stays within 0..1.
  void SetNormalised(float normalised);
  float GetNormalised() const;
  // False for int and text, which have no normalised form.
  bool TakesNormalised() const;
  // The current value as shown to the user.
  std::string ValueText() const;
  // The float range the normalised view maps onto (a panel control sets it).
  // A running engine side is told ("meta").
  const FloatRange& range() const { return range_; }
  void set_range(const FloatRange& range);
  // The item list of an enumerated parameter (a file type for text): its
  // plug's, until one is set. A running engine side is told, unless the list
  // outgrew the room it kept, which the user hears of (the engine then takes
  // it at its next start).
  std::string list_text() const;
  void SetListText(std::string text);

  // The manager has just made `patch` current: the current slot's value
  // goes to the panel and the engine (as a patch change, flag 1).
  void ApplyPatch(int32_t patch);
  // Slots first..last (kept within the 128) take the value of `source`.
  void CopySlot(int32_t source, int32_t first, int32_t last);
  // -1 none, -2 learn from the next controller, else a controller id; the
  // engine side is told.
  void SetMidiController(int32_t id);

  // Called after every change of the current value, with whether the host
  // should hear of it (not for patch changes, nor for host automation coming
  // back from the engine).
  std::function<void(PatchParameter&, bool report_to_host)> on_value_changed;

  // "ppc" (a value from the engine) and "lern" (a learned controller).
  void OnMessage(uint32_t message_id, MessageReader& payload) override;
  // The per-parameter block of state chunks: a 32-bit count, then the
  // values of patches first..last (kept within the 128) in their archive
  // widths. Reading stores the values from slot `first` on, reads and drops
  // any beyond the last slot, and re-applies the current patch when it was
  // among those read.
  void WalkPatchRange(FieldWalker& walker, int32_t first, int32_t last);
  // Slots from `first` on take `values`; values past the last slot are
  // dropped. The current patch is re-applied when it was among them.
  void LoadSlots(int32_t first, std::span<const PatchValue> values);
  // The payload of this parameter's "init" message, with the first part of
  // its list; the other parts follow as "meta" (see SendListParts).
  void WriteInit(MessageWriter& payload, uint32_t module_handle, int32_t plug_number) const;

  // Every slot takes the value that `text` gives for the value type (a
  // base-10 integer, a number, or the text itself).
  void SetAllFromText(const std::string& text);
  void SetSlotFromText(int32_t patch, const std::string& text);
  // The value of one slot as text, in the C locale.
  std::string SlotText(int32_t patch) const;

 private:
  friend class CPatchManager;  // sets the manager when registering

  void WalkSlot(FieldWalker& walker, std::size_t slot);
  // The value changed: on_value_changed, then the plug's module, hear it.
  void ReportChange(bool report_to_host);
  void StoreSlot(int32_t patch, const PatchValue& value);
  ListText Items() const;
  void SendToEngine(uint32_t message_id, const MessageWriter& payload) const;
  void SendValue(uint8_t program_change) const;
  // The list's parts from `first` on as "meta", through `post`.
  void SendListParts(std::size_t first,
                     const std::function<void(const MessageWriter&)>& post) const;

  CPatchManager* manager_ = nullptr;
  int32_t value_type_;
  int32_t id_ = -1;
  CPlug2* plug_ = nullptr;
  std::string name_;
  bool ignore_program_change_ = false;
  int32_t midi_controller_ = -1;
  bool hidden_ = false;
  bool busy_ = false;
  bool echo_guard_ = false;  // storing a value that came from the engine
  FloatRange range_;
  std::optional<std::string> list_text_;  // set instead of the plug's
  std::size_t engine_list_room_ = 0;      // bytes the engine side keeps for lists
  std::vector<int32_t> numbers_;          // enumerated, bool and int values
  std::vector<float> floats_;
  std::vector<std::string> texts_;
};

// What `text` gives for a value type: a base-10 integer (an enum kept to 16
// bits, a bool 0 or 1), a number, or the text itself.
PatchValue PatchValueFromText(int32_t value_type, const std::string& text);

// Where the engine build put a document plug: its generator's message
// target id and its engine plug number.
struct EnginePlugRef {
  uint32_t module_handle;
  int32_t plug_number;
};
using EnginePlugLocator = std::function<std::optional<EnginePlugRef>(const CPlug2&)>;

class CPatchManager : public Persistent, public ui_msg_target {
 public:
  static constexpr int32_t kPatchCount = 128;
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  CPatchManager();
  ~CPatchManager() override;
  void Serialize(FieldWalker& walker) override;

  int32_t current_patch() const { return current_patch_; }
  // Makes `patch` (kept within 0..127) current: every parameter, in id
  // order, applies it. Nothing happens when it is current already.
  void SetCurrentPatch(int32_t patch);
  // Patches first..last become copies of the current one: named "(Copy n)
  // <current name>", their parameter slots and the per-patch values of the
  // container's controls the current values.
  void CopyPatches(int32_t first, int32_t last);
  // The stored name, or "Patch %3d" of patch + 1. -1 means the current patch.
  std::string PatchName(int32_t patch) const;
  // "Patch %3d" of patch + 1: the name of a patch never named.
  static std::string DefaultPatchName(int32_t patch);
  void SetPatchName(int32_t patch, std::string name);
  const std::map<int32_t, std::string>& patch_names() const { return names_; }
  // The names of patches 0 up to the last named one, defaults included.
  std::vector<std::string> NamesUpToLastNamed() const;

  // The parameter of `plug`, made when there is none yet: of the plug's
  // datatype, its values the plug's default, named after the plug's module.
  // Null for a datatype that keeps no patch values.
  PatchParameter* CreateParameterForPlug(CPlug2& plug);
  PatchParameter* FindParameter(const CPlug2& plug) const;
  const std::map<int32_t, std::unique_ptr<PatchParameter>>& parameters() const {
    return parameters_;
  }

  CContainer* container() const { return container_; }
  void SetContainer(CContainer* container) { container_ = container; }

  // Starts the engine side in `master` (audio stopped, during its build):
  // registers this manager and its parameters with `hub`, hands the engine
  // an engine-side manager under this manager's handle, and sends it one
  // "init" per parameter, in id order. Parameters whose plug `locate` cannot
  // place still start, bound to nothing.
  // Returns the engine side made, which the master owns.
  dsp_patch_manager& StartEngineSide(MessageHub& hub, OvAudioMaster& master,
                                     const EnginePlugLocator& locate);
  MessageHub* hub() const { return hub_; }
  // Nothing arrives for the manager itself.
  void OnMessage(uint32_t, MessageReader&) override {}

 private:
  // Keeps the parameter's id when it is free, else draws a free one. False
  // when every id is taken.
  bool Register(std::unique_ptr<PatchParameter> parameter);
  void WalkParameters(FieldWalker& walker);

  int32_t current_patch_ = 0;
  std::map<int32_t, std::string> names_;
  std::map<int32_t, std::unique_ptr<PatchParameter>> parameters_;
  CContainer* container_ = nullptr;
  MessageHub* hub_ = nullptr;
  std::minstd_rand id_source_;
};

}  // namespace ov
