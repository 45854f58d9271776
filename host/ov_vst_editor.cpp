#include "host/ov_vst_editor.h"

#include <algorithm>
#include <cstdint>

#include "document/container.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/controls/control_faces.h"
#include "editor/containers/panel_containers.h"
#include "editor/controls/control_module_faces.h"
#include "editor/controls/meter_panels.h"
#include "editor/envelope_editor.h"
#include "editor/patch_toolbar.h"
#include "editor/sequencer_panel.h"
#include "editor/skins/default_skin/default_skin.h"
#include "editor/skins/skin_records.h"
#include "editor/soundfont_panel.h"
#include "editor/vst_panel.h"
#include "editor/widgets/widget_faces.h"
#include "extmodules/plugin_panel_view.h"
#include "platform/clock.h"
#include "platform/font_files.h"
#include "platform/message_sink.h"
#include "platform/x11_child_window.h"

namespace ov {
namespace {

// The faces the plug-in's panel shows modules with.
const ControlFaces& ProductFaces() {
  static const ControlFaces faces = [] {
    ControlFaces made;
    AddBitmapFaces(made);
    AddWidgetFaces(made);
    return made;
  }();
  return faces;
}

const VisualMakers& ProductMakers() {
  static const VisualMakers makers = [] {
    VisualMakers made;
    AddPanelContainerMakers(made);
    AddModulePanelViews(made);
    AddSoundfontPanelViews(made);
    AddEnvelopeEditorViews(made);
    AddSequencerPanelViews(made);
    AddControlFrameMaker(made, ProductFaces());
    AddControlModuleMakers(made);
    AddMeterPanels(made);
    AddPatchToolbar(made);
    AddVstPanels(made);
    return made;
  }();
  return makers;
}

// The host interface's own key numbers (1 back space ... 22 delete).
int32_t KeyFromHost(int32_t host_key, int32_t character) {
  static constexpr int32_t kKeys[] = {0,          kKeyBack,   kKeyTab,      0,
                                      kKeyReturn, 0,          kKeyEscape,   kKeySpace,
                                      0,          kKeyEnd,    kKeyHome,     kKeyLeft,
                                      kKeyUp,     kKeyRight,  kKeyDown,     kKeyPageUp,
                                      kKeyPageDown, 0,        0,            kKeyReturn,
                                      0,          kKeyInsert, kKeyDelete};
  if (host_key > 0 && host_key < static_cast<int32_t>(std::size(kKeys))) return kKeys[host_key];
  if (character >= 'a' && character <= 'z') return character - 'a' + 'A';
  if ((character >= 'A' && character <= 'Z') || (character >= '0' && character <= '9')) {
    return character;
  }
  return 0;
}

uint32_t FlagsFromHost(int32_t modifiers) {
  uint32_t flags = 0;
  if (modifiers & 1) flags |= kFlagShift;
  if (modifiers & 2) flags |= kFlagAlt;
  if (modifiers & (4 | 8)) flags |= kFlagControl;
  return flags;
}

int16_t Side(int32_t size) { return static_cast<int16_t>(std::clamp(size, 1, kLargestWindowSide)); }

// A project that gives no panel size (it reads as 0 x 0) shows what its main
// container's panel holds: the extent of the faces the makers give its
// modules, and never less than a window one can find and grab. A size given
// with one side out of range is the project's, clamped below.
constexpr Point kSmallestContentPanel{160, 80};

Point PanelSizeFor(const CContainer& main, Point stored, const VisualMakers& makers) {
  if (stored.x > 0 || stored.y > 0) return stored;
  Point size = kSmallestContentPanel;
  for (const auto& child : main.children()) {
    const std::unique_ptr<CVisualOb> face = makers.Make(*child, kViewControlPanel);
    if (face == nullptr) continue;
    const Rect r = face->GetRect();
    size = {std::max(size.x, r.right), std::max(size.y, r.bottom)};
  }
  return size;
}

}  // namespace

std::unique_ptr<WindowPort> MakeX11Window(void* parent, int32_t width, int32_t height,
                                         std::string* error) {
  // Without a parent the window would be made on the screen itself.
  if (parent == nullptr) {
    *error = "The editor cannot open: the host gave no parent window.";
    return nullptr;
  }
  return X11ChildWindow::Create(reinterpret_cast<uintptr_t>(parent), width, height, error);
}

ov_vst_editor::ov_vst_editor(AudioEffect* effect, CContainer& main, Point panel_size,
                             std::function<void()> app_idle, MessageSink& messages,
                             SkinSetup skins)
    : AEffEditor(effect),
      main_(main),
      app_idle_(std::move(app_idle)),
      messages_(messages),
      skin_setup_(std::move(skins)),
      view_(MillisecondClock),
      popups_(view_, &messages_),
      plugin_windows_({&file_dialog_, &messages_, MillisecondClock,
                       [this](CVisualOb& target, int32_t id, Point p) { RunCommand(target, id, p); }}),
      window_maker_(MakeX11Window),
      makers_(&ProductMakers()) {
  view_.BindToModule(&main_);
  view_.SetPopups(&popups_);
  view_.SetFileDialog(&file_dialog_);
  view_.SetCommandHandler(
      [this](CVisualOb& target, int32_t id, Point p) { RunCommand(target, id, p); });
  const Point size = PanelSizeFor(main_, panel_size, *makers_);
  // The back buffer holds the whole panel, so its sides are kept within
  // kLargestWindowSide (which also keeps the host's 16-bit rectangle from
  // wrapping); a larger panel shows its top-left part.
  rect_ = {0, 0, Side(size.y), Side(size.x)};
  if (size.x > kLargestWindowSide || size.y > kLargestWindowSide) {
    messages_.Post("The panel is " + std::to_string(size.x) + " x " + std::to_string(size.y) +
                       " pixels; the editor shows its top-left " + std::to_string(rect_.right) +
                       " x " + std::to_string(rect_.bottom) + ".",
                   MessageStyle::kWarning);
  }
  view_.SetRect({0, 0, rect_.right, rect_.bottom});
}

ov_vst_editor::~ov_vst_editor() {
  close();
  view_.SetPopups(nullptr);  // the popups go before the view
}

bool ov_vst_editor::getRect(vst2::ERect** rect) {
  if (rect == nullptr) return false;
  *rect = &rect_;
  return true;
}

bool ov_vst_editor::open(void* window) {
  // A window that cannot be made leaves an open editor as it was.
  std::string error;
  std::unique_ptr<WindowPort> port = window_maker_(window, rect_.right, rect_.bottom, &error);
  if (port == nullptr) {
    messages_.Post(error, MessageStyle::kWarning);
    return false;
  }
  close();
  system_window_ = window;
  if (skins_ == nullptr) MakeSkins();
  PopulateView(main_, view_, *makers_);
  view_.AttachWindow(std::move(port));
  view_.SetRect({0, 0, rect_.right, rect_.bottom});
  view_.Open();
  view_.InvalidateAll();
  return true;
}

void ov_vst_editor::close() {
  plugin_windows_.CloseAll();
  view_.Close();
}

void ov_vst_editor::SetCommandHandler(COrvaneViewBase::CommandHandler handler) {
  commands_ = std::move(handler);
}

void ov_vst_editor::RunCommand(CVisualOb& target, int32_t id, Point p) {
  if (plugin_windows_.Command(target, id)) return;
  if (commands_) {
    commands_(target, id, p);
  } else {
    target.Command(id, p);
  }
}

bool ov_vst_editor::CheckOpen() {
  if (!isOpen()) return false;
  WindowPort* port = view_.Port();
  if (port == nullptr || port->CheckAlive()) return true;
  CloseDeadWindow();
  return false;
}

void ov_vst_editor::CloseDeadWindow() {
  if (view_.Port() != nullptr && view_.Port()->ConnectionLost()) {
    messages_.Post(
        "The editor lost its connection to the X server and was closed; the plug-in "
        "goes on without it.",
        MessageStyle::kWarning);
  }
  // The window is gone: the panel goes as at effEditClose, which may still
  // come and then finds nothing open.
  close();
}

void ov_vst_editor::MakeSkins() {
  skins_ = std::make_unique<SkinList>(skin_setup_.folder, BuiltInSkin(FamilyInstalled),
                                      &messages_, FamilyInstalled);
  if (skin_setup_.records != nullptr) {
    for (Skin& skin : SkinsFromRecords(*skin_setup_.records, *skins_)) {
      skins_->Add(std::move(skin));
    }
  }
  if (skin_setup_.decodes != nullptr) skins_->DecodeElsewhere(skin_setup_.decodes);
  view_.SetSkins(skins_.get());
  plugin_windows_.SetSkins(skins_.get());
}

void ov_vst_editor::idle() {
  if (app_idle_) app_idle_();
  if (skins_ != nullptr && skins_->TakeDecoded()) CMyView_base::LookUpImagesAgainUnder(view_);
  view_.Idle();
  plugin_windows_.Idle();
  if (isOpen() && (view_.Port() == nullptr || !view_.Port()->Alive())) CloseDeadWindow();
}

int32_t ov_vst_editor::onKeyDown(int32_t character, int32_t virtual_key, int32_t modifiers) {
  if (!isOpen()) return 0;
  WindowEvent key;
  key.kind = WindowEventKind::kKeyDown;
  key.key = KeyFromHost(virtual_key, character);
  key.flags = FlagsFromHost(modifiers);
  const int32_t typed = virtual_key == 2 ? '\t' : (virtual_key == 4 || virtual_key == 19) ? '\r'
                                                                                         : character;
  if (typed > 0) key.text.push_back(static_cast<char32_t>(typed));
  return view_.HandleEvent(key) ? 1 : 0;
}

int32_t ov_vst_editor::onKeyUp(int32_t character, int32_t virtual_key, int32_t modifiers) {
  if (!isOpen()) return 0;
  WindowEvent key;
  key.kind = WindowEventKind::kKeyUp;
  key.key = KeyFromHost(virtual_key, character);
  key.flags = FlagsFromHost(modifiers);
  return key.key != 0 && view_.HandleEvent(key) ? 1 : 0;
}

}  // namespace ov
