// CMyCpuLoadWnd: a horizontal load bar of one value from 0 to 100, drawn
// as a band from red-yellow to black.
//
// Thread: editor.
#pragma once

#include "editor/visual_object.h"

namespace ov {

class CMyCpuLoadWnd : public CPaintObject {
 public:
  // Values outside 0..100 (NaN as 0) are kept within it; a change repaints.
  void SetValue(float value);
  float value() const { return value_; }
  void Draw(Canvas& canvas) override;
  Point PreferredSize() const override { return {101, 22}; }

 private:
  float value_ = 0;
};

}  // namespace ov
