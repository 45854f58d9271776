#include "tools/plugin_window.h"

#include <mutex>

#include "host/ov_vst.h"
#include "platform/text.h"
#include "tools/snapshot.h"

namespace ov {
namespace {

// The host callback has no user pointer; a program shows one plug-in, so
// its printing goes to one stream. Automation may come from any thread.
std::ostream* g_host_log = nullptr;
std::mutex g_host_log_mutex;

}  // namespace

intptr_t PrintingHost(vst2::AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt) {
  switch (opcode) {
    case vst2::audioMasterVersion:
      return 2400;
    case vst2::audioMasterAutomate: {
      std::lock_guard lock(g_host_log_mutex);
      if (g_host_log) *g_host_log << "automate " << index << " " << FormatDouble(opt) << std::endl;
      return 0;
    }
    case vst2::audioMasterUpdateDisplay: {
      std::lock_guard lock(g_host_log_mutex);
      if (g_host_log) *g_host_log << "update display" << std::endl;
      return 0;
    }
    case vst2::audioMasterWantMidi:
      return 1;
    default:
      return 0;
  }
}

void SetPrintingHostLog(std::ostream* log) {
  std::lock_guard lock(g_host_log_mutex);
  g_host_log = log;
}

void LoadedEffect::Close() {
  Dispatch(vst2::effClose);
  SetPrintingHostLog(nullptr);
}

bool LoadEffect(const std::string& path, vst2::HostCallback host, std::ostream& err,
                const char* command_name, LoadedEffect* loaded) {
  if (IsProjectText(path)) {
    std::unique_ptr<OvVst> plugin = LoadPluginInProcess(path, host, err, command_name);
    if (plugin == nullptr) return false;
    // From here on effClose deletes it, as for a plug-in from a library.
    loaded->effect = plugin.release()->getAeffect();
    return true;
  }
  std::string error;
  loaded->library = DynamicLibrary::Open(path, &error);
  if (!loaded->library.IsOpen()) {
    err << command_name << ": " << error << "\n";
    return false;
  }
  void* entry = loaded->library.Symbol("VSTPluginMain");
  if (entry == nullptr) entry = loaded->library.Symbol("main");
  if (entry != nullptr) loaded->effect = reinterpret_cast<vst2::EntryProc>(entry)(host);
  if (loaded->effect == nullptr || loaded->effect->magic != vst2::kEffectMagic) {
    err << command_name << ": " << path << " gave no VST 2 plug-in\n";
    loaded->effect = nullptr;
    return false;
  }
  return true;
}

std::unique_ptr<EditorWindow> EditorWindow::Open(vst2::AEffect* effect, const std::string& title,
                                                 std::ostream& err, const char* command_name) {
  vst2::ERect* rect = nullptr;
  if (!(effect->flags & vst2::effFlagsHasEditor) ||
      effect->dispatcher(effect, vst2::effEditGetRect, 0, 0, &rect, 0.0f) == 0 || rect == nullptr) {
    err << command_name << ": the plug-in has no editor\n";
    return nullptr;
  }
  std::string error;
  std::unique_ptr<X11TopWindow> frame =
      X11TopWindow::Create(rect->right - rect->left, rect->bottom - rect->top, title, &error);
  if (frame == nullptr) {
    err << command_name << ": " << error << "\n";
    return nullptr;
  }
  if (effect->dispatcher(effect, vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(frame->Handle()),
                         0.0f) == 0) {
    err << command_name << ": the editor did not open\n";
    return nullptr;
  }
  return std::unique_ptr<EditorWindow>(new EditorWindow(effect, std::move(frame)));
}

EditorWindow::~EditorWindow() {
  notice_.reset();
  effect_->dispatcher(effect_, vst2::effEditClose, 0, 0, nullptr, 0.0f);
}

bool EditorWindow::ShowNotice(std::string_view text, std::ostream& err, const char* command_name) {
  notice_.reset();
  std::string error;
  notice_ = PanelNotice::Show(frame_->Handle(), frame_->Width(), frame_->Height(), text, &error);
  if (notice_ == nullptr) err << command_name << ": the panel cannot show the message: " << error << "\n";
  return notice_ != nullptr;
}

bool EditorWindow::Pump() {
  if (!frame_->Pump()) return false;
  if (notice_ != nullptr && !notice_->Pump()) notice_.reset();
  effect_->dispatcher(effect_, vst2::effEditIdle, 0, 0, nullptr, 0.0f);
  effect_->dispatcher(effect_, vst2::effIdle, 0, 0, nullptr, 0.0f);
  return true;
}

}  // namespace ov
