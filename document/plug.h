// CPlug2: one plug of a module. What a plug is - name, direction, datatype,
// flags - comes from its module type's descriptor at the plug's index; the
// plug stores only the index, its value text and its connections.
//
// A plug is also a generic parameter: widgets watch it (document/
// generic_parameter.h) and write it; a write reaches the engine through the
// plug's patch parameter when it has one.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/field_walker.h"
#include "document/generic_parameter.h"
#include "document/geometry.h"
#include "document/notifier.h"
#include "document/value_objects.h"
#include "document/persistent.h"
#include "engine/interface_object.h"

namespace ov {

class CLine2;
class CUG;

class CPlug2 : public Persistent, public Notifier, public generic_parameter {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  ~CPlug2() override;
  void Serialize(FieldWalker& walker) override;

  int16_t index() const { return index_; }
  void set_index(int16_t index) { index_ = index; }
  const std::string& value_text() const { return value_text_; }
  // Stores the text as it is, telling no one (loading, building).
  void SetValueText(std::string text) { value_text_ = std::move(text); }
  bool hidden() const { return hidden_; }
  void SetHidden(bool hidden) { hidden_ = hidden; }
  const Point& position() const { return position_; }

  CUG* owner() const { return owner_; }
  void SetOwner(CUG* owner) { owner_ = owner; }

  // The descriptor at the plug's index. An index outside its module type's
  // list (negative ones included), or a module without a type, gives a
  // default descriptor: no name, input, datatype 0, no flags.
  const InterfaceObject& Descriptor() const;
  virtual std::string Name() const { return Descriptor().name; }
  virtual int32_t Direction() const { return Descriptor().direction; }
  virtual int32_t Datatype() const { return Descriptor().datatype; }
  virtual int32_t Flags() const { return Descriptor().flags; }
  // The mirrored plug across a container boundary; only container plugs
  // have one.
  virtual CPlug2* Partner() const { return nullptr; }

  // The generic parameter: the current value is the patch parameter's when
  // the plug has one, else the value text. A write that changes it goes to
  // the patch parameter (and so to the engine) or to the value text, then
  // the module and the watchers (code 31) hear of it.
  Notifier& Watchers() override { return *this; }
  std::string ValueText() const override;
  void WriteValueText(const std::string& text) override;
  // The module's own items for the plug, else the descriptor's list.
  std::string ItemList() const override;

  // The typed variable a panel-side plug keeps its value in: the one its
  // module binds it to, or null.
  virtual generic_feature* ValueVariable();
  // What a feature bound through this plug shares: the variable of the plug
  // at the other end of its first connection when that plug has one, else
  // this plug's own (null when neither has).
  generic_feature* ConnectedVariable();
  // The plug at the other end of one of this plug's connections, whose value
  // a patch parameter keeps, has a new value.
  virtual void OnConnectedValueChanged(const CPlug2& /*source*/) {}

  // Connections are held by their container; the plug only lists them.
  const std::vector<CLine2*>& connections() const { return connections_; }
  void AttachConnection(CLine2* line);
  void DetachConnection(const CLine2* line);
  // What the editor does when a plug gets its only connection: an output
  // flagged 0x20 takes the input's value text; an auto-duplicating plug
  // takes the other end's name (when nameable) and a fresh spare is added,
  // on the partner's side too.
  void OnFirstConnection(const CLine2& line);
  // The plug at the other end of the plug's first connection, or null.
  CPlug2* FirstConnectedPlug() const;
  // An auto-duplicating plug that neither it nor its partner has connected.
  bool IsUnusedSpare() const;

 private:
  int16_t index_ = 0;
  std::string value_text_;
  bool hidden_ = false;
  Point position_;
  CUG* owner_ = nullptr;
  std::vector<CLine2*> connections_;
};

// `CPlugGui`: a panel-side plug; stored as a plain plug.
class CPlugGui : public CPlug2 {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
};

}  // namespace ov
