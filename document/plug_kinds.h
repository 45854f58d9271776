// The plugs that store more than an index and a value: nameable plugs,
// container plugs, controlled plugs and feature plugs.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "document/plug.h"

namespace ov {

// `CPlugNameable`: a plug whose name is stored with it.
class CPlugNameable : public CPlug2 {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  CPlugNameable() = default;
  explicit CPlugNameable(std::string name) : name_(std::move(name)) {}
  void Serialize(FieldWalker& walker) override;

  std::string Name() const override { return name_; }
  void SetName(std::string name);

 private:
  std::string name_;
};

// `CPlugIO2`: a container plug, mirrored inside the container by its partner
// on the container's input/output module. It reports its stored direction
// and datatype, and takes its flags from the plug it finally leads to.
class CPlugIO2 : public CPlugNameable {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  CPlugIO2() = default;
  explicit CPlugIO2(std::string name) : CPlugNameable(std::move(name)) {}
  void Serialize(FieldWalker& walker) override;

  int32_t Direction() const override { return direction_; }
  int32_t Datatype() const override { return datatype_; }
  // The far-end plug's flags without 0x18000 and with 0x4c; 0x404c when the
  // walk ends on a container plug.
  int32_t Flags() const override;
  CPlug2* Partner() const override { return partner_; }

  void SetDirection(uint16_t direction) { direction_ = direction; }
  void SetDatatype(uint16_t datatype) { datatype_ = datatype; }
  void SetPartner(CPlugIO2* partner) { partner_ = partner; }
  // The plug whose properties this one mirrors: the walk through partners
  // and first connections, bounded to 1000 steps, tried inwards and then
  // outwards; this plug itself when both end on container plugs.
  const CPlug2* FarEnd() const;

 private:
  const CPlug2* Walk(int32_t direction_test) const;

  uint16_t direction_ = DR_CONTAINER_IO;
  uint16_t datatype_ = DT_FSAMPLE;
  CPlugIO2* partner_ = nullptr;
};

// `CPlugControled`: a nameable plug with two stored integers and a text that
// it applies to its control.
class CPlugControled : public CPlugNameable {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

 private:
  int32_t control_a_ = 0;
  int32_t control_b_ = 0;
  std::string control_text_;
};

// `CPlugFeature` (and `CPlugFeature2`, `CPlugFeature4`): a plug that shows one
// feature of its module, named by the feature index.
//
// A module whose type declares no plug for a feature describes the plug
// itself (SetFeatureShape): it is then named after the feature and keeps its
// value in a variable of the feature's type, made from the value text when
// first asked for and written back to it on every change.
//
// A described list plug's items are those of the plug it is connected to
// when that plug lists any, else its stored list text, else the feature's
// own list; its variable carries them as metadata, taken again whenever
// RefreshItems is called (its module does so when a connection comes or
// goes).
class CPlugFeature : public CPlug2, private value_owner {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  void SetFeatureShape(int32_t direction, int32_t datatype, int32_t flags,
                      std::string item_list = {});
  bool described() const { return described_; }
  std::string Name() const override;
  int32_t Direction() const override;
  int32_t Datatype() const override;
  int32_t Flags() const override;
  std::string ItemList() const override;
  generic_feature* ValueVariable() override;
  // A write is passed on to the patch parameters of the inputs the plug
  // feeds (document/panel_feeds.h); their changes come back through
  // OnConnectedValueChanged.
  void WriteValueText(const std::string& text) override;
  void OnConnectedValueChanged(const CPlug2& source) override;
  void RefreshItems();
  // The list text stored with the plug (empty: none).
  const std::string& list_text() const { return feature_text_b_; }
  void SetListText(std::string text);

  int32_t feature_index() const { return feature_index_; }
  const std::string& feature_name() const { return feature_text_a_; }
  // A feature plug a module's panel part adds: its name, feature index and
  // value.
  void SetFeature(std::string name, int32_t index, int32_t value);

 private:
  void OnVariableChanged(generic_feature& variable) override;
  void StoreAndPassOn(const std::string& stored, const std::string& passed);
  // Its list without looking at what it is connected to.
  std::string OwnItemList() const;

  bool described_ = false;
  int32_t feature_direction_ = DR_IN;
  int32_t feature_datatype_ = DT_FLOAT;
  int32_t feature_flags_ = 0;
  std::string feature_item_list_;
  std::unique_ptr<generic_feature> variable_;
  int32_t feature_a_ = 0;
  int32_t feature_b_ = 0;
  int32_t feature_index_ = 0;
  std::string feature_text_a_;
  std::string feature_text_b_;
  int32_t feature_c_ = 0;
};

class CPlugFeature2 : public CPlugFeature {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
};

// Added by a library module's panel part, which names it: the name it was
// given stands before its descriptor's.
class CPlugFeature4 : public CPlugFeature {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  std::string Name() const override;
};

// `CPlugFeature3`: a feature plug with one more stored flag.
class CPlugFeature3 : public CPlugFeature {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

 private:
  bool feature_flag_ = false;
};

}  // namespace ov
