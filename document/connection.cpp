#include "document/connection.h"

#include "document/plug.h"

namespace ov {

constinit const SerialClass CLine2::kClass{"CLine2", 1, false, &MakeObject<CLine2>,
                                           &CDocOb::kClass};

CLine2::CLine2(CPlug2* a, CPlug2* b) {
  if (a->Direction() != DR_IN && b->Direction() != DR_OUT) {
    from_ = a;
    to_ = b;
  } else {
    from_ = b;
    to_ = a;
  }
}

void CLine2::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  if (version > 36) CDocOb::Serialize(walker);
  if (walker.Loading() && version < 94811 && module_type() == nullptr) {
    SetModuleTypeKey(walker, "Line");
  }
  Ref(walker, "from", from_);
  Ref(walker, "to", to_);
}

CPlug2* CLine2::OtherEnd(const CPlug2* plug) const {
  if (plug == from_) return to_;
  if (plug == to_) return from_;
  return nullptr;
}

void CLine2::SetHighlight(int32_t highlight) {
  highlight_ = highlight;
  Notify(Notification(kNotifyRectChanged, this));
  if (highlight != 0) Notify(Notification(kNotifyHighlightSet, this));
}

}  // namespace ov
