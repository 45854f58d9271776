// CUG: one module instance of the document - its plugs, title, exclusion
// mark and place in the structure view.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/doc_object.h"
#include "document/geometry.h"
#include "document/plug.h"
#include "patches/module_target.h"

namespace ov {

class CPatchManager;
class generic_parameter;

// The module is also the editor-side receiver of its generator's messages.
class CUG : public CDocOb, public ModuleMessageTarget {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;
  void InitialiseAfterLoad(bool loaded) override;

  // What the editor does to a module it creates: the type's name as title,
  // one plug per descriptor of the type, with the descriptor's default.
  virtual void SetUpAsNew(const Module_Info& type);

  const std::vector<std::unique_ptr<CPlug2>>& plugs() const { return plugs_; }
  // Adds a plug for descriptor `index`, after the plugs with lower or equal
  // indexes. Container plugs become CPlugIO2, nameable ones CPlugNameable.
  virtual CPlug2* AddPlug(int16_t index);
  // Takes a plug made elsewhere, placed as AddPlug places it.
  CPlug2* InsertPlug(std::unique_ptr<CPlug2> plug);
  // Removes and deletes `plug` and its partner, after their connections
  // (through the container, as the editor removes them). A plug that a patch
  // parameter holds stays, since the parameter keeps it for life: false.
  bool RemovePlug(CPlug2* plug);
  // The first plug with that name, or null.
  CPlug2* FindPlug(std::string_view name) const;
  // The position of `plug` among this module's plugs that have engine plugs;
  // -1 when it has none. The graph builder and the patch parameters both
  // number engine plugs with it.
  int32_t GetEnginePlugIndex(const CPlug2* plug) const;
  // Marks every connection from an output of this module to a plug of
  // `other`; true when any was marked.
  bool HighlightLinesTo(const CUG& other);

  const std::string& title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }
  bool exclusion_mark() const { return excluded_; }
  void SetExclusionMark(bool excluded);
  const Rect& structure_rect() const { return structure_rect_; }

  // A plug's value was changed through its patch parameter or its panel.
  virtual void OnPlugValueChanged(CPlug2& /*plug*/) {}
  // The editor made or removed a connection of `plug`.
  virtual void OnConnectionsChanged(CPlug2& /*plug*/, bool /*made*/) {}
  // RemovePlug deleted `gone` (its address only: the plug is gone).
  virtual void OnPlugRemoved(const CPlug2* /*gone*/) {}
  // The items `plug` offers when the module knows them better than its
  // descriptor's list does (what it loaded decides them); else nothing.
  virtual std::optional<std::string> PlugItemList(const CPlug2& /*plug*/) const {
    return std::nullopt;
  }
  // `patch` became the current patch of the container holding this module
  // directly (every module it holds hears it, its own value or not).
  virtual void OnPatchChanged(int32_t /*patch*/) {}
  // The variable a plug of this module keeps its value in, when the module
  // binds the plug to one of its own (the panel-side helper modules); else
  // null.
  virtual generic_feature* PlugVariable(const CPlug2& /*plug*/) { return nullptr; }
  // Appends the panel parameters this module offers panels and hosts, in
  // their own order.
  virtual void CollectGenericParameters(std::vector<generic_parameter*>& /*out*/) {}

 protected:
  bool ExclusionMark() const override { return excluded_; }
  // Registers this module's patch-stored plugs with the patch manager of
  // the container that holds the module (step 4 of the initialisation pass).
  void RegisterPatchPlugs(CPatchManager* manager);

 private:
  std::vector<std::unique_ptr<CPlug2>> plugs_;
  std::string title_;
  bool excluded_ = false;
  Rect structure_rect_;
};

// A plug that stands for an engine plug: neither an unused spare nor a
// panel-side plug that is not stored per patch.
bool HasEnginePlug(const CPlug2& plug);
// A plug whose value a patch parameter keeps, one per patch: patch-stored,
// or an input registered as a patch parameter.
bool KeepsPatchValues(const CPlug2& plug);

// `CUG_with_patches`: a module whose panel control keeps per-patch values.
class CUG_with_patches : public CUG {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
};

}  // namespace ov
