#include "editor/controls/control_faces.h"

#include <algorithm>

#include "document/panel_objects.h"
#include "editor/controls/control_frame2.h"

namespace ov {

void ControlFaces::Add(int32_t kind, Maker maker) {
  const auto same = [kind](const Entry& entry) { return entry.kind == kind; };
  std::erase_if(entries_, same);
  entries_.push_back({kind, std::move(maker)});
}

std::unique_ptr<CVisualOb> ControlFaces::Make(int32_t kind) const {
  for (const Entry& entry : entries_) {
    if (entry.kind == kind) return entry.maker();
  }
  return nullptr;
}

void AddControlFrameMaker(VisualMakers& makers, const ControlFaces& faces) {
  makers.Add([&faces](CDocOb& object, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    auto* module = dynamic_cast<control_ob*>(&object);
    if (module == nullptr || view_kind != kViewControlPanel) return nullptr;
    auto frame = std::make_unique<control_frame2>(*module, faces);
    if (const std::optional<Rect> rect = module->ViewRect(view_kind)) frame->SetRect(*rect);
    return frame;
  });
}

}  // namespace ov
