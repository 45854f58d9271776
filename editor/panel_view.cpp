#include "editor/panel_view.h"

#include "document/container.h"
#include "document/document.h"
#include "editor/context_menu.h"
#include "editor/scroll_decorator.h"
#include "editor/canvas.h"
#include "editor/skins/skin_drawing.h"
#include "editor/skins/skin_list.h"
#include "editor/view_root.h"

namespace ov {
namespace {

// View kinds a container never builds a panel for.
constexpr int32_t kViewStructure = 512;
constexpr int32_t kViewHidden = 2048;

}  // namespace

void CMyView_base::OnNotify(const Notification& notification) {
  if ((notification.code == kNotifyModuleReplaced || notification.code == kNotifyChildAdded) &&
      notification.subject != nullptr && notification.subject != Module()) {
    // A replaced module's object goes first; either way it is made anew.
    if (notification.code == kNotifyModuleReplaced) {
      const std::vector<CVisualOb*> children = this->children();
      for (CVisualOb* child : children) {
        if (child->Module() == notification.subject) DestroyChild(child);
      }
    }
    AddVisualFor(*static_cast<CDocOb*>(const_cast<void*>(notification.subject)));
    return;
  }
  if (notification.code == kNotifyModuleChanged && notification.subject != nullptr) {
    // A module's plugs or looks changed: its object is made again.
    const std::vector<CVisualOb*> children = this->children();
    for (CVisualOb* child : children) {
      if (!child->IsOpen() || child->Module() != notification.subject) continue;
      child->InvalidateAll();
      child->Close();
      child->Open();
      child->BringToFront();
      child->InvalidateAll();
    }
    return;
  }
  if (notification.code != kNotifySkinChanged || notification.subject != Module()) {
    CPaintObject::OnNotify(notification);
    return;
  }
  LookUpImagesAgain();
}

void CMyView_base::AddVisualFor(CDocOb& object) {
  if (makers_ == nullptr || !IsOpen()) return;
  std::unique_ptr<CVisualOb> made = makers_->Make(object, ViewKind());
  if (made == nullptr) return;
  CVisualOb* child = AdoptChild(std::move(made), false);
  child->Open();
  KeepChildReachable(*child);
}

void CMyView_base::LookUpImagesAgainUnder(CVisualOb& object) {
  if (auto* list = dynamic_cast<CMyView_base*>(&object)) {
    list->LookUpImagesAgain();
    return;  // the reopened children looked theirs up anew
  }
  const std::vector<CVisualOb*> children = object.children();
  for (CVisualOb* child : children) LookUpImagesAgainUnder(*child);
}

void CMyView_base::LookUpImagesAgain() {
  SkinChanged();
  const std::vector<CVisualOb*> children = this->children();
  for (CVisualOb* child : children) {
    if (!child->IsOpen()) continue;
    child->Close();
    child->Open();
  }
  InvalidateAll();
}

CMyView::CMyView(CContainer& container) : container_(container) {
  SetFlags(kVoFocusable | kVoOwned | kVoGridFullHeight | 0x80 | kVoGridFullWidth);
  BindToModule(&container);
}

Skin* CMyView::GetSkin() {
  if (ViewKind() == kViewControlPanel) {
    if (COrvaneViewBase* root = Root(); root != nullptr && root->Skins() != nullptr) {
      return &root->Skins()->SkinNamed(container_.skin_name());
    }
  }
  return CMyView_base::GetSkin();
}

void CMyView::OnNotify(const Notification& notification) {
  // The container's own notices only: whatever scrolled, the window tells
  // its panel directly.
  if (notification.code == kNotifyScrolled && notification.subject != nullptr) {
    if (ViewKind() == kViewControlPanel) {
      container_.SetPanelOffset(*static_cast<const Point*>(notification.subject));
    }
    return;
  }
  if (notification.code == kNotifyDocumentSaved) return;
  CMyView_base::OnNotify(notification);
}

void CMyView::Close() {
  CMyView_base::Close();
  background_ = PixelImage();
  background_looked_up_ = false;
}

void CMyView::SkinChanged() {
  background_ = PixelImage();
  background_looked_up_ = false;
}

void CMyView::LoadBackground() {
  background_looked_up_ = true;
  background_ = PixelImage();
  mode_letter_ = -1;
  if (ViewKind() != kViewControlPanel) return;
  COrvaneViewBase* root = Root();
  Skin* skin = GetSkin();
  if (root == nullptr || root->Skins() == nullptr || skin == nullptr) return;
  const std::shared_ptr<const SkinImage> image =
      root->Skins()->Image(*skin, "background", SkinMode::kColour);
  if (image == nullptr) return;
  background_ = OpaqueCopy(image->pixels);
  mode_letter_ = image->description.mode_letter;
}

int32_t CMyView::GridSize() const {
  const COrvaneDocBase* document = container_.GetDocument();
  return document != nullptr && document->grid_option() ? 8 : 1;
}

void CMyView::BuildContextMenu(ContextMenu& menu, Point p) {
  CMyView_base::BuildContextMenu(menu, p);
  const COrvaneDocBase* document = container_.GetDocument();
  if (document != nullptr && !document->about_text().empty()) {
    menu.AddSeparator();
    menu.Add(kCommandAbout, "About...");
  }
}

void CMyView::Draw(Canvas& canvas) {
  // Looked up when first drawn, so that opening the editor decodes nothing.
  if (!background_looked_up_) LoadBackground();
  DrawPanelBackground(canvas, background_, mode_letter_, SystemColourValue(SystemColour::kWindow));
}

std::unique_ptr<CVisualOb> VisualMakers::Make(CDocOb& object, int32_t view_kind) const {
  for (const Maker& maker : makers_) {
    if (std::unique_ptr<CVisualOb> made = maker(object, view_kind)) return made;
  }
  return nullptr;
}

std::unique_ptr<CVisualOb> VisualMakers::MakePanel(CUG& module, int32_t view_kind) const {
  for (const PanelMaker& maker : panel_makers_) {
    if (std::unique_ptr<CVisualOb> made = maker(module, view_kind)) return made;
  }
  return nullptr;
}

const VisualMakers* MakersAbove(CVisualOb& object) {
  for (CVisualOb* at = &object; at != nullptr; at = at->parent()) {
    if (const auto* list = dynamic_cast<const CMyView_base*>(at); list && list->Makers()) {
      return list->Makers();
    }
  }
  return nullptr;
}

CVisualOb* PopulateView(CContainer& container, CVisualOb& host, const VisualMakers& makers) {
  const int32_t kind = host.ViewKind();
  if (kind == kViewStructure || kind == kViewHidden) return nullptr;
  auto panel = std::make_unique<CMyView>(container);
  panel->SetMakers(&makers);
  for (const auto& child : container.children()) {
    if (std::unique_ptr<CVisualOb> made = makers.Make(*child, kind)) {
      panel->AdoptChild(std::move(made), false);
    }
  }
  // The plug-in's root view shows its panel bare: no toolbar, no scroll
  // bars.
  if (host.flags() & kVoNoScrollDecorator) return host.AdoptChild(std::move(panel), false);
  CVisualOb* view = panel.get();
  auto scrolled = std::make_unique<ScrollDecorator>(std::move(panel), ScrollDecorator::kAuto);
  host.AdoptChild(makers.Wrap(container, kind, std::move(scrolled)), false);
  return view;
}

bool PopulateModuleView(CUG& module, CVisualOb& host, const VisualMakers& makers) {
  if (auto* container = dynamic_cast<CContainer*>(&module)) {
    return PopulateView(*container, host, makers) != nullptr;
  }
  const int32_t kind = host.ViewKind();
  if (kind == kViewStructure || kind == kViewHidden) return false;
  std::unique_ptr<CVisualOb> panel = makers.MakePanel(module, kind);
  if (panel == nullptr) return false;
  host.AdoptChild(std::move(panel), false);
  return true;
}

}  // namespace ov
