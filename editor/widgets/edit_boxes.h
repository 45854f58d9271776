// The two edit boxes: CMyEdit writes a parameter through its own text
// conversion; CMyEdit2 writes its "Text" feature and is also the in-place
// editor of a styled label.
//
// Thread: editor.
#pragma once

#include <string>

#include "document/features.h"
#include "document/generic_parameter.h"
#include "editor/widgets/edit_box.h"

namespace ov {

class CMyEdit : public EditBox, protected ParamWatcher {
 public:
  explicit CMyEdit(generic_parameter* parameter);
  std::string ToolTipText() const override;
  generic_parameter* parameter() const { return Watched(); }

 protected:
  void Commit(const std::string& text) override;
  int32_t DefaultWidthInCharacters() const override;
  void OnParameterChanged() override;
};

class CMyEdit2 : public EditBox, public has_features, public value_owner {
 public:
  CMyEdit2();
  bool DescribeFeature(int32_t index, FeatureDescription* description) override;
  // Binds to the same text and style as `text` and `style` hold.
  void ShareValues(FeatureTypes::Text& text, FeatureTypes::List& style);

 protected:
  void Commit(const std::string& text) override { text_.Set(text); }
  WidgetFont Font() const override { return {{}, style_.Get()}; }
  int32_t DefaultWidthInCharacters() const override { return 6; }
  void OnControlChanged(generic_control& control) override;

 private:
  FeatureTypes::Text text_{this};
  FeatureTypes::List style_{this};
};

}  // namespace ov
