#include "editor/panel_view.h"

#include "document/container.h"
#include "editor/canvas.h"

namespace ov {
namespace {

// View kinds a container never builds a panel for.
constexpr int32_t kViewStructure = 512;
constexpr int32_t kViewHidden = 2048;

}  // namespace

CMyView::CMyView(CContainer& container) {
  SetFlags(kVoFocusable | kVoOwned | kVoGridFullHeight | 0x80 | kVoGridFullWidth);
  BindToModule(&container);
}

void CMyView::Draw(Canvas& canvas) {
  canvas.FillClip(SystemColourValue(SystemColour::kWindow));
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
  // Scroll bars and the patch selector around the panel come with the
  // scroll decorator; the plug-in's root view asks for neither.
  return host.AdoptChild(std::move(panel), false);
}

}  // namespace ov
