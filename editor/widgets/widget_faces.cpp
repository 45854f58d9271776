#include "editor/widgets/widget_faces.h"

#include "document/control_features.h"
#include "editor/widgets/buttons.h"
#include "editor/widgets/styled_text.h"

namespace ov {

void AddWidgetFaces(ControlFaces& faces) {
  faces.Add(kTextFace, [] { return std::make_unique<CMyTextLabel2>(); });
  faces.Add(kListFace, [] { return std::make_unique<CMyListEntry>(); });
  faces.Add(kButtonFace, [] { return std::make_unique<CMyButton>(); });
}

}  // namespace ov
