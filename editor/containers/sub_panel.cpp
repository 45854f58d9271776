#include "editor/containers/sub_panel.h"

#include "document/container.h"
#include "document/panel_objects.h"
#include "editor/panel_view.h"
#include "editor/patch_toolbar.h"
#include "editor/scroll_decorator.h"

namespace ov {
namespace {

// The scroll window the target's panel was put in (inside the toolbar
// when there is one).
ScrollDecorator* ScrollWindowOf(CVisualOb* content) {
  if (auto* window = dynamic_cast<ScrollDecorator*>(content)) return window;
  if (auto* toolbar = dynamic_cast<CPatchSelDecorator*>(content)) {
    return dynamic_cast<ScrollDecorator*>(toolbar->content());
  }
  return nullptr;
}

}  // namespace

CPortalWnd::CPortalWnd(CPortal& portal) : portal_(portal) {
  SetFlags(kVoOwned | 0x620);
  BindToModule(&portal);
}

CPortalWnd::~CPortalWnd() { Watch(nullptr); }

void CPortalWnd::Watch(CUG* target) {
  if (target_ != nullptr) target_->RemoveListener(&watch_);
  target_ = target;
  if (target_ != nullptr) target_->AddListener(&watch_);
}

void CPortalWnd::Open() {
  CPaintObject::Open();
  // The panel around it made it, and makes the target's panel too.
  const VisualMakers* makers = MakersAbove(*this);
  Watch(makers != nullptr ? portal_.FindTarget() : nullptr);
  if (target_ == nullptr) return;
  PopulateModuleView(*target_, *this, *makers);
  if (ScrollDecorator* window = ScrollWindowOf(Content())) window->SetMode(portal_.scroll_mode());
  PlaceContent();
  if (CVisualOb* content = Content()) content->Open();
}

void CPortalWnd::Close() {
  Watch(nullptr);
  CPaintObject::Close();  // the content is owned: it goes
}

void CPortalWnd::Empty() {
  Watch(nullptr);
  if (CVisualOb* content = Content()) DestroyChild(content);
  InvalidateAll();
}

void CPortalWnd::SetRect(const Rect& rect) {
  CPaintObject::SetRect(rect);
  PlaceContent();
}

void CPortalWnd::PlaceContent() {
  CVisualOb* content = Content();
  if (content == nullptr) return;
  const Rect c = ClientRect();
  content->SetRect({c.left + kInset, c.top + kInset, std::max(c.right - kInset, c.left + kInset),
                    std::max(c.bottom - kInset, c.top + kInset)});
}

void CPortalWnd::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyTargetChanged && notification.subject == &portal_) {
    Watch(nullptr);
    return;
  }
  CPaintObject::OnNotify(notification);
}

void CPortalWnd::TargetWatch::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyRemoved && notification.subject == owner_.target_) {
    owner_.Empty();
  }
}

}  // namespace ov
