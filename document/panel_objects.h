// Panel objects: boxes, sub-panels, tab pages and the panel faces of
// control modules. How they draw belongs to the editor; the document keeps
// what the project stores.
//
// Threads: editor only.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
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
  // The panel's "Title": what shows it hears code 10.
  void ChangeTitle(std::string title);
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

// Code the listeners of a sub-panel hear when it was pointed elsewhere.
inline constexpr int32_t kNotifyTargetChanged = 48;

// `CPortal`: a window onto another panel.
class CPortal : public CDocOb {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  static constexpr std::string_view kNone = "<none>";
  // "Scroll Bars": 0 auto, 1 none, 2 enable; 3 (older projects) sizes the
  // window to its content.
  int32_t scroll_mode() const { return scroll_mode_; }
  const std::string& sub_panel() const { return sub_panel_; }
  // "Sub Panel"'s items: "<none>", then the names of the containers and
  // hosted plug-ins beside the portal, in their container's order.
  std::vector<std::string> SubPanelItems() const;
  // The position of the stored name among the items, 0 when not there.
  int32_t SubPanelChoice() const;
  // Stores the name; the portal's listeners hear code 48 and its container
  // code 14, so the sub-panel is built again.
  void ChooseSubPanel(std::string name);
  // The first container or hosted plug-in beside the portal named as
  // chosen, or null.
  CUG* FindTarget() const;
  // Stores a "Scroll Bars" value (0 to 2); the container hears code 14,
  // so the sub-panel is built again.
  void ChooseScrollMode(int32_t mode);
  static constexpr std::array<std::string_view, 3> kScrollBarItems{"Auto", "None", "Enable"};

  // The portal's menu offers both choices, each item checked when chosen.
  void AddMenuEntries(ContextMenu& menu) override;
  bool OnMenuCommand(int32_t id) override;

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
  // A member once only.
  void AddMember(CDocOb* member) {
    if (member != nullptr && std::find(members_.begin(), members_.end(), member) == members_.end()) {
      members_.push_back(member);
    }
  }

 private:
  std::vector<CDocOb*> members_;
};

// Code the listeners of a tab box hear when its page changed.
inline constexpr int32_t kNotifyPageChanged = 52;

// `CTabBox`: panel objects spread over numbered pages. Its "Page Names"
// (comma-separated) and "Page" are panel-side plugs: a list control joined
// to "Page" shows the names and chooses the page.
class CTabBox : public control_ob_base {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;
  void SetUpAsNew(const Module_Info& type) override;
  void InitialiseAfterLoad(bool loaded) override;
  // "Page Names" rebuilds the pages; "Page" tells the listeners (code 52).
  void OnPlugValueChanged(CPlug2& plug) override;

  struct Member {
    CDocOb* object;
    int32_t page;
  };
  const std::vector<Member>& members() const { return members_; }
  // Puts `object` on `page` (a member once only).
  void AddMember(CDocOb* object, int32_t page);
  bool IsMember(const CDocOb* object) const;

  // The pages' names: one page, named "", for an empty text.
  std::vector<std::string> PageNames() const;
  // The current page, within the pages.
  int32_t Page() const;
  void SetPage(int32_t page);
  void SetPageNames(const std::string& names);

 private:
  void AddPagePlugs();
  // After the names changed: members beyond the last page move onto it,
  // "Page" stays within the pages and the container hears code 14.
  void PagesChanged();
  CPlug2* PlugNamed(std::string_view name) const;

  Rect box_rect_;
  std::vector<Member> members_;
  bool adjusting_ = false;
};

}  // namespace ov
