#include "document/legacy_objects.h"

#include "document/container.h"

namespace ov {

constinit const SerialClass CGraphicObject::kClass{"CGraphicObject", 1, false,
                                                   &MakeObject<CGraphicObject>, nullptr};
constinit const SerialClass CLine::kClass{"CLine", 1, false, &MakeObject<CLine>,
                                          &CGraphicObject::kClass};
constinit const SerialClass CPanelBox::kClass{"CPanelBox", 1, false, &MakeObject<CPanelBox>,
                                              &CGraphicObject::kClass};

void CGraphicObject::Serialize(FieldWalker& walker) {
  if (walker.LoadVersion() >= 8) walker.Int32("number", number_);
  Ref(walker, "container", container_);
  walker.RectField("window_rect", window_rect_);
}

void CLine::Serialize(FieldWalker& walker) {
  CGraphicObject::Serialize(walker);
  Ref(walker, "a", a_);
  Ref(walker, "b", b_);
}

void CPanelBox::Serialize(FieldWalker& walker) {
  CGraphicObject::Serialize(walker);
  walker.String("title", title_);
}

}  // namespace ov
