#include "document/panel_objects.h"

#include <algorithm>

#include "document/container.h"
#include "document/control_features.h"
#include "document/menu_entries.h"
#include "modules/list_text.h"
#include "document/plug_kinds.h"
#include "document/vst_plugin_module.h"

namespace ov {

constinit const SerialClass CPanelBox2::kClass{"CPanelBox2", 1, false, &MakeObject<CPanelBox2>,
                                               &CDocOb::kClass};
constinit const SerialClass CPortal::kClass{"CPortal", 1, false, &MakeObject<CPortal>,
                                            &CDocOb::kClass};
constinit const SerialClass control_ob_base::kClass{"control_ob_base", 1, false,
                                                    &MakeObject<control_ob_base>, &CUG::kClass};
constinit const SerialClass control_ob::kClass{"control_ob", 1, false, &MakeObject<control_ob>,
                                               &control_ob_base::kClass};
constinit const SerialClass kcontrol_ob_bitmap{"control_ob_bitmap", 1, false,
                                               &MakeObject<control_ob_bitmap>, &control_ob::kClass};
constinit const SerialClass kcontrol_ob_bitmap_joystick{"control_ob_bitmap_joystick", 1, false,
                                                        &MakeObject<control_ob_bitmap_joystick>,
                                                        &control_ob::kClass};
constinit const SerialClass kcontrol_ob_bitmap_tinted{"control_ob_bitmap_tinted", 1, false,
                                                      &MakeObject<control_ob_bitmap_tinted>,
                                                      &control_ob::kClass};
constinit const SerialClass kcontrol_ob_list{"control_ob_list", 1, false,
                                             &MakeObject<control_ob_list>, &control_ob::kClass};
constinit const SerialClass kcontrol_ob_text{"control_ob_text", 1, false,
                                             &MakeObject<control_ob_text>, &control_ob::kClass};
constinit const SerialClass control_group_ob::kClass{
    "control_group_ob", 1, false, &MakeObject<control_group_ob>, &control_ob_base::kClass};
constinit const SerialClass CTabBox::kClass{"CTabBox", 1, false, &MakeObject<CTabBox>,
                                            &control_ob_base::kClass};

void CPanelBox2::Serialize(FieldWalker& walker) {
  if (walker.LoadVersion() > 40) {
    CDocOb::Serialize(walker);
  } else if (walker.Loading()) {
    SetModuleTypeKey(walker, "Panel Group");
  }
  walker.String("title", title_);
  walker.RectField("panel_rect", panel_rect_);
}

void CPortal::Serialize(FieldWalker& walker) {
  CDocOb::Serialize(walker);
  walker.String("sub_panel", sub_panel_);
  walker.RectField("panel_rect", panel_rect_);
  if (walker.LoadVersion() >= 68) walker.Int32("scroll_mode", scroll_mode_);
}

void control_ob_base::Serialize(FieldWalker& walker) {
  CUG::Serialize(walker);
  Ref(walker, "shown_module", shown_module_);
  walker.RectField("panel_rect", panel_rect_);
}

void control_ob::SetUpAsNew(const Module_Info& type) {
  control_ob_base::SetUpAsNew(type);
  CompleteFeaturePlugs();
}

void control_ob::InitialiseAfterLoad(bool loaded) {
  CompleteFeaturePlugs();
  control_ob_base::InitialiseAfterLoad(loaded);
}

void control_ob::OnConnectionsChanged(CPlug2& plug, bool /*made*/) {
  if (auto* feature = dynamic_cast<CPlugFeature*>(&plug)) feature->RefreshItems();
}

int32_t control_ob::FaceKind() const {
  const SerialClass& serial_class = GetClass();
  if (&serial_class == &kcontrol_ob_bitmap) return kBitmapFace;
  if (&serial_class == &kcontrol_ob_bitmap_tinted) return kTintedFace;
  if (&serial_class == &kcontrol_ob_bitmap_joystick) return kJoystickFace;
  if (&serial_class == &kcontrol_ob_text) return kTextFace;
  if (&serial_class == &kcontrol_ob_list) return kListFace;
  return kButtonFace;
}

std::vector<CPlugFeature*> control_ob::FeaturePlugs() const {
  std::vector<CPlugFeature*> found;
  for (const auto& plug : plugs()) {
    if (auto* feature = dynamic_cast<CPlugFeature*>(plug.get()); feature && feature->described()) {
      found.push_back(feature);
    }
  }
  return found;
}

void control_ob::CompleteFeaturePlugs() {
  const std::span<const FaceFeature> features = FaceFeatures(FaceKind());
  const auto describe = [](CPlugFeature& plug, const FaceFeature& row) {
    // Panel-side outputs: the value lives in what the plug is connected to.
    plug.SetFeatureShape(DR_OUT, row.datatype, kPlugPanelSide, row.item_list);
  };
  int64_t highest = -1;  // stored indexes may be anything, INT32_MAX included
  for (const auto& plug : plugs()) {
    auto* feature = dynamic_cast<CPlugFeature*>(plug.get());
    if (feature == nullptr) continue;
    const int32_t index = feature->feature_index();
    highest = std::max<int64_t>(highest, index);
    // A stored index beyond the face's features stays an undescribed plug.
    if (index >= 0 && static_cast<std::size_t>(index) < features.size()) {
      describe(*feature, features[index]);
    }
  }
  for (int64_t i = highest + 1; i < static_cast<int64_t>(features.size()); ++i) {
    auto plug = std::make_unique<CPlugFeature3>();
    const FaceFeature& row = features[static_cast<std::size_t>(i)];
    plug->SetFeature(row.name, static_cast<int32_t>(i), 0);
    plug->set_index(static_cast<int16_t>(i));
    describe(*plug, row);
    InsertPlug(std::move(plug));
  }
}

void control_ob::Serialize(FieldWalker& walker) {
  control_ob_base::Serialize(walker);
  // Records of three int32 each, ended by a key of -1.
  constexpr int32_t kEnd = -1;
  const std::optional<std::size_t> count =
      walker.BeginList("records", records_.size(), CountForm::kTerminated, 4);
  if (count) {
    std::vector<std::array<int32_t, 3>> walked;
    for (std::size_t i = 0; i < *count; ++i) {
      std::array<int32_t, 3> record = walker.Loading() ? std::array<int32_t, 3>{} : records_[i];
      walker.BeginElement();
      walker.Int32("key", record[0]);
      if (record[0] == kEnd && walker.purpose() == WalkPurpose::kReadStream) {
        walker.EndElement();
        break;
      }
      if (record[0] == kEnd) walker.Fail(ArchiveErrorKind::kGeneric, "a record key of -1");
      walker.Int32("a", record[1]);
      walker.Int32("b", record[2]);
      walker.EndElement();
      walked.push_back(record);
    }
    if (walker.purpose() == WalkPurpose::kWriteStream) {
      int32_t end = kEnd;
      walker.Int32("", end);
    }
    if (walker.Loading()) records_ = std::move(walked);
  }
  walker.EndList();
}

void control_group_ob::Serialize(FieldWalker& walker) {
  control_ob_base::Serialize(walker);
  RefsUntilNull(walker, "members", members_);
}

void CTabBox::Serialize(FieldWalker& walker) {
  control_ob_base::Serialize(walker);
  walker.RectField("box_rect", box_rect_);
  const std::optional<std::size_t> count =
      walker.BeginList("pages", members_.size(), CountForm::kTerminated, 2);
  if (count) {
    std::vector<Member> walked;
    for (std::size_t i = 0; i < *count; ++i) {
      Member member = walker.Loading() ? Member{nullptr, 0} : members_[i];
      Persistent* object = member.object;
      walker.BeginElement();
      walker.Object("member", object, nullptr, false);
      if (object == nullptr && walker.purpose() == WalkPurpose::kReadStream) {
        walker.EndElement();
        break;
      }
      // Only document objects carry a page number; others are not members.
      const bool member_object = object != nullptr && object->IsKindOf(CDocOb::kClass);
      if (member_object) walker.Int32("page", member.page);
      walker.EndElement();
      if (!member_object) continue;
      member.object = static_cast<CDocOb*>(object);
      const bool listed = std::any_of(walked.begin(), walked.end(),
                                      [&](const Member& m) { return m.object == member.object; });
      if (!listed) walked.push_back(member);
    }
    if (walker.purpose() == WalkPurpose::kWriteStream) {
      Persistent* marker = nullptr;
      walker.Object("", marker, nullptr, false);
    }
    members_ = std::move(walked);
  }
  walker.EndList();
}

}  // namespace ov

namespace ov {
namespace {

constexpr std::string_view kPageNames = "Page Names";
constexpr std::string_view kPage = "Page";
constexpr std::string_view kDefaultPageNames = "Page 1,Page 2";

// The list text that numbers the names from 0.
std::string PageItems(const std::vector<std::string>& names) {
  std::string items;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) items += ",";
    items += names[i] + "=" + std::to_string(i);
  }
  return items;
}

}  // namespace

void CPanelBox2::ChangeTitle(std::string title) {
  if (title == title_) return;
  title_ = std::move(title);
  Notify(Notification(kNotifyRenamed, this, 0, title_));
}

namespace {

// What a sub-panel can show: a container's panel or a hosted plug-in's.
CUG* WithPanel(CDocOb* object) {
  if (auto* container = dynamic_cast<CContainer*>(object)) return container;
  return dynamic_cast<Ctl_VST_Plugin*>(object);
}

}  // namespace

std::vector<std::string> CPortal::SubPanelItems() const {
  std::vector<std::string> items{std::string(kNone)};
  if (parent() == nullptr) return items;
  for (const auto& child : parent()->children()) {
    if (const CUG* module = WithPanel(child.get())) items.push_back(module->title());
  }
  return items;
}

int32_t CPortal::SubPanelChoice() const {
  const std::vector<std::string> items = SubPanelItems();
  const auto at = std::find(items.begin(), items.end(), sub_panel_);
  return at == items.end() ? 0 : static_cast<int32_t>(at - items.begin());
}

void CPortal::ChooseSubPanel(std::string name) {
  sub_panel_ = std::move(name);
  Notify(Notification(kNotifyTargetChanged, this));
  if (parent() != nullptr) parent()->Notify(Notification(kNotifyModuleChanged, this));
}

CUG* CPortal::FindTarget() const {
  if (parent() == nullptr || sub_panel_ == kNone || sub_panel_.empty()) return nullptr;
  for (const auto& child : parent()->children()) {
    CUG* module = WithPanel(child.get());
    if (module != nullptr && module->title() == sub_panel_) return module;
  }
  return nullptr;
}

void CPortal::ChooseScrollMode(int32_t mode) {
  if (mode < 0 || mode >= static_cast<int32_t>(kScrollBarItems.size()) || mode == scroll_mode_) return;
  scroll_mode_ = mode;
  if (parent() != nullptr) parent()->Notify(Notification(kNotifyModuleChanged, this));
}

// The menu's choice ids: the scroll bar modes first, then the sub-panels.
namespace {
constexpr int32_t kFirstSubPanelCommand =
    kFirstChoiceCommand + static_cast<int32_t>(CPortal::kScrollBarItems.size());
}  // namespace

void CPortal::AddMenuEntries(ContextMenu& menu) {
  const std::vector<std::string> items = SubPanelItems();
  const int32_t chosen = SubPanelChoice();
  const int32_t most = kLastChoiceCommand - kFirstSubPanelCommand + 1;
  for (int32_t i = 0; i < static_cast<int32_t>(items.size()) && i < most; ++i) {
    menu.Add(kFirstSubPanelCommand + i, "Sub Panel: " + items[i], i == chosen ? kMenuChecked : 0u);
  }
  menu.AddSeparator();
  for (int32_t mode = 0; mode < static_cast<int32_t>(kScrollBarItems.size()); ++mode) {
    menu.Add(kFirstChoiceCommand + mode, "Scroll Bars: " + std::string(kScrollBarItems[mode]),
             mode == scroll_mode_ ? kMenuChecked : 0u);
  }
}

bool CPortal::OnMenuCommand(int32_t id) {
  if (id >= kFirstChoiceCommand && id < kFirstSubPanelCommand) {
    ChooseScrollMode(id - kFirstChoiceCommand);
    return true;
  }
  const std::vector<std::string> items = SubPanelItems();
  const int32_t item = id - kFirstSubPanelCommand;
  if (item < 0 || item >= static_cast<int32_t>(items.size())) return false;
  if (items[item] != sub_panel_) ChooseSubPanel(items[item]);
  return true;
}

void CTabBox::SetUpAsNew(const Module_Info& type) {
  control_ob_base::SetUpAsNew(type);
  AddPagePlugs();
}

void CTabBox::InitialiseAfterLoad(bool loaded) {
  AddPagePlugs();
  control_ob_base::InitialiseAfterLoad(loaded);
}

CPlug2* CTabBox::PlugNamed(std::string_view name) const { return FindPlug(name); }

void CTabBox::AddPagePlugs() {
  struct Shape {
    std::string_view name;
    int32_t datatype;
  };
  static constexpr Shape kShapes[] = {{kPageNames, DT_TEXT}, {kPage, DT_ENUM}};
  for (std::size_t i = 0; i < std::size(kShapes); ++i) {
    CPlugFeature* plug = nullptr;
    for (const auto& p : plugs()) {
      auto* feature = dynamic_cast<CPlugFeature*>(p.get());
      if (feature != nullptr && feature->feature_index() == static_cast<int32_t>(i)) plug = feature;
    }
    if (plug == nullptr) {
      auto made = std::make_unique<CPlugFeature3>();
      made->SetFeature(std::string(kShapes[i].name), static_cast<int32_t>(i), 0);
      made->set_index(static_cast<int16_t>(i));
      made->SetValueText(i == 0 ? std::string(kDefaultPageNames) : "0");
      plug = static_cast<CPlugFeature*>(InsertPlug(std::move(made)));
    }
    // Inputs of the panel: what is joined to them sets them.
    plug->SetFeatureShape(DR_IN, kShapes[i].datatype, kPlugPanelSide);
  }
  if (auto* page = dynamic_cast<CPlugFeature*>(PlugNamed(kPage))) {
    page->SetListText(PageItems(PageNames()));
  }
}

void CTabBox::AddMember(CDocOb* object, int32_t page) {
  if (object == nullptr || IsMember(object)) return;
  members_.push_back({object, page});
}

bool CTabBox::IsMember(const CDocOb* object) const {
  return std::any_of(members_.begin(), members_.end(),
                     [&](const Member& m) { return m.object == object; });
}

std::vector<std::string> CTabBox::PageNames() const {
  const CPlug2* plug = PlugNamed(kPageNames);
  const std::string text = plug != nullptr ? plug->value_text() : std::string(kDefaultPageNames);
  std::vector<std::string> names;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    names.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return names;
}

int32_t CTabBox::Page() const {
  const CPlug2* plug = PlugNamed(kPage);
  const int32_t page = plug != nullptr ? ParseLeadingInteger(plug->value_text()) : 0;
  const int32_t last = static_cast<int32_t>(PageNames().size()) - 1;
  return std::clamp(page, 0, last);
}

void CTabBox::SetPage(int32_t page) {
  if (CPlug2* plug = PlugNamed(kPage)) plug->WriteValueText(std::to_string(page));
}

void CTabBox::SetPageNames(const std::string& names) {
  if (CPlug2* plug = PlugNamed(kPageNames)) plug->WriteValueText(names);
}

void CTabBox::OnPlugValueChanged(CPlug2& plug) {
  control_ob_base::OnPlugValueChanged(plug);
  if (adjusting_) return;
  if (plug.Name() == kPageNames) {
    PagesChanged();
  } else if (plug.Name() == kPage) {
    Notify(Notification(kNotifyPageChanged, this));
  }
}

void CTabBox::PagesChanged() {
  const std::vector<std::string> names = PageNames();
  const int32_t last = static_cast<int32_t>(names.size()) - 1;
  for (Member& member : members_) member.page = std::clamp(member.page, 0, last);
  adjusting_ = true;
  if (auto* page = dynamic_cast<CPlugFeature*>(PlugNamed(kPage))) {
    page->SetListText(PageItems(names));
    const int32_t now = ParseLeadingInteger(page->value_text());
    if (now > last || now < 0) page->WriteValueText(std::to_string(std::clamp(now, 0, last)));
  }
  adjusting_ = false;
  if (parent() != nullptr) parent()->Notify(Notification(kNotifyModuleChanged, this));
}

}  // namespace ov
