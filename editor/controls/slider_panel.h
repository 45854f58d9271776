// What a Slider control module shows on the panel, by its "Appearance":
// a track bar, a knob, a slider image or a button, with an optional
// numeric readout below.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>

#include "document/generic_parameter.h"
#include "editor/visual_object.h"

namespace ov {

// The "Appearance" items of a Slider.
enum SliderAppearance : int32_t {
  kSliderNone = -1,
  kSliderPlain = 0,
  kSliderVertical = 1,
  kSliderHorizontal = 2,
  kSliderKnob = 3,
  kSliderButton = 4,
  kSliderButtonToggle = 5,
  kSliderPlainButton = 6,
  kSliderSmallKnob = 7,
  kSliderSmallButton = 8,
  kSliderSmallButtonToggle = 9,
};

// True for the appearances that read as lo or hi.
bool IsButtonAppearance(int32_t appearance);

// A grid group holding the control (tab order 1) and, with `readout`, a
// 5-character CMyEdit of the parameter below it (tab order 2). An
// appearance outside the list is built as a plain slider.
std::unique_ptr<CVisualOb> MakeSliderFace(generic_parameter* parameter, int32_t appearance,
                                          bool readout);

}  // namespace ov
