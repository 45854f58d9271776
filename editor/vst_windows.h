// Windows of their own for a hosted plug-in, opened from its menu: its
// control panel ("Panel Edit...") and the MIDI controllers that move its
// parameters ("Automation..."). Each is a top-level window titled with the
// module's title, with a panel tree of its own drawn with the editor's
// skins; they live until the user closes them, the editor closes, or the
// module goes.
//
// Thread: editor (opened, idled and closed in the editor's idle calls).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "editor/view_root.h"

namespace ov {

class Ctl_VST_Plugin;
class MessageSink;
class VisualMakers;

inline constexpr int32_t kCommandPanelEdit = 34922;
inline constexpr int32_t kCommandAutomation = 34926;

// The assignment grid: a header row ("Name", "Controller", "Number"), then
// for each of the plug-in's parameters its name, the controller list
// ("<none>", 0 ... 127, 99 selecting an NRPN and 101 an RPN) and the NRPN
// or RPN number.
std::unique_ptr<CVisualOb> MakeVstAutomationGrid(Ctl_VST_Plugin& module);

class VstWindows {
 public:
  // What the windows draw and ask with; all must outlive the windows.
  // `commands` runs the menu commands chosen in them, as the editor's own.
  struct Setup {
    FileDialog* files = nullptr;
    MessageSink* messages = nullptr;
    COrvaneViewBase::Clock clock;
    COrvaneViewBase::CommandHandler commands;
  };
  explicit VstWindows(Setup setup);
  ~VstWindows();
  // The skins windows opened from now on draw with.
  void SetSkins(SkinSource* skins) { skins_ = skins; }

  // Opens the window command `id` asks for (kCommandPanelEdit or
  // kCommandAutomation) for the hosted plug-in at `target` or above it.
  // False, opening nothing, for other commands and targets; a window
  // that cannot open says why in the messages.
  bool Command(CVisualOb& target, int32_t id);
  // Events and repaints; windows closed by the user or whose module has
  // no plug-in any more go.
  void Idle();
  void CloseAll();
  std::size_t Count() const { return windows_.size(); }

 private:
  struct Window;
  void Open(Ctl_VST_Plugin& module, int32_t id);

  Setup setup_;
  SkinSource* skins_ = nullptr;
  std::vector<std::unique_ptr<Window>> windows_;
};

}  // namespace ov
