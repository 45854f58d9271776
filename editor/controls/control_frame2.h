// The frames that control modules stand in on the panel, and the one a
// control_ob module stands in: it holds the module's face, bound to the
// module's feature plugs.
//
// Thread: editor.
#pragma once

#include "editor/controls/control_faces.h"
#include "editor/visual_object.h"

namespace ov {

class control_ob;

// A frame holding one face as its only child, made the first time the
// frame needs it (when it opens or is asked its preferred size) and again
// after each closing, and sized to it.
class FaceFrame : public CPaintObject {
 public:
  explicit FaceFrame(CDocOb& module);

  // The face's preferred size (20 x 20 without one); with a thick face
  // (flag 0x20) at least its current size.
  Point PreferredSize() const override;
  // The face gets the same size at (0, 0).
  void SetRect(const Rect& rect) override;
  // Fills, opens, and with flag 0x200000 takes its preferred size (keeping
  // its top-left), as it does whenever the face resizes; the parent hears
  // of it.
  void Open() override;
  void Close() override;

  // The face, or null before the frame filled (or when there is none).
  CVisualOb* Face() const { return children().empty() ? nullptr : children().front(); }

 protected:
  // The face for the module as it is now, or null.
  virtual std::unique_ptr<CVisualOb> MakeFace() = 0;

 private:
  void Fill();

  bool filled_ = false;
};

class control_frame2 : public FaceFrame {
 public:
  control_frame2(control_ob& module, const ControlFaces& faces);
  // Code 50 goes on to the face.
  void OnNotify(const Notification& notification) override;

 protected:
  // Makes the face and binds the module's feature plugs to its features.
  std::unique_ptr<CVisualOb> MakeFace() override;

 private:
  control_ob& module_;
  const ControlFaces& faces_;
};

}  // namespace ov
