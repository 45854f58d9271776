// The sub-panel ("Sub Panel"): shows the panel of a container or hosted
// plug-in beside it (the one its "Sub Panel" choice names) inside its
// rectangle, 4 pixels in from its edge, in a scroll window and under the
// patch toolbar when that container holds a "Patch Select" (a hosted
// plug-in's panel always has it).
//
// Thread: editor.
#pragma once

#include "editor/visual_object.h"

namespace ov {

class CPortal;
class CUG;

class CPortalWnd : public CPaintObject {
 public:
  static constexpr int32_t kInset = 4;

  explicit CPortalWnd(CPortal& portal);
  ~CPortalWnd() override;

  // The container or hosted plug-in shown, or null.
  CUG* Target() const { return target_; }
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
  void Watch(CUG* target);
  void Empty();
  void PlaceContent();

  CPortal& portal_;
  CUG* target_ = nullptr;
  TargetWatch watch_{*this};
};

}  // namespace ov
