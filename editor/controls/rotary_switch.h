// The rotary switch of a List Entry: a knob image whose frames make one
// clockwise turn, with the item texts placed around it on a circle (one
// column on the right, or both sides for long lists), each joined to the
// knob by a leader line.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "document/generic_parameter.h"
#include "editor/groups.h"

namespace ov {

// Where things go, in the knob's coordinates (its centre at (0, 0), y
// downwards, angle 0 to the right).
struct RotaryLayout {
  float start = 0.0f;  // angle of the first item, radians
  float step = 0.0f;   // between items
  float wrap_offset = 0.0f;
  float wrap_scale = 0.0f;
  struct Label {
    Point top_left;
    std::vector<Point> leader;
  };
  std::vector<Label> labels;
};

// `label_sizes` are the labels' preferred sizes, one per item; `height`
// the character height of their font; `knob_width` the knob's width. No
// items: the knob alone, pointing right.
RotaryLayout LayOutRotary(std::span<const Point> label_sizes, int32_t height, int32_t knob_width);

// The knob with its labels and leaders, or without them (the knob turns
// through the same angles). It builds itself when first placed in a tree
// with a skin (the angles and the labels' sizes come from its fonts), and
// again after each closing.
class RotarySwitch : public GroupLoose, private ParamWatcher {
 public:
  RotarySwitch(generic_parameter* parameter, bool labelled);
  Point PreferredSize() const override;
  void Open() override;
  void Close() override;

 private:
  // A new item list comes with a rebuild of the whole control (its
  // module tells the panel).
  void Build();

  const bool labelled_;
  bool built_ = false;
};

}  // namespace ov
