// The control a panel parameter gets when nothing chose one for it (a
// hosted plug-in's generic panel, the patch toolbar's fields): by its
// data type a drop-down list, a number with arrows, a toggle, a knob with
// its value text, an edit box (with a browse button for a file name) or a
// label.
//
// Thread: editor.
#pragma once

#include <memory>
#include <string_view>

#include "document/generic_parameter.h"
#include "editor/visual_object.h"

namespace ov {

// The data type of a hosted plug-in's parameter.
inline constexpr int32_t kHostedParameterType = 7;

// A drop-down list's width for `list`: its longest item text ("=value"
// included), within 2 and 12 characters.
int32_t ListWidthInCharacters(std::string_view list);

// Null for MIDI parameters and unknown data types. Everything made is
// owned by its parent; the first control of a grid has tab order 1.
std::unique_ptr<CVisualOb> MakeDefaultControl(generic_parameter& parameter);

}  // namespace ov
