#include "editor/widgets/default_controls.h"

#include <algorithm>
#include <string_view>

#include "document/control_mapper.h"
#include "document/file_plugs.h"
#include "document/param_msg_map.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/groups.h"
#include "editor/widgets/buttons.h"
#include "editor/widgets/drop_downs.h"
#include "editor/widgets/edit_boxes.h"
#include "editor/widgets/parameter_controls.h"
#include "editor/widgets/text_labels.h"
#include "engine/interface_object.h"

namespace ov {
namespace {

constexpr int32_t kEditCharacters = 10;

bool IsRangeList(std::string_view list) {
  constexpr std::string_view kRange = "range";
  if (list.size() < kRange.size()) return false;
  return std::equal(kRange.begin(), kRange.end(), list.begin(),
                    [](char a, char b) { return a == (b | 0x20); });
}

}  // namespace

int32_t ListWidthInCharacters(std::string_view list) {
  size_t longest = 0;
  while (true) {
    const size_t comma = list.find(',');
    longest = std::max(longest, list.substr(0, comma).size());
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return static_cast<int32_t>(std::clamp<size_t>(longest, 2, 12));
}

namespace {

// A knob and its value text, keeping the facet adaptor the text shows.
class KnobWithValue : public CGroup {
 public:
  explicit KnobWithValue(std::unique_ptr<ParamMsgMap> adaptor) : adaptor_(std::move(adaptor)) {}
  ParamMsgMap* adaptor() const { return adaptor_.get(); }
  // The knob learns its size from its image, which it takes as it opens,
  // after the first layout: laid out again then, so that the text starts
  // beside the knob and not under it, and the parent makes room.
  void Open() override {
    CGroup::Open();
    if (!children().empty()) ChildResized(*children().front());
  }

 private:
  std::unique_ptr<ParamMsgMap> adaptor_;
};

std::unique_ptr<CMyBmpCtrl> MappedBitmap(generic_parameter& parameter, const char* image) {
  auto control = std::make_unique<CMyBmpCtrl>(image);
  control->SetMapper(std::make_unique<control_mapper_bmc_param>(control.get(), &parameter));
  control->SetFlags(kVoOwned);
  return control;
}

std::unique_ptr<CGroup> Grid() {
  auto grid = std::make_unique<CGroup>();
  grid->SetFlags(kVoOwned | kVoGridFullHeight);
  return grid;
}

}  // namespace

std::unique_ptr<CVisualOb> MakeDefaultControl(generic_parameter& parameter) {
  const int32_t type = parameter.Datatype();
  if (type == DT_MIDI || type > DT_INT) return nullptr;
  if (type == DT_ENUM) {
    const std::string list = parameter.ItemList();
    if (!IsRangeList(list)) {
      auto combo = std::make_unique<CMyCombobox>(&parameter);
      combo->SetFlags(kVoOwned | kVoGridFullHeight);
      combo->SetWidthInCharacters(ListWidthInCharacters(list));
      return combo;
    }
    std::unique_ptr<CGroup> grid = Grid();
    auto edit = std::make_unique<CMyEdit>(&parameter);
    edit->SetFlags(kVoOwned | kVoGridFullHeight);
    edit->set_tab_order(1);
    CMyEdit* buddy = edit.get();
    grid->AddInCell(std::move(edit), 0, 0);
    auto arrows = std::make_unique<CMySpinButtonCtrl>(&parameter, buddy);
    arrows->SetFlags(kVoOwned);
    grid->AddInCell(std::move(arrows), 0, 1);
    return grid;
  }
  if (type == DT_BOOL) {
    std::unique_ptr<CMyBmpCtrl> toggle = MappedBitmap(parameter, "button_sm");
    toggle->set_toggle(true);
    return toggle;
  }
  if (type == kHostedParameterType) {
    auto grid = std::make_unique<KnobWithValue>(
        std::make_unique<ParamMsgMap>(&parameter, ParamMsgMap::kValueText));
    grid->SetFlags(kVoOwned | kVoGridFullHeight);
    std::unique_ptr<CMyBmpCtrl> knob = MappedBitmap(parameter, "knob_sm");
    knob->set_tab_order(1);
    grid->AddInCell(std::move(knob), 0, 0);
    auto value = std::make_unique<CPlugWnd>(grid->adaptor());
    value->SetFlags(kVoOwned | kVoReadOnly);
    grid->AddInCell(std::move(value), 0, 1);
    return grid;
  }
  if (parameter.DisplayOnly()) {
    auto label = std::make_unique<CPlugWnd>(&parameter);
    label->SetColour(MakeColour(0, 0, 0));
    label->SetFlags(kVoOwned | kVoGridFullHeight);
    return label;
  }
  auto edit = std::make_unique<CMyEdit>(&parameter);
  edit->SetWidthInCharacters(kEditCharacters);
  edit->SetFlags(kVoOwned | kVoGridFullHeight);
  const std::string file_type = FileTypeOf(parameter);
  if (file_type.empty()) return edit;
  // A file name can be typed or picked.
  std::unique_ptr<CGroup> grid = Grid();
  edit->set_tab_order(1);
  grid->AddInCell(std::move(edit), 0, 0);
  auto browse = std::make_unique<CMyBrowseButton>(&parameter, file_type);
  browse->SetFlags(kVoOwned);
  browse->set_tab_order(2);
  grid->AddInCell(std::move(browse), 0, 1);
  return grid;
}

}  // namespace ov
