// Classes of very old streams. The container that reads them converts each
// into today's objects while it reads its children; the old
// objects themselves are freed with the load.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <string>

#include "document/field_walker.h"

namespace ov {

class CContainer;
class CPlug2;

// `CGraphicObject`: the common part of the old drawn objects.
class CGraphicObject : public Persistent {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  const Rect& window_rect() const { return window_rect_; }

 private:
  int32_t number_ = -1;
  CContainer* container_ = nullptr;  // read only to keep the stream aligned
  Rect window_rect_;
};

// `CLine`: an old connection, replaced by a CLine2 joining the same plugs.
class CLine : public CGraphicObject {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  CPlug2* a() const { return a_; }
  CPlug2* b() const { return b_; }

 private:
  CPlug2* a_ = nullptr;
  CPlug2* b_ = nullptr;
};

// `CPanelBox`: an old panel box, replaced by a "Panel Group" CPanelBox2.
class CPanelBox : public CGraphicObject {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  const std::string& title() const { return title_; }

 private:
  std::string title_;
};

}  // namespace ov
