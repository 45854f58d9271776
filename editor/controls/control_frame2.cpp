#include "editor/controls/control_frame2.h"

#include <algorithm>

#include "document/features.h"
#include "document/panel_objects.h"
#include "document/plug_kinds.h"

namespace ov {
namespace {

// The one notification a frame hands to its face.
constexpr int32_t kNotifyForFace = 50;

}  // namespace

FaceFrame::FaceFrame(CDocOb& module) {
  SetFlags(kVoAutoSize | kVoSeeThrough | kVoOwned | 0x200);
  BindToModule(&module);
}

void FaceFrame::Fill() {
  if (filled_) return;
  filled_ = true;
  std::unique_ptr<CVisualOb> face = MakeFace();
  if (face == nullptr) return;
  face->SetRect(ClientRect());
  if (face->flags() & kVoThick) SetFlags(kVoThick);
  AdoptChild(std::move(face), true);
}

Point FaceFrame::PreferredSize() const {
  // Asking the size is one of the two moments the frame fills.
  const_cast<FaceFrame*>(this)->Fill();
  const CVisualOb* face = Face();
  if (face == nullptr) return {20, 20};
  Point size = face->PreferredSize();
  if (face->flags() & kVoThick) {
    const Rect r = face->GetRect();
    size = {std::max(size.x, r.right - r.left), std::max(size.y, r.bottom - r.top)};
  }
  return size;
}

void FaceFrame::SetRect(const Rect& rect) {
  CPaintObject::SetRect(rect);
  if (CVisualOb* face = Face()) face->SetRect(ClientRect());
}

void FaceFrame::Open() {
  Fill();
  CPaintObject::Open();
  if (CVisualOb* face = Face()) CPaintObject::ChildResized(*face);
}

void FaceFrame::Close() {
  CPaintObject::Close();  // the face goes with it; the next opening makes a new one
  filled_ = false;
}

control_frame2::control_frame2(control_ob& module, const ControlFaces& faces)
    : FaceFrame(module), module_(module), faces_(faces) {}

std::unique_ptr<CVisualOb> control_frame2::MakeFace() {
  std::unique_ptr<CVisualOb> face = faces_.Make(module_.FaceKind());
  if (auto* features = dynamic_cast<has_features*>(face.get())) {
    for (CPlugFeature* plug : module_.FeaturePlugs()) {
      // A stored index the face has no feature for binds nothing.
      if (generic_feature* variable = plug->ConnectedVariable()) {
        features->BindFeature(plug->feature_index(), *variable);
      }
    }
  }
  return face;
}

void control_frame2::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyForFace) {
    if (CVisualOb* face = Face()) face->OnNotify(notification);
    return;
  }
  CPaintObject::OnNotify(notification);
}

}  // namespace ov
