#include "editor/panel_view.h"

#include "document/container.h"
#include "document/document.h"
#include "editor/context_menu.h"
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

CVisualOb* PopulateView(CContainer& container, CVisualOb& host, const VisualMakers& makers) {
  const int32_t kind = host.ViewKind();
  if (kind == kViewStructure || kind == kViewHidden) return nullptr;
  auto panel = std::make_unique<CMyView>(container);
  for (const auto& child : container.children()) {
    if (std::unique_ptr<CVisualOb> made = makers.Make(*child, kind)) {
      panel->AdoptChild(std::move(made), false);
    }
  }
  // The plug-in's root view shows its panel bare: no toolbar, no scroll
  // bars.
  if (host.flags() & kVoNoScrollDecorator) return host.AdoptChild(std::move(panel), false);
  CVisualOb* view = panel.get();
  host.AdoptChild(makers.Wrap(container, kind, std::move(panel)), false);
  return view;
}

}  // namespace ov
