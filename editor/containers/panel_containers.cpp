#include "editor/containers/panel_containers.h"

#include "document/panel_objects.h"
#include "editor/containers/control_groups.h"
#include "editor/containers/panel_group.h"
#include "editor/containers/sub_panel.h"
#include "editor/containers/tab_pages.h"

namespace ov {

namespace {

std::unique_ptr<CVisualOb> MakeContainer(CDocOb& object) {
  if (auto* group = dynamic_cast<control_group_ob*>(&object)) {
    return std::make_unique<control_group_auto_size>(*group);
  }
  if (auto* portal = dynamic_cast<CPortal*>(&object)) return std::make_unique<CPortalWnd>(*portal);
  if (auto* box = dynamic_cast<CTabBox*>(&object)) return std::make_unique<CTabBoxWnd>(*box);
  if (auto* group = dynamic_cast<CPanelBox2*>(&object)) return std::make_unique<CPanelBoxWnd>(*group);
  return nullptr;
}

}  // namespace

void AddPanelContainerMakers(VisualMakers& makers) {
  makers.Add([](CDocOb& object, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    if (view_kind != kViewControlPanel) return nullptr;
    std::unique_ptr<CVisualOb> made = MakeContainer(object);
    if (made == nullptr) return nullptr;
    // Where the module lies on the panel; a container with an empty
    // rectangle there has no face.
    const std::optional<Rect> rect = object.ViewRect(view_kind);
    if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) return nullptr;
    made->SetRect(*rect);
    return made;
  });
}

}  // namespace ov
