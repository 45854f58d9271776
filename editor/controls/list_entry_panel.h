// What a List Entry control module shows on the panel, by its
// "Appearance": a drop-down list, LED or button stacks, a selector, a
// rotary switch or up/down arrows, all bound to its enumerated parameter.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>

#include "document/generic_parameter.h"
#include "editor/visual_object.h"

namespace ov {

enum ListEntryAppearance : int32_t {
  kListComboBox = 0,
  kListLedStack = 1,
  kListLabeledLedStack = 2,
  kListSelector = 3,
  kListButtonStack = 4,
  kListRotarySwitch = 5,
  kListRotaryNoText = 6,
  kListUpDown = 7,
};

// The face has flag 0x20, so that its frame keeps the face's size. An
// appearance outside the list is built as a drop-down list.
std::unique_ptr<CVisualOb> MakeListEntryFace(generic_parameter* parameter, int32_t appearance);

}  // namespace ov
