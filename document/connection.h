// CLine2: one connection between two plugs. Its container holds it; both
// plugs list it.
//
// Threads: editor only.
#pragma once

#include <cstdint>

#include "document/doc_object.h"
#include "document/geometry.h"

namespace ov {

class CPlug2;

class CLine2 : public CDocOb {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  CLine2() = default;
  // A new connection: `a` is the from end unless `a` is an input or `b` an
  // output. The plugs are not told; see CContainer::Connect.
  CLine2(CPlug2* a, CPlug2* b);
  void Serialize(FieldWalker& walker) override;

  CPlug2* from() const { return from_; }
  CPlug2* to() const { return to_; }
  // The end that is not `plug`; null when `plug` is neither end.
  CPlug2* OtherEnd(const CPlug2* plug) const;
  // Used by the checks after a load, which drop references that lead
  // nowhere.
  void ClearEnds() { from_ = to_ = nullptr; }

  int32_t highlight() const { return highlight_; }
  void SetHighlight(int32_t highlight);

 private:
  CPlug2* from_ = nullptr;
  CPlug2* to_ = nullptr;
  int32_t highlight_ = 0;
  Rect structure_rect_;  // laid out by the structure view; never stored
};

}  // namespace ov
