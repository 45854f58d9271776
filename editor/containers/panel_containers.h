// The makers of the panel's containers: sub-panels, tab pages, panel
// groups and control groups on the control panel.
//
// Thread: editor.
#pragma once

#include "editor/panel_view.h"

namespace ov {

void AddPanelContainerMakers(VisualMakers& makers);

}  // namespace ov
