// The sub-panel ("Sub Panel"): shows the panel of a container beside it
// (the one its "Sub Panel" choice names) inside its rectangle, 4 pixels in
// from its edge, in a scroll window and under the patch toolbar when that
// container holds a "Patch Select".
//
// Thread: editor.
#pragma once

#include "editor/visual_object.h"

namespace ov {

class CContainer;
class CPortal;

class CPortalWnd : public CPaintObject {
 public:
  static constexpr int32_t kInset = 4;

  explicit CPortalWnd(CPortal& portal);
  ~CPortalWnd() override;

  // The container shown, or null.
  CContainer* Target() const { return target_; }
  // The panel's outermost object (toolbar, scroll window), or null.
  CVisualOb* Content() const { return children().empty() ? nullptr : children().front(); }

  void Open() override;
  void Close() override;
  void SetRect(const Rect& rect) override;
  // Code 16 from the target (it left its container) empties the
  // sub-panel; code 48 from the portal (another target was chosen) stops
  // listening to the old one.
  void OnNotify(const Notification& notification) override;

 private:
  class TargetWatch : public Notifiable {
   public:
    explicit TargetWatch(CPortalWnd& owner) : owner_(owner) {}
    void OnNotify(const Notification& notification) override;

   private:
    CPortalWnd& owner_;
  };
  void Watch(CContainer* target);
  void Empty();
  void PlaceContent();

  CPortal& portal_;
  CContainer* target_ = nullptr;
  TargetWatch watch_{*this};
};

}  // namespace ov
