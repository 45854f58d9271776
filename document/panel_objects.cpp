#include "document/panel_objects.h"

#include <algorithm>

#include "document/control_features.h"
#include "document/plug_kinds.h"

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
