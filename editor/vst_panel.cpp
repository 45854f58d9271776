#include "editor/vst_panel.h"

#include <algorithm>

#include "document/param_msg_map.h"
#include "document/vst_parameters.h"
#include "document/vst_plugin_module.h"
#include "editor/canvas.h"
#include "editor/groups.h"
#include "editor/patch_toolbar.h"
#include "editor/scroll_decorator.h"
#include "editor/view_root.h"
#include "editor/widgets/default_controls.h"
#include "editor/widgets/text_labels.h"

namespace ov {
namespace {

static_assert(kVstParameterDatatype == kHostedParameterType);

// Where `object`'s client area lies in the root's window, and the part of
// it every ancestor shows (a scroll window shows its view, less the bars).
struct Placement {
  PixelRect frame;
  PixelRect visible;
};

Placement PlacementOf(const CVisualOb& object) {
  const Point origin = object.ToRoot({0, 0});
  const Rect client = object.ClientRect();
  Placement at;
  at.frame = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
  at.visible = at.frame;
  for (const CVisualOb* above = object.parent(); above != nullptr; above = above->parent()) {
    const auto* scrolled = dynamic_cast<const ScrollDecorator*>(above);
    const Rect area = scrolled != nullptr ? scrolled->ViewArea() : above->ClientRect();
    const Point o = above->ToRoot({0, 0});
    at.visible = Intersect(at.visible, {o.x + area.left, o.y + area.top, o.x + area.right,
                                        o.y + area.bottom});
  }
  return at;
}

// The grid that keeps the name adaptors its labels show.
class VstParameterGrid : public CGroup {
 public:
  ParamMsgMap& Adaptor(generic_parameter& parameter) {
    adaptors_.push_back(std::make_unique<ParamMsgMap>(&parameter, ParamMsgMap::kName));
    return *adaptors_.back();
  }

 private:
  std::vector<std::unique_ptr<ParamMsgMap>> adaptors_;
};

}  // namespace

std::unique_ptr<CVisualOb> MakeGridLabel(std::string text) {
  auto label = std::make_unique<CMyTextLabel>(std::move(text));
  label->SetColour(MakeColour(0, 0, 0));
  label->SetFlags(kVoOwned);
  return label;
}

void StartGrid(CGroup& grid, std::initializer_list<const char*> headers) {
  grid.SetFlags(kVoOwned);
  grid.set_row_lines(true);
  int32_t column = 0;
  for (const char* header : headers) grid.AddInCell(MakeGridLabel(header), 0, column++);
}

VstEditorHost::VstEditorHost(Ctl_VST_Plugin& module) : module_(module) {
  SetFlags(kVoOwned);
  const VST_Wrapper::EditorSize size = module_.wrapper().EditorRect();
  editor_size_ = {size.width, size.height};
  CPaintObject::SetRect({0, 0, size.width, size.height});
}

VstEditorHost::~VstEditorHost() { CloseEditor(); }

Point VstEditorHost::PreferredSize() const {
  if (label_ == nullptr) return editor_size_;
  const Point text = label_->PreferredSize();
  return {std::max(editor_size_.x, text.x), std::max(editor_size_.y, text.y)};
}

void VstEditorHost::Open() {
  CPaintObject::Open();
  VST_Wrapper& plugin = module_.wrapper();
  if (plugin.editor_open.load()) {
    ShowNotice(kVstPanelTwice);
    return;
  }
  COrvaneViewBase* root = Root();
  WindowPort* port = root != nullptr ? root->Port() : nullptr;
  if (port == nullptr) {
    ShowNotice("The plug-in's editor cannot open: the panel has no window.");
    return;
  }
  std::string error;
  window_ = port->OpenNativeChild(editor_size_.x, editor_size_.y, &error);
  if (window_ == nullptr) {
    ShowNotice(error);
    return;
  }
  Follow();
  if (!plugin.OpenEditor(window_->NativeHandle())) {
    window_.reset();
    ShowNotice(kVstPanelTwice);
    return;
  }
  // Some plug-ins know their editor's size only once it is open.
  FollowEditorSize();
  root->SetTimer(this, kFollowTimer, kFollowMs);
}

void VstEditorHost::FollowEditorSize() {
  const VST_Wrapper::EditorSize size = module_.wrapper().EditorRect();
  if (size.width == editor_size_.x && size.height == editor_size_.y) return;
  editor_size_ = {size.width, size.height};
  const Rect r = GetRect();
  SetRect({r.left, r.top, r.left + size.width, r.top + size.height});
  if (parent() != nullptr) parent()->ChildResized(*this);
}

void VstEditorHost::CloseEditor() {
  if (window_ == nullptr) return;
  // The plug-in takes its windows out of ours before ours go.
  module_.wrapper().CloseEditor();
  window_.reset();
}

void VstEditorHost::Close() {
  if (COrvaneViewBase* root = Root()) root->KillTimer(this, kFollowTimer);
  CloseEditor();
  CPaintObject::Close();
  label_ = nullptr;  // owned: closing deleted it
  notice_.clear();
}

void VstEditorHost::ShowNotice(std::string text) {
  notice_ = std::move(text);
  if (label_ == nullptr) {
    label_ = static_cast<CMyTextLabel*>(AdoptChild(MakeGridLabel(notice_), false));
  } else {
    label_->SetText(notice_);
  }
  label_->SetRect({0, 0, label_->PreferredSize().x, label_->PreferredSize().y});
  if (IsOpen()) label_->Open();
  const Rect r = GetRect();
  const Point size = PreferredSize();
  SetRect({r.left, r.top, r.left + size.x, r.top + size.y});
  if (parent() != nullptr) parent()->ChildResized(*this);
}

void VstEditorHost::SetRect(const Rect& rect) {
  CPaintObject::SetRect(rect);
  Follow();
}

void VstEditorHost::Follow() {
  if (window_ == nullptr) return;
  const Placement at = PlacementOf(*this);
  window_->Place(at.frame, at.visible);
  window_->Show(IsOpen() && Root() != nullptr);
}

void VstEditorHost::OnTimer(int32_t id) {
  if (id != kFollowTimer || window_ == nullptr) return;
  if (!window_->Alive()) {
    // Destroyed from outside (its parent went): the plug-in is told, and
    // nothing of it is touched again.
    CloseEditor();
    if (COrvaneViewBase* root = Root()) root->KillTimer(this, kFollowTimer);
    ShowNotice("The plug-in's editor window was closed from outside.");
    return;
  }
  FollowEditorSize();
  Follow();
}

void VstEditorHost::Draw(Canvas& canvas) {
  canvas.FillRect(ClientRect(), SystemColourValue(SystemColour::kWindow));
}

VstPanelView::VstPanelView(Ctl_VST_Plugin& module, std::unique_ptr<CVisualOb> content)
    : content_(nullptr) {
  SetFlags(kVoOwned);
  BindToModule(&module);
  if (content != nullptr) {
    content->SetFlags(kVoOwned);
    content_ = AdoptChild(std::move(content), false);
  }
}

Point VstPanelView::PreferredSize() const {
  return content_ != nullptr ? content_->PreferredSize() : Point{20, 20};
}

void VstPanelView::Open() {
  if (content_ != nullptr) {
    const Point size = content_->PreferredSize();
    content_->SetRect({0, 0, size.x, size.y});
  }
  CPaintObject::Open();
}

void VstPanelView::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyScrolled) {
    if (auto* host = dynamic_cast<VstEditorHost*>(content_)) host->Follow();
    return;
  }
  CPaintObject::OnNotify(notification);
}

void VstPanelView::ChildResized(CVisualOb& child) {
  if (&child != content_) return;
  const Point size = content_->PreferredSize();
  content_->SetRect({0, 0, size.x, size.y});
  if (parent() != nullptr) parent()->ChildResized(*this);
  InvalidateAll();
}

void VstPanelView::Draw(Canvas& canvas) {
  canvas.FillRect(ClientRect(), SystemColourValue(SystemColour::kWindow));
}

std::unique_ptr<CVisualOb> MakeVstParameterGrid(Ctl_VST_Plugin& module) {
  auto grid = std::make_unique<VstParameterGrid>();
  StartGrid(*grid, {"Name", "Value", "Units"});
  int32_t row = 1;
  int32_t tab_order = 0;
  for (const auto& parameter : module.parameters()) {
    if (parameter == nullptr) continue;
    if (std::unique_ptr<CVisualOb> name = MakeDefaultControl(grid->Adaptor(*parameter))) {
      name->SetFlags(kVoOwned);
      grid->AddInCell(std::move(name), row, 0);
    }
    if (dynamic_cast<parameter_vst*>(parameter.get()) != nullptr) {
      if (std::unique_ptr<CVisualOb> value = MakeDefaultControl(*parameter)) {
        value->SetFlags(kVoOwned);
        value->set_tab_order(tab_order++);
        grid->AddInCell(std::move(value), row, 1);
      }
      grid->AddInCell(MakeGridLabel(parameter->Label()), row, 2);
    }
    ++row;
  }
  return grid;
}

std::unique_ptr<CVisualOb> MakeVstPanel(Ctl_VST_Plugin& module, int32_t view_kind) {
  if (view_kind != kViewControlPanel) return nullptr;
  const VST_Wrapper& plugin = module.wrapper();
  std::unique_ptr<CVisualOb> content;
  if (plugin.editor_open.load()) {
    content = MakeGridLabel(kVstPanelTwice);
  } else if (plugin.HasEditor()) {
    content = std::make_unique<VstEditorHost>(module);
  } else {
    content = MakeVstParameterGrid(module);
  }
  auto panel = std::make_unique<VstPanelView>(module, std::move(content));
  auto scrolled = std::make_unique<ScrollDecorator>(std::move(panel),
                                                    ScrollDecorator::kSizeToContent);
  return std::make_unique<CPatchSelDecorator>(module, std::move(scrolled));
}

void AddVstPanels(VisualMakers& makers) {
  makers.AddPanelMaker([](CUG& module, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    auto* hosted = dynamic_cast<Ctl_VST_Plugin*>(&module);
    return hosted != nullptr ? MakeVstPanel(*hosted, view_kind) : nullptr;
  });
}

}  // namespace ov
