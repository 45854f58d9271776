// The panel part of a module from a module library: the structure the
// library's makeModule made for one CPlugin2, the visual objects it draws
// in, the fonts it was given, and its calls of the panel host callback.
//
// Thread: editor, for every call. Panel parts never meet the audio thread;
// they reach their engine part only through "sdk" messages.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "document/geometry.h"
#include "editor/canvas.h"
#include "editor/skins/font_cache.h"
#include "extmodules/module_library.h"
#include "modules/module_panel.h"
#include "patches/idle_list.h"

namespace ov {

class CPlug2;
class CPlugin2;
class CVisualOb;
class Module_Info_Plugin;

class PluginPanel : public ModulePanel, public IdleClient {
 public:
  // Visual objects a library learns of are named by address; a panel
  // remembers at most this many open ones, and at most this many fonts.
  static constexpr std::size_t kMaxViews = 64;
  static constexpr std::size_t kMaxFonts = 64;

  // makeModule(index, 2, ...) for `owner`: null when the library gives no
  // panel structure (a message when it cannot be loaded or lacks makeModule).
  static std::unique_ptr<PluginPanel> Make(const Module_Info_Plugin& type, CPlugin2& owner);
  ~PluginPanel() override;
  PluginPanel(const PluginPanel&) = delete;
  PluginPanel& operator=(const PluginPanel&) = delete;

  intptr_t Send(int32_t opcode, intptr_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                float opt = 0.0f) override;
  // The library's call of the panel host callback.
  intptr_t Answer(int32_t opcode, intptr_t index, intptr_t value, void* ptr, float opt);
  // A turn of the application's idle list, which the library asked for.
  bool OnIdle() override { return Send(OV_PANEL_IDLE) != 0; }
  // The live panel whose structure is at `structure`, or null: a library's
  // first argument is compared, never read through.
  static PluginPanel* Find(const void* structure);

  CPlugin2& Owner() const { return owner_; }
  // The library's structure, which it passes back to the callback.
  void* Structure() const { return structure_; }
  // A visual object drawing for this panel, from its opening to its closing.
  bool AddView(CVisualOb& view);
  void RemoveView(CVisualOb& view);
  // One of this panel's open visual objects, by the address a library holds.
  CVisualOb* FindView(const void* address) const;
  // Has the library paint `view`, `size` pixels, into `canvas` (origin at
  // the view's top-left).
  void Paint(CVisualOb& view, Canvas& canvas, Point size);

  // Panel host callback 10: a font handle for a skin's font category.
  intptr_t FontFor(CVisualOb* view, const char* category, void* info);
  // The font of a handle this panel gave, or null.
  struct FontHandle {
    std::shared_ptr<SkinFont> font;
    Colour colour;
  };
  const FontHandle* FontOf(intptr_t handle) const;

 private:
  PluginPanel(CPlugin2& owner, const Module_Info_Plugin& type, ModuleLibrary library);

  CPlug2* PlugAt(intptr_t index) const;
  intptr_t PlugValue(CPlug2& plug, void* ptr);
  void SetPlugValue(CPlug2& plug, intptr_t value, float opt);
  void SetPlugText(CPlug2& plug, const std::string& text);
  const char* PlugText(CPlug2& plug);
  void SetPlugExtra(CPlug2& plug, const std::string& text);
  std::string PlugExtension(CPlug2& plug) const;
  void AddFeaturePlug(const char* text, intptr_t index, intptr_t value);
  void RemovePlug(CPlug2& plug);
  void MakeParameter(CPlug2& plug);
  intptr_t WindowOf(const void* view) const;
  intptr_t CaptureOf(const void* drawing, int32_t opcode);
  intptr_t ResolveFile(intptr_t room, void* ptr) const;
  intptr_t CallVstHost(const void* record) const;
  // Panel host callback 22: into the application's idle list, or out.
  void SetIdleTurns(bool wanted);

  CPlugin2& owner_;
  const Module_Info_Plugin& type_;
  ModuleLibrary library_;  // keeps the panel's code loaded
  void* structure_ = nullptr;
  OvDispatcher dispatcher_ = nullptr;
  std::vector<CVisualOb*> views_;
  FontCache font_cache_;
  std::vector<FontHandle> fonts_;
  std::map<const CPlug2*, std::string> plug_extras_;  // callback 16, for plugs without parameter
  std::string plug_text_;                             // callback 7's answer
  std::weak_ptr<IdleList> idle_list_;                 // the list this panel was put in
};

// The panel host callback given to libraries. Editor thread.
intptr_t PanelHostCallback(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                           void* ptr, float opt);

}  // namespace ov
