// The two drop-down lists: CMyCombobox chooses among a parameter's items
// and writes the item's value as text; CMyComboBox2 chooses among its
// "List" feature's items and writes the value there, and is also the
// in-place list of a list entry.
//
// Thread: editor.
#pragma once

#include "document/features.h"
#include "document/generic_parameter.h"
#include "editor/widgets/drop_down.h"

namespace ov {

class CMyCombobox : public DropDownList, protected ParamWatcher {
 public:
  explicit CMyCombobox(generic_parameter* parameter);
  std::string ToolTipText() const override;

 protected:
  void Write(int32_t value) override;
  void OnParameterChanged() override;
};

class CMyComboBox2 : public DropDownList, public has_features, public value_owner {
 public:
  CMyComboBox2();
  bool DescribeFeature(int32_t index, FeatureDescription* description) override;
  // Binds to the same list and style as `list` and `style` hold.
  void ShareValues(FeatureTypes::List& list, FeatureTypes::List& style);

 protected:
  void Write(int32_t value) override { list_.Set(static_cast<int16_t>(value)); }
  WidgetFont Font() const override { return {{}, style_.Get()}; }
  int32_t ExtraEdges() const override { return 4; }
  void OnControlChanged(generic_control& control) override;
  void OnControlMetadataChanged(generic_control& control) override { OnControlChanged(control); }

 private:
  FeatureTypes::List list_{this};
  FeatureTypes::List style_{this};
};

}  // namespace ov
