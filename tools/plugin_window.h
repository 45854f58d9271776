// What `orvane show` and `orvane play` share: the plug-in loaded as a host
// holds it, with a host callback that prints what the plug-in reports, and
// its editor in a top-level window pumped from the program's main thread.
// Thread: the program's main thread, except where a function says more.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/dynamic_library.h"
#include "platform/vst2.h"
#include "platform/x11_top_window.h"
#include "tools/panel_notice.h"

namespace ov {

// The plug-in as a host holds it: its record, and the library when loaded
// from one (unloaded after the plug-in is closed).
struct LoadedEffect {
  intptr_t Dispatch(int32_t opcode, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, 0, value, ptr, opt);
  }
  // effClose, after which the printing host prints nowhere.
  void Close();

  DynamicLibrary library;
  vst2::AEffect* effect = nullptr;
};

// The host callback: answers the version and MIDI wishes, prints automation
// and display updates to the stream set below. Any thread.
intptr_t PrintingHost(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                      void* ptr, float opt);
// Where PrintingHost prints; null: nowhere. Set while no plug-in runs.
void SetPrintingHostLog(std::ostream* log);

// Loads a JSON project in this process, or a plug-in library, handing it
// `host`. False after telling `err`, prefixed with `command_name`.
bool LoadEffect(const std::string& path, vst2::HostCallback host, std::ostream& err,
                const char* command_name, LoadedEffect* loaded);

// The plug-in's editor open in a window of its own; closed on destruction.
class EditorWindow {
 public:
  // Null after telling `err` why (no editor, no display, editor refused).
  static std::unique_ptr<EditorWindow> Open(vst2::AEffect* effect, const std::string& title,
                                            std::ostream& err, const char* command_name);
  ~EditorWindow();
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // One round of window events and the plug-in's idle calls; false once the
  // window was closed.
  bool Pump();
  X11TopWindow& Frame() { return *frame_; }

  // A strip over the bottom of the panel telling `text`, until another
  // replaces it or it is cleared; false after telling `err` why it cannot
  // be shown.
  bool ShowNotice(std::string_view text, std::ostream& err, const char* command_name);
  void ClearNotice() { notice_.reset(); }
  const PanelNotice* Notice() const { return notice_.get(); }

 private:
  EditorWindow(vst2::AEffect* effect, std::unique_ptr<X11TopWindow> frame)
      : effect_(effect), frame_(std::move(frame)) {}
  vst2::AEffect* effect_;
  std::unique_ptr<X11TopWindow> frame_;
  std::unique_ptr<PanelNotice> notice_;  // above the editor, inside the frame
};

}  // namespace ov
