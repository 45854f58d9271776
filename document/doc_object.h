// CDocOb: every object of the document tree (modules, connections, panel
// objects) - its module type and its place in the tree.
//
// Threads: editor only, like the whole document.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/field_walker.h"
#include "document/geometry.h"
#include "document/menu_entries.h"
#include "document/notifier.h"
#include "document/persistent.h"

namespace ov {

class CContainer;
class COrvaneDocBase;
class Module_Info;

// The view kind of the control panel, the only one the plug-in shows.
constexpr int32_t kViewControlPanel = 128;

class CDocOb : public Persistent, public Notifier {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  // The CDocOb fields: the module type (by legacy number or by key) and, in
  // very old streams, a parent that the parent-link pass replaces.
  void Serialize(FieldWalker& walker) override;

  // Null when the stored key names no registered type.
  const Module_Info* module_type() const { return module_type_; }
  // The key as stored, kept even when no type is registered under it.
  const std::string& type_key() const { return type_key_; }
  void SetModuleType(const Module_Info* type);
  // Looks `key` up in `walker`'s registry.
  void SetModuleTypeKey(const FieldWalker& walker, const std::string& key);
  // Takes a type found by other means, keeping the stored key as it is.
  void ResolveModuleType(const Module_Info* type) { module_type_ = type; }

  CContainer* parent() const { return parent_; }
  void SetParent(CContainer* parent) { parent_ = parent; }
  // The parent-link pass, run from the root after a load.
  virtual void ConnectParents(CContainer* parent) { parent_ = parent; }
  // The initialisation pass; `loaded` is false for an object made new.
  virtual void InitialiseAfterLoad(bool /*loaded*/) {}

  // Set by the object itself or by any container above it.
  bool IsExcluded() const;
  // The document of the root, found by walking up the parents.
  COrvaneDocBase* GetDocument() const;

  bool selected() const { return selected_; }
  void SetSelected(bool selected);
  bool engine_selection_mark() const { return engine_selection_mark_; }
  void TakeEngineSelectionMark() { engine_selection_mark_ = selected_; }

  // Where the object lies in the views of `view_kind` (128 the control
  // panel); none for kinds it has no place in.
  std::optional<Rect> ViewRect(int32_t view_kind) const;
  // Moves it there; listeners hear code 35 with the view kind when that
  // changed anything. False for kinds it has no place in.
  bool SetViewRect(int32_t view_kind, const Rect& rect);

  // The entries the object adds to the context menu of what shows it, and
  // the commands of those entries (true when taken).
  virtual void AddMenuEntries(ContextMenu& /*menu*/) {}
  virtual bool OnMenuCommand(int32_t /*id*/) { return false; }

 protected:
  // The stored rectangle of a view kind, or null.
  virtual Rect* ViewRectField(int32_t /*view_kind*/) { return nullptr; }
  virtual bool ExclusionMark() const { return false; }
  // The int32 legacy type number of old streams.
  void LegacyTypeNumber(FieldWalker& walker);

 private:
  const Module_Info* module_type_ = nullptr;
  std::string type_key_;
  int32_t legacy_type_ = -1;  // as stored by streams that name types by number
  CContainer* parent_ = nullptr;
  bool selected_ = false;
  bool engine_selection_mark_ = false;
};

}  // namespace ov
