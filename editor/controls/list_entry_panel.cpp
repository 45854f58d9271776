#include "editor/controls/list_entry_panel.h"

#include <string>
#include <vector>

#include "document/control_mapper.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/controls/rotary_switch.h"
#include "editor/groups.h"
#include "editor/widgets/default_controls.h"
#include "editor/widgets/drop_downs.h"
#include "editor/widgets/text_labels.h"
#include "modules/list_text.h"

namespace ov {
namespace {

constexpr std::string_view kSelectorFont = "selector_text";

// The text of the parameter's current item.
class CurrentItemLabel : public CMyTextLabel {
 public:
  // Drawn over the panel's background, as the skin's label colours expect.
  explicit CurrentItemLabel(generic_parameter* parameter) : CMyTextLabel({}, true) {
    SetCategory(kSelectorFont);
    WatchParameter(parameter);
    OnParameterChanged();
  }

 protected:
  void OnParameterChanged() override {
    generic_parameter* parameter = Watched();
    if (parameter == nullptr) return;
    const int32_t value = ParseLeadingInteger(parameter->ValueText());
    std::string text;
    ListText(parameter->ItemList()).ForEach([&](const ListText::Item& item) {
      if (item.value != value) return true;
      text = item.label;
      return false;
    });
    SetText(std::move(text));
  }
  void OnParameterRenamed(std::string_view) override {}
};

std::vector<ListText::Item> Items(generic_parameter* parameter) {
  std::vector<ListText::Item> items;
  if (parameter == nullptr) return items;
  ListText(parameter->ItemList()).ForEach([&items](const ListText::Item& item) {
    items.push_back(item);
    return true;
  });
  return items;
}

std::unique_ptr<CMyBmpCtrl> Button(generic_parameter* parameter, const char* image,
                                   control_mapper_bmc_enum::Mode mode,
                                   std::optional<int32_t> item = std::nullopt) {
  auto button = std::make_unique<CMyBmpCtrl>(image);
  button->SetMapper(std::make_unique<control_mapper_bmc_enum>(button.get(), parameter, mode, item));
  button->SetFlags(kVoOwned);
  return button;
}

std::unique_ptr<CMyTextLabel> ItemText(const std::string& text) {
  auto label = std::make_unique<CMyTextLabel>(text, true);
  label->SetCategory(kSelectorFont);
  label->SetFlags(kVoOwned | kVoGridFullHeight);
  return label;
}

// One row per item: an LED (read-only) or a toggle button standing for
// the item, and with `labelled` its text beside it.
std::unique_ptr<CGroup> ItemColumn(generic_parameter* parameter, bool leds, bool labelled) {
  auto column = std::make_unique<CGroup>();
  column->SetFlags(kVoOwned | kVoGridFullHeight);
  int32_t row = 0;
  for (const ListText::Item& item : Items(parameter)) {
    std::unique_ptr<CMyBmpCtrl> control =
        Button(parameter, leds ? "led" : "button_sm", control_mapper_bmc_enum::kNext, item.value);
    if (leds) {
      control->SetFlags(kVoReadOnly);
    } else {
      control->set_toggle(true);
    }
    control->set_tab_order(item.value);
    column->AddInCell(std::move(control), row, 0);
    if (labelled) column->AddInCell(ItemText(item.label), row, 1);
    ++row;
  }
  return column;
}

std::unique_ptr<CVisualOb> LedStack(generic_parameter* parameter, bool labelled) {
  auto group = std::make_unique<CGroup>();
  group->SetFlags(kVoOwned | kVoGridFullHeight);
  std::unique_ptr<CMyBmpCtrl> step = Button(parameter, "button_sm", control_mapper_bmc_enum::kNext);
  step->set_tab_order(1);
  group->AddInCell(std::move(step), 0, 0);
  group->AddInCell(ItemColumn(parameter, true, labelled), 0, 1);
  return group;
}

// A row of step buttons and the current item's text filling the rest.
std::unique_ptr<CVisualOb> Stepper(generic_parameter* parameter, bool both_ways) {
  auto group = std::make_unique<CGroup>();
  group->SetFlags(kVoOwned | kVoGridFullWidth);
  int32_t column = 0;
  if (both_ways) {
    std::unique_ptr<CMyBmpCtrl> left =
        Button(parameter, "arrow_left", control_mapper_bmc_enum::kPrevious);
    left->set_tab_order(1);
    group->AddInCell(std::move(left), 0, column++);
  }
  std::unique_ptr<CMyBmpCtrl> next = Button(
      parameter, both_ways ? "arrow_right" : "button_sm", control_mapper_bmc_enum::kNext);
  next->set_tab_order(1);
  group->AddInCell(std::move(next), 0, column++);
  auto label = std::make_unique<CurrentItemLabel>(parameter);
  label->SetFlags(kVoOwned | kVoGridFullWidth);
  group->AddInCell(std::move(label), 0, column);
  return group;
}

}  // namespace

std::unique_ptr<CVisualOb> MakeListEntryFace(generic_parameter* parameter, int32_t appearance) {
  std::unique_ptr<CVisualOb> face;
  switch (appearance) {
    case kListLedStack:
      face = LedStack(parameter, false);
      break;
    case kListLabeledLedStack:
      face = LedStack(parameter, true);
      break;
    case kListSelector:
      face = Stepper(parameter, false);
      break;
    case kListButtonStack:
      face = ItemColumn(parameter, false, true);
      break;
    case kListRotarySwitch:
    case kListRotaryNoText:
      face = std::make_unique<RotarySwitch>(parameter, appearance == kListRotarySwitch);
      break;
    case kListUpDown:
      face = Stepper(parameter, true);
      break;
    default: {
      auto list = std::make_unique<CMyCombobox>(parameter);
      list->SetFlags(kVoOwned);
      if (parameter != nullptr) list->SetWidthInCharacters(ListWidthInCharacters(parameter->ItemList()));
      face = std::move(list);
      break;
    }
  }
  face->SetFlags(kVoThick);
  return face;
}

}  // namespace ov
