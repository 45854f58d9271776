// Panel objects: boxes, sub-panels, tab pages and the panel faces of
// control modules. How they draw belongs to the editor; the document keeps
// what the project stores.
//
// Threads: editor only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "document/module.h"
#include "document/same_fields.h"

namespace ov {

class CPlugFeature;

// `CPanelBox2`: a titled box on the panel.
class CPanelBox2 : public CDocOb {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  const std::string& title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }
  const Rect& panel_rect() const { return panel_rect_; }
  void SetPanelRect(const Rect& rect) { panel_rect_ = rect; }

 protected:
  Rect* ViewRectField(int32_t view_kind) override {
    return view_kind == kViewControlPanel ? &panel_rect_ : CDocOb::ViewRectField(view_kind);
  }

 private:
  std::string title_;
  Rect panel_rect_;
};

// `CPortal`: a window onto another panel.
class CPortal : public CDocOb {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

 protected:
  Rect* ViewRectField(int32_t view_kind) override {
    return view_kind == kViewControlPanel ? &panel_rect_ : CDocOb::ViewRectField(view_kind);
  }

 private:
  std::string sub_panel_;
  Rect panel_rect_;
  int32_t scroll_mode_ = 3;
};

// `control_ob_base`: the panel face of another module.
class control_ob_base : public CUG {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  CDocOb* shown_module() const { return shown_module_; }

 protected:
  Rect* ViewRectField(int32_t view_kind) override {
    return view_kind == kViewControlPanel ? &panel_rect_ : CUG::ViewRectField(view_kind);
  }

 private:
  CDocOb* shown_module_ = nullptr;
  Rect panel_rect_{0, 0, 20, 20};
};

// `control_ob`: a panel face with settings records that are kept as stored,
// and one feature plug (a CPlugFeature3 output) per feature of its face:
// the editor binds each feature plug to the face's feature of the same
// index.
class control_ob : public control_ob_base {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;
  void SetUpAsNew(const Module_Info& type) override;
  void InitialiseAfterLoad(bool loaded) override;
  // A list feature plug takes the items of what it is now connected to.
  void OnConnectionsChanged(CPlug2& plug, bool made) override;

  // The face this class shows (document/control_features.h).
  int32_t FaceKind() const;
  // Its feature plugs, each with the feature index it stands for.
  std::vector<CPlugFeature*> FeaturePlugs() const;

 private:
  // Describes the loaded feature plugs, then adds one for each feature
  // above the highest feature index present.
  void CompleteFeaturePlugs();

 private:
  std::vector<std::array<int32_t, 3>> records_;  // key, then two values
};

extern const SerialClass kcontrol_ob_bitmap;
extern const SerialClass kcontrol_ob_bitmap_joystick;
extern const SerialClass kcontrol_ob_bitmap_tinted;
extern const SerialClass kcontrol_ob_list;
extern const SerialClass kcontrol_ob_text;
using control_ob_bitmap = SameFieldsAs<kcontrol_ob_bitmap, control_ob>;
using control_ob_bitmap_joystick = SameFieldsAs<kcontrol_ob_bitmap_joystick, control_ob>;
using control_ob_bitmap_tinted = SameFieldsAs<kcontrol_ob_bitmap_tinted, control_ob>;
using control_ob_list = SameFieldsAs<kcontrol_ob_list, control_ob>;
using control_ob_text = SameFieldsAs<kcontrol_ob_text, control_ob>;

// `control_group_ob`: a group of panel objects that move together.
class control_group_ob : public control_ob_base {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  const std::vector<CDocOb*>& members() const { return members_; }

 private:
  std::vector<CDocOb*> members_;
};

// `CTabBox`: panel objects spread over numbered pages.
class CTabBox : public control_ob_base {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  struct Member {
    CDocOb* object;
    int32_t page;
  };
  const std::vector<Member>& members() const { return members_; }

 private:
  Rect box_rect_;
  std::vector<Member> members_;
};

}  // namespace ov
