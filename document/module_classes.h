// Module document classes that add little or nothing to CUG.
//
// Threads: editor only.
#pragma once

#include <memory>
#include <string>

#include "document/module.h"
#include "document/same_fields.h"
#include "modules/module_panel.h"

namespace ov {

class EngineHost;
class IdleList;

// `CUG2`, `Ctl_Keyboard2`, `Ctl_SelfDrawing2`: a module with a panel rectangle.
class CUG2 : public CUG {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

 protected:
  Rect* ViewRectField(int32_t view_kind) override {
    return view_kind == kViewControlPanel ? &panel_rect_ : CUG::ViewRectField(view_kind);
  }
  Rect panel_rect_;
};

extern const SerialClass kCtl_Keyboard2;
extern const SerialClass kCtl_SelfDrawing2;
// Not derived from CUG2 in the stream's class tree: the same fields only.
class Ctl_Keyboard2 : public CUG2 {
 public:
  static constexpr const SerialClass& kClass = kCtl_Keyboard2;
  const SerialClass& GetClass() const override { return kClass; }
};
class Ctl_SelfDrawing2 : public CUG2 {
 public:
  static constexpr const SerialClass& kClass = kCtl_SelfDrawing2;
  const SerialClass& GetClass() const override { return kClass; }
};

// `Ctl_WaveShape`, `Ctl_WaveShape2`: before version 95271 plain module
// fields, then those of Ctl_SelfDrawing2.
class Ctl_WaveShape : public Ctl_SelfDrawing2 {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;
};
extern const SerialClass kCtl_WaveShape2;
using Ctl_WaveShape2 = SameFieldsAs<kCtl_WaveShape2, Ctl_WaveShape>;

// `CPlugin`: a module of a type from an external module library, named by
// key. A key that is not registered gives the "Plugin" type and a message.
class CPlugin : public CUG {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;
  // A new module stores its type's key.
  void SetUpAsNew(const Module_Info& type) override;

  const std::string& plugin_key() const { return plugin_key_; }
  // "Reload DLL", which the application carries out.
  void AddMenuEntries(ContextMenu& menu) override {
    menu.Add(kCommandReloadLibrary, "Reload DLL");
  }

 private:
  std::string plugin_key_;
};

// `CPlugin2`: a library module with a panel part, which draws the module in
// its visual objects and follows its plugs, connections and "sdk" messages
// from its engine part. The panel part exists from initialisation until the
// object goes (or its library is reloaded).
class CPlugin2 : public CPlugin {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  ~CPlugin2() override;
  void Serialize(FieldWalker& walker) override;
  // Makes the panel part.
  void InitialiseAfterLoad(bool loaded) override;
  // "sdk" from the engine part goes to the panel part.
  void OnMessage(uint32_t message_id, MessageReader& payload) override;
  void OnPlugValueChanged(CPlug2& plug) override;
  void OnConnectionsChanged(CPlug2& plug, bool made) override;

  ModulePanel* panel() const { return panel_.get(); }
  // Counts the panel parts made, so that visual objects tell a remade one
  // from the one they opened with.
  uint32_t panel_generation() const { return panel_generation_; }
  // Closes and drops the panel part (before its library is reloaded), and
  // makes it anew afterwards.
  void DropPanelPart();
  void MakePanelPart(bool loaded);
  // The panel part's answer to the yes/no query.
  bool Query() const;

  // What the panel part set: the size it draws at (width 0: it does not
  // draw), its drawing flags and its yes/no setting.
  Point drawing_size() const { return drawing_size_; }
  void SetDrawingSize(Point size) { drawing_size_ = size; }
  uint32_t drawing_flags() const { return drawing_flags_; }
  void SetDrawingFlags(uint32_t flags) { drawing_flags_ = flags; }
  bool setting() const { return setting_; }
  void SetSetting(bool on) { setting_ = on; }
  const Rect& panel_rect() const { return panel_rect_; }
  // The position of `plug` in the plug list; -1 when it is not this module's.
  int32_t PlugPosition(const CPlug2& plug) const;

  // Sends "sdk" to the running engine part: false when there is none, its
  // engine is stopping, or the bytes do not fit one message.
  bool SendToEngine(int32_t value, const void* bytes, int32_t count);
  // The plug-in side of the engine that runs this module, or null.
  EngineHost* RunningHost() const;
  // The application's idle list, or null for a module outside a document.
  std::shared_ptr<IdleList> ApplicationIdleList() const;

 protected:
  Rect* ViewRectField(int32_t view_kind) override {
    return view_kind == kViewControlPanel ? &panel_rect_ : CPlugin::ViewRectField(view_kind);
  }

 private:
  bool setting_ = false;
  Rect panel_rect_;
  uint32_t drawing_flags_ = 0;
  Point drawing_size_;
  std::unique_ptr<ModulePanel> panel_;
  uint32_t panel_generation_ = 0;
};

// The panel-side helper modules: document/ui_converters.h,
// document/ui_patch_memory.h and document/ui_module.h.

extern const SerialClass kCSwitch;
extern const SerialClass kCControlPlugs;
extern const SerialClass kCFeedbackDelay;
extern const SerialClass kCMidiAutomator;
using CSwitch = SameFieldsAs<kCSwitch, CUG>;
using CControlPlugs = SameFieldsAs<kCControlPlugs, CUG>;
using CFeedbackDelay = SameFieldsAs<kCFeedbackDelay, CUG>;
using CMidiAutomator = SameFieldsAs<kCMidiAutomator, CUG>;

}  // namespace ov
