// The faces the widgets give control_ob modules: styled text ("Text
// Entry2"), list entry ("List Entry2") and the push button.
//
// Thread: editor.
#pragma once

#include "editor/controls/control_faces.h"

namespace ov {

void AddWidgetFaces(ControlFaces& faces);

}  // namespace ov
