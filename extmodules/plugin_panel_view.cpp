#include "extmodules/plugin_panel_view.h"

#include "document/module_classes.h"
#include "extmodules/module_info_plugin.h"
#include "extmodules/plugin_panel.h"
#include "modules/module_registry.h"
#include "sdk/orvane_module.h"

namespace ov {
namespace {

constexpr uint32_t kDrawsThick = 0x1;
constexpr uint32_t kPanelViewOnly = 0x2;

}  // namespace

PluginPanelView::PluginPanelView(CPlugin2& module) : module_(module) {
  BindToModule(&module);
  const Point size = module.drawing_size();
  SetRect({0, 0, size.x, size.y});
}

PluginPanelView::~PluginPanelView() { Unregister(); }

Point PluginPanelView::PreferredSize() const { return module_.drawing_size(); }

OvDrawing PluginPanelView::Drawing() {
  const Point size = module_.drawing_size();
  return {size.x, size.y, this};
}

PluginPanel* PluginPanelView::Panel() {
  auto* panel = dynamic_cast<PluginPanel*>(module_.panel());
  if (panel == nullptr || !IsOpen()) return panel;
  const uint32_t generation = module_.panel_generation();
  if (registered_ != generation && panel->AddView(*this)) {
    registered_ = generation;
    OvDrawing drawing = Drawing();
    panel->Send(OV_PANEL_VIEW_OPEN, 0, 0, &drawing);
  }
  return registered_ == generation ? panel : nullptr;
}

void PluginPanelView::Unregister() {
  auto* panel = dynamic_cast<PluginPanel*>(module_.panel());
  if (panel != nullptr && registered_ == module_.panel_generation()) {
    OvDrawing drawing = Drawing();
    panel->Send(OV_PANEL_VIEW_CLOSE, 0, 0, &drawing);
    panel->RemoveView(*this);
  }
  registered_ = 0;
}

void PluginPanelView::Open() {
  CPaintObject::Open();
  Panel();
}

void PluginPanelView::Close() {
  Unregister();
  CPaintObject::Close();
}

void PluginPanelView::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyContentsChanged && notification.subject == &module_) {
    FollowDrawingSize();
    InvalidateAll();
    return;
  }
  CPaintObject::OnNotify(notification);
}

void PluginPanelView::ModuleMoved(const Rect& rect) {
  const Point size = module_.drawing_size();
  SetRect({rect.left, rect.top, rect.left + size.x, rect.top + size.y});
}

void PluginPanelView::FollowDrawingSize() {
  const Point size = module_.drawing_size();
  const Rect rect = GetRect();
  if (rect.right - rect.left == size.x && rect.bottom - rect.top == size.y) return;
  SetRect({rect.left, rect.top, rect.left + size.x, rect.top + size.y});
}

void PluginPanelView::Draw(Canvas& canvas) {
  if (PluginPanel* panel = Panel()) panel->Paint(*this, canvas, module_.drawing_size());
}

void PluginPanelView::SendMouse(int32_t opcode, uint32_t flags, Point p) {
  PluginPanel* panel = Panel();
  if (panel == nullptr) return;
  OvDrawing drawing = Drawing();
  panel->Send(opcode, p.x, p.y, &drawing, static_cast<float>(flags));
}

void PluginPanelView::MouseDown(uint32_t flags, Point p) {
  SendMouse(OV_PANEL_MOUSE_DOWN, flags, p);
  CPaintObject::MouseDown(flags, p);
}

void PluginPanelView::MouseUp(uint32_t flags, Point p) {
  SendMouse(OV_PANEL_MOUSE_UP, flags, p);
  CPaintObject::MouseUp(flags, p);
}

void PluginPanelView::MouseMove(uint32_t flags, Point p) {
  SendMouse(OV_PANEL_MOUSE_MOVE, flags, p);
}

void AddModulePanelViews(VisualMakers& makers) {
  makers.Add([](CDocOb& object, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    auto* module = dynamic_cast<CPlugin2*>(&object);
    if (module == nullptr || module->panel() == nullptr || module->drawing_size().x <= 0) {
      return nullptr;
    }
    const bool panel_view = view_kind == kViewControlPanel;
    const uint32_t flags = module->drawing_flags();
    if (!panel_view && (flags & kPanelViewOnly) != 0) return nullptr;
    auto view = std::make_unique<PluginPanelView>(*module);
    if ((flags & kDrawsThick) != 0 && (panel_view || (flags & kPanelViewOnly) == 0)) {
      view->SetFlags(kVoThick);
    }
    if (panel_view) {
      const Point at{module->panel_rect().left, module->panel_rect().top};
      const Point size = module->drawing_size();
      view->SetRect({at.x, at.y, at.x + size.x, at.y + size.y});
    }
    return view;
  });
}

void InstallModulePanels(ModuleRegistry& registry) {
  registry.SetPanelMaker(
      [](const Module_Info& type, CDocOb& owner, bool) -> std::unique_ptr<ModulePanel> {
        const auto* library_type = dynamic_cast<const Module_Info_Plugin*>(&type);
        auto* module = dynamic_cast<CPlugin2*>(&owner);
        if (library_type == nullptr || module == nullptr) return nullptr;
        return PluginPanel::Make(*library_type, *module);
      });
}

}  // namespace ov
