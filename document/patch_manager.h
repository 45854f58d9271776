// The stored side of a container's patches: the current patch, the patch
// names and the patch parameters with their 128 values each. How patch
// changes reach the engine belongs to the patch subsystem; the document
// keeps what the project stores.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "document/field_walker.h"

namespace ov {

class CContainer;
class CPlug2;

// One patch parameter: a plug's value kept once per patch.
class PatchParameter {
 public:
  // The value types, named by the editor persistence ids that streams store.
  enum ValueType : int32_t { kEnum = 0, kText = 1, kBool = 4, kFloat = 6, kInt = 8 };
  static bool IsValueType(int32_t persistence_id);

  explicit PatchParameter(int32_t value_type);
  void Serialize(FieldWalker& walker);

  int32_t value_type() const { return value_type_; }
  int32_t id() const { return id_; }
  void set_id(int32_t id) { id_ = id; }
  CPlug2* plug() const { return plug_; }
  void set_plug(CPlug2* plug) { plug_ = plug; }
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }
  int32_t midi_controller() const { return midi_controller_; }

  // Every slot takes the value that `text` gives for the value type (a
  // base-10 integer, a number, or the text itself).
  void SetAllFromText(const std::string& text);
  void SetSlotFromText(int32_t patch, const std::string& text);
  // The value of one slot as text, in the C locale.
  std::string SlotText(int32_t patch) const;

 private:
  void WalkSlot(FieldWalker& walker, std::size_t slot);

  int32_t value_type_;
  int32_t id_ = -1;
  CPlug2* plug_ = nullptr;
  std::string name_;
  bool ignore_program_change_ = false;
  int32_t midi_controller_ = -1;
  bool hidden_ = false;
  std::vector<int32_t> numbers_;  // enumerated, bool and int values
  std::vector<float> floats_;
  std::vector<std::string> texts_;
};

class CPatchManager : public Persistent {
 public:
  static constexpr int32_t kPatchCount = 128;
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  CPatchManager();
  ~CPatchManager() override;
  void Serialize(FieldWalker& walker) override;

  int32_t current_patch() const { return current_patch_; }
  // Stores the number only; applying a patch is the patch subsystem's work.
  void SetCurrentPatch(int32_t patch) { current_patch_ = patch; }
  // The stored name, or "Patch %3d" of patch + 1. -1 means the current patch.
  std::string PatchName(int32_t patch) const;
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

 private:
  // Keeps the parameter's id when it is free, else draws a free one. False
  // when every id is taken.
  bool Register(std::unique_ptr<PatchParameter> parameter);
  void WalkParameters(FieldWalker& walker);

  int32_t current_patch_ = 0;
  std::map<int32_t, std::string> names_;
  std::map<int32_t, std::unique_ptr<PatchParameter>> parameters_;
  CContainer* container_ = nullptr;
  std::minstd_rand id_source_;
};

}  // namespace ov
