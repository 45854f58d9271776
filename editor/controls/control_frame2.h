// The frame a control_ob module stands in on the panel: it holds the
// module's face as its only child, made and bound the first time the frame
// needs it (when it opens or is asked its preferred size), and sizes
// itself to it.
//
// Thread: editor.
#pragma once

#include "editor/controls/control_faces.h"
#include "editor/visual_object.h"

namespace ov {

class control_ob;

class control_frame2 : public CPaintObject {
 public:
  control_frame2(control_ob& module, const ControlFaces& faces);

  // The child's preferred size (20 x 20 without one); with a thick child
  // (flag 0x20) at least its current size.
  Point PreferredSize() const override;
  // The child gets the same size at (0, 0).
  void SetRect(const Rect& rect) override;
  // Fills, opens, and with flag 0x200000 takes its preferred size (keeping
  // its top-left), as it does whenever the face resizes; the parent hears
  // of it.
  void Open() override;
  void Close() override;
  // Code 50 goes on to the child.
  void OnNotify(const Notification& notification) override;

  // The face, or null before the frame filled (or when the module's kind
  // has no maker).
  CVisualOb* Face() const { return children().empty() ? nullptr : children().front(); }

 private:
  // Makes the face and binds the module's feature plugs to its features,
  // once per opening.
  void Fill();

  control_ob& module_;
  const ControlFaces& faces_;
  bool filled_ = false;
};

}  // namespace ov
