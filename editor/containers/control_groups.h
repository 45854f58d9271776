// Frames and groups of panel controls: CBorder etches a border round one
// child; control_group lists controls and hands the keyboard focus to the
// first of them; control_group_auto_size (the "Control Group" module's
// face) shows its members where their modules lie and follows the union of
// their rectangles as they move.
//
// Thread: editor.
#pragma once

#include <vector>

#include "editor/panel_view.h"

namespace ov {

class control_group_ob;

class CBorder : public CPaintObject {
 public:
  // The border's width: 3 with flag 0x20, else 1.
  int32_t BorderWidth() const { return (flags() & kVoThick) ? 3 : 1; }
  // The child's preferred size and the border; 10 x 10 without a child.
  Point PreferredSize() const override;
  // Never smaller than the child wants; the child gets all but the border.
  void SetRect(const Rect& rect) override;
  // Shadow along the top and left, light grey along the bottom and right.
  void Draw(Canvas& canvas) override;

 private:
  CVisualOb* Child() const { return children().empty() ? nullptr : children().front(); }
};

class control_group : public CMyView_base {
 public:
  control_group();
  // Reaches the right and bottom of every child at its preferred size.
  Point PreferredSize() const override;
  // The child with the smallest tab order takes the focus, else the group.
  void TakeFocus() override;
};

class control_group_auto_size : public control_group {
 public:
  explicit control_group_auto_size(control_group_ob& group);
  ~control_group_auto_size() override;

  // Children keep their modules' panel positions: the group's own
  // coordinates start at the union's top-left.
  Point ScrollOffset() const override { return origin_; }
  Point PreferredSize() const override;
  // Takes its members off the panel around it and shows them itself.
  void Open() override;
  void Close() override;
  // Size and origin follow the union of the children's rectangles; the
  // parent hears of a change and both areas are repainted.
  void Recompute();

 private:
  class MemberWatch : public Notifiable {
   public:
    explicit MemberWatch(control_group_auto_size& owner) : owner_(owner) {}
    void OnNotify(const Notification& notification) override;

   private:
    control_group_auto_size& owner_;
  };
  Rect Union() const;
  void StopWatching();

  control_group_ob& group_;
  Point origin_;
  std::vector<CDocOb*> watched_;
  MemberWatch watch_{*this};
};

}  // namespace ov
