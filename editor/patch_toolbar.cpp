#include "editor/patch_toolbar.h"

#include <algorithm>
#include <string_view>

#include "document/container.h"
#include "document/module.h"
#include "document/vst_parameters.h"
#include "document/vst_plugin_module.h"
#include "editor/canvas.h"
#include "editor/context_menu.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/groups.h"
#include "editor/view_root.h"
#include "editor/widgets/default_controls.h"
#include "editor/widgets/edit_box.h"
#include "editor/widgets/text_labels.h"
#include "modules/list_text.h"

namespace ov {
namespace {

constexpr int32_t kPatchNameCharacters = 15;
constexpr Colour kTextButtonColour = MakeColour(100, 100, 0);
constexpr const char* kFileMenuTexts[] = {"Load Bank", "Save Bank", "Load Inst", "Save Inst"};

// A container's own parameters first ("Program", "Program Name"), then
// those the module offers panels (a hosted plug-in's "Channel").
generic_parameter* ParameterNamed(CUG& owner, std::string_view name) {
  if (auto* container = dynamic_cast<CContainer*>(&owner)) {
    if (generic_parameter* own = container->FindParameter(name)) return own;
  }
  // A hosted plug-in's panel parameters, which hosts never see, and its
  // "Channel" plug.
  if (auto* hosted = dynamic_cast<Ctl_VST_Plugin*>(&owner)) {
    for (const auto& parameter : hosted->parameters()) {
      auto* extra = dynamic_cast<parameter_vst_xtra*>(parameter.get());
      if (extra != nullptr && extra->Name() == name) return extra;
    }
    return hosted->FindPlug(name);
  }
  std::vector<generic_parameter*> parameters;
  owner.CollectGenericParameters(parameters);
  for (generic_parameter* parameter : parameters) {
    if (parameter != nullptr && parameter->Name() == name) return parameter;
  }
  return nullptr;
}

std::unique_ptr<CVisualOb> ImageButton(const char* image, PatchButtonOwner& owner,
                                       control_mapper_bmc_menu::Kind kind,
                                       generic_parameter* program) {
  auto button = std::make_unique<CMyBmpCtrl>(image);
  button->SetMapper(
      std::make_unique<control_mapper_bmc_menu>(button.get(), owner, kind, program));
  return button;
}

std::unique_ptr<CVisualOb> TextButton(const char* text, PatchButtonOwner& owner,
                                      control_mapper_bmc_menu::Kind kind) {
  auto button = std::make_unique<CMyTextButton>(text, nullptr, false);
  button->SetMapper(std::make_unique<control_mapper_bmc_menu>(nullptr, owner, kind, nullptr));
  button->set_flat(true);
  button->SetColour(kTextButtonColour);
  return button;
}

}  // namespace

CPatchSelDecorator::CPatchSelDecorator(CUG& owner, std::unique_ptr<CVisualOb> content)
    : owner_(owner), content_(nullptr) {
  SetFlags(kVoOwned);
  if (content != nullptr) {
    content->set_tab_order(0);
    content_ = AdoptChild(std::move(content), false);
  }
}

void CPatchSelDecorator::MakeItems() {
  if (!items_.empty()) return;
  program_ = ParameterNamed(owner_, "Program");
  program_name_ = ParameterNamed(owner_, "Program Name");
  generic_parameter* channel = ParameterNamed(owner_, "Channel");
  std::vector<std::unique_ptr<CVisualOb>> made;
  if (program_ != nullptr) {
    made.push_back(ImageButton("arrow_left", *this, control_mapper_bmc_menu::kPatchDown, program_));
    made.push_back(ImageButton("arrow_right", *this, control_mapper_bmc_menu::kPatchUp, program_));
  }
  if (program_name_ != nullptr) {
    if (std::unique_ptr<CVisualOb> field = MakeDefaultControl(*program_name_)) {
      if (auto* edit = dynamic_cast<EditBox*>(field.get())) {
        edit->SetWidthInCharacters(kPatchNameCharacters);
      }
      made.push_back(std::move(field));
    }
    made.push_back(ImageButton("drop_down", *this, control_mapper_bmc_menu::kPatchList, program_));
    list_button_ = made.back().get();
  }
  if (channel != nullptr) {
    auto group = std::make_unique<CGroup>();
    auto label = std::make_unique<CMyTextLabel>("Chan");
    label->SetColour(MakeColour(0, 0, 0));
    label->SetFlags(kVoOwned);
    group->AddInCell(std::move(label), 0, 0);
    if (std::unique_ptr<CVisualOb> control = MakeDefaultControl(*channel)) {
      control->set_tab_order(1);
      group->AddInCell(std::move(control), 0, 1);
    }
    made.push_back(std::move(group));
  }
  made.push_back(TextButton("FILE", *this, control_mapper_bmc_menu::kFileMenu));
  file_button_ = made.back().get();
  made.push_back(TextButton(" COPY", *this, control_mapper_bmc_menu::kCopy));
  int32_t order = 1;
  for (std::unique_ptr<CVisualOb>& item : made) {
    item->SetFlags(kVoOwned);
    item->set_tab_order(order++);
    items_.push_back(AdoptChild(std::move(item), false));
  }
}

int32_t CPatchSelDecorator::LayOut(int32_t width, bool place) {
  int32_t x = 0;
  int32_t row = 0;
  int32_t lowest = 0;
  for (CVisualOb* item : items_) {
    const Point size = item->PreferredSize();
    if (x > 0 && x + size.x > width) {
      ++row;
      x = 0;
    }
    const int32_t top = row * kRowHeight + (kRowHeight - size.y) / 2;
    if (place) item->SetRect({x, top, x + size.x, top + size.y});
    x += size.x;
    lowest = std::max(lowest, top + size.y);
  }
  return lowest;
}

void CPatchSelDecorator::PlaceContent(int32_t top) {
  if (content_ == nullptr) return;
  const Rect r = GetRect();
  content_->SetRect({0, top, r.right - r.left, r.bottom - r.top});
}

Point CPatchSelDecorator::PreferredSize() const {
  const Point content = content_ != nullptr ? content_->PreferredSize() : Point{0, 0};
  auto* self = const_cast<CPatchSelDecorator*>(this);
  self->MakeItems();
  return {content.x, content.y + self->LayOut(content.x, false)};
}

void CPatchSelDecorator::SetRect(const Rect& rect) {
  const Rect old = GetRect();
  CPaintObject::SetRect(rect);
  if (rect.right - rect.left == old.right - old.left &&
      rect.bottom - rect.top == old.bottom - old.top) {
    return;
  }
  PlaceContent(LayOut(rect.right - rect.left, true));
}

void CPatchSelDecorator::Open() {
  MakeItems();
  PlaceContent(LayOut(GetRect().right - GetRect().left, true));
  CPaintObject::Open();
}

void CPatchSelDecorator::Close() {
  const bool content_goes = content_ != nullptr && (content_->flags() & kVoOwned) != 0;
  CPaintObject::Close();  // the items go, and the panel when it is owned
  items_.clear();
  list_button_ = nullptr;
  file_button_ = nullptr;
  if (content_goes) content_ = nullptr;
}

void CPatchSelDecorator::Draw(Canvas& canvas) {
  canvas.FillRect(ClientRect(), MakeColour(255, 255, 255));
}

void CPatchSelDecorator::Paint(Canvas& canvas) {
  Draw(canvas);
  for (auto it = children().rbegin(); it != children().rend(); ++it) {
    CVisualOb* child = *it;
    const Rect r = child->GetRect();
    if (!child->IsOpen() || !canvas.RectVisible(r)) continue;
    canvas.PushClip(r);
    canvas.OffsetOrigin(r.left, r.top);
    child->Paint(canvas);
    canvas.OffsetOrigin(-r.left, -r.top);
    canvas.PopClip();
  }
}

void CPatchSelDecorator::ShowPatchList() {
  COrvaneViewBase* root = Root();
  if (root == nullptr || list_button_ == nullptr || program_name_ == nullptr) return;
  std::vector<std::string> texts;
  std::vector<int32_t> values;
  ListText(program_name_->ItemList()).ForEach([&](const ListText::Item& item) {
    texts.push_back(ChoiceItemText(static_cast<int32_t>(texts.size()), item.label));
    values.push_back(item.value);
    return true;
  });
  const int32_t current =
      program_ != nullptr ? ParseLeadingInteger(program_->ValueText()) : -1;
  const auto at = std::find(values.begin(), values.end(), current);
  const int32_t checked = at == values.end() ? -1 : static_cast<int32_t>(at - values.begin());
  const Rect r = list_button_->GetRect();
  root->ShowList(*this, texts, checked, ToRoot({r.left, r.bottom}),
                 [this, values](int32_t item) {
                   if (item < 0 || item >= static_cast<int32_t>(values.size())) return;
                   if (program_ != nullptr) {
                     program_->WriteValueText(std::to_string(values[static_cast<size_t>(item)]));
                   }
                 });
}

void CPatchSelDecorator::ShowFileMenu() {
  COrvaneViewBase* root = Root();
  if (root == nullptr || file_button_ == nullptr) return;
  const std::vector<std::string> texts(std::begin(kFileMenuTexts), std::end(kFileMenuTexts));
  const Rect r = file_button_->GetRect();
  root->ShowList(*this, texts, -1, ToRoot({r.left, r.bottom}), [this](int32_t item) {
    if (item < 0 || item >= static_cast<int32_t>(std::size(kFileMenuTexts))) return;
    if (COrvaneViewBase* view = Root()) view->RunCommand(*this, kCommandLoadBank + item);
  });
}

void CPatchSelDecorator::OwnerCommand(int32_t id) { Command(id, {}); }

void AddPatchToolbar(VisualMakers& makers) {
  makers.SetWrapper([](CContainer& container, int32_t view_kind,
                       std::unique_ptr<CVisualOb> panel) -> std::unique_ptr<CVisualOb> {
    if (view_kind != kViewControlPanel || !container.HoldsPatchSelect()) return panel;
    return std::make_unique<CPatchSelDecorator>(container, std::move(panel));
  });
}

}  // namespace ov
