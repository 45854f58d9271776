// The panel group ("Panel Group"): a frame drawn from the skin's "lines"
// image behind the controls placed on it, with its title set into the top
// line. It lies in layer 1, behind everything else of its panel, and is hit
// only on its border band, so the controls inside stay reachable.
//
// Thread: editor.
#pragma once

#include <memory>

#include "editor/visual_object.h"

namespace ov {

class CPanelBox2;
struct SkinImage;

class CPanelBoxWnd : public CPaintObject {
 public:
  explicit CPanelBoxWnd(CPanelBox2& box);

  int32_t Layer() const override { return 1; }
  bool AcceptsMouse() const override { return true; }
  // Only the band along the frame.
  bool ContainsPoint(Point p) const override;
  // Without the "lines" image it stays closed and draws nothing.
  void Open() override;
  void Close() override;
  void Draw(Canvas& canvas) override;
  // Code 10: the title changed.
  void OnNotify(const Notification& notification) override;

 private:
  // The title font's character height.
  int32_t TitleHeight() const;

  CPanelBox2& box_;
  std::shared_ptr<const SkinImage> lines_;
};

}  // namespace ov
