// Feature-bound text: CMyTextLabel2 shows "Text" in the text style of
// "Style" and, unless read-only, opens an in-place CMyEdit2 over itself
// when clicked; CMyTextLabel3 is the same sized for a number; CMyListEntry
// shows the current item of "List" and opens an in-place CMyComboBox2 with
// its list shown.
//
// Thread: editor.
#pragma once

#include <cstdint>

#include "document/features.h"
#include "editor/visual_object.h"

namespace ov {

class CMyTextLabel2 : public CPaintObject, public has_features, public value_owner {
 public:
  CMyTextLabel2();
  bool AcceptsMouse() const override { return true; }
  void MouseDown(uint32_t flags, Point p) override;
  void MouseUp(uint32_t flags, Point p) override;
  void Draw(Canvas& canvas) override;
  // The extent of "8888.8".
  Point PreferredSize() const override;
  bool DescribeFeature(int32_t index, FeatureDescription* description) override;

  bool ReadOnly() const;
  // The in-place editor while it is open.
  CVisualOb* Editor() const { return children().empty() ? nullptr : children().front(); }

 protected:
  void OnControlChanged(generic_control& control) override;

 private:
  FeatureTypes::Text text_{this};
  FeatureTypes::List style_{this};
  FeatureTypes::List mode_{this};
  FeatureTypes::Bool multiline_{this};
  bool pressed_ = false;
};

class CMyTextLabel3 : public CMyTextLabel2 {
 public:
  // The extent of "8888.8" plus 6 pixels each way.
  Point PreferredSize() const override;
};

class CMyListEntry : public CPaintObject, public has_features, public value_owner {
 public:
  CMyListEntry();
  bool AcceptsMouse() const override { return true; }
  void MouseDown(uint32_t flags, Point p) override;
  void MouseUp(uint32_t flags, Point p) override;
  void Draw(Canvas& canvas) override;
  Point PreferredSize() const override;
  bool DescribeFeature(int32_t index, FeatureDescription* description) override;

  CVisualOb* Editor() const { return children().empty() ? nullptr : children().front(); }

 protected:
  void OnControlChanged(generic_control& control) override;
  void OnControlMetadataChanged(generic_control& control) override { OnControlChanged(control); }

 private:
  FeatureTypes::List list_{this};
  FeatureTypes::List style_{this};
  bool pressed_ = false;
};

}  // namespace ov
