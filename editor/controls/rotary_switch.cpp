#include "editor/controls/rotary_switch.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "document/control_mapper.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/controls/multi_line.h"
#include "editor/widgets/text_labels.h"
#include "editor/widgets/widget_text.h"
#include "modules/list_text.h"

namespace ov {
namespace {

constexpr std::string_view kSwitchLabelFont = "switch_label";
constexpr float kPi = std::numbers::pi_v<float>;

int32_t Trunc(float v) { return static_cast<int32_t>(v); }

std::vector<std::string> ItemTexts(const std::string& list) {
  std::vector<std::string> texts;
  ListText(list).ForEach([&texts](const ListText::Item& item) {
    texts.push_back(item.label);
    return true;
  });
  return texts;
}

}  // namespace

RotaryLayout LayOutRotary(std::span<const Point> label_sizes, int32_t height, int32_t knob_width) {
  RotaryLayout layout;
  const auto n = static_cast<int32_t>(label_sizes.size());
  if (n == 0) return layout;
  const auto h = static_cast<float>(height);
  float radius = 35.0f;
  float spacing = h;
  int32_t per_side = n;
  bool two_sided = false;
  float half_column = spacing * static_cast<float>(n - 1) / 2.0f;
  if (half_column > 35.0f) {
    two_sided = true;
    per_side = n / 2;
    half_column = static_cast<float>(per_side - 1) * h / 2.0f;
    if (35.0f - h < half_column) radius = half_column + h / 2.0f;
  }
  const auto f = static_cast<float>(per_side);
  if (2.0f * radius / f > spacing) {
    spacing = 2.0f * radius / f;
    half_column = (f - 1.0f) * spacing / 2.0f;
  }
  if (two_sided) {
    layout.step = n == 2 * per_side ? kPi / f : kPi / (f + 1.0f);
    layout.start = -layout.step * (f - 1.0f) / 2.0f;
  } else if (n > 1) {
    const float half_angle = std::asin(std::clamp(half_column / radius, -1.0f, 1.0f));
    layout.start = -half_angle;
    layout.step = 2.0f * half_angle / static_cast<float>(n - 1);
  }
  layout.wrap_offset = layout.start / (2.0f * kPi);
  layout.wrap_scale = layout.step * static_cast<float>(n - 1) / (2.0f * kPi);
  const float r0 = 0.4f * static_cast<float>(knob_width);
  for (int32_t a = 0; a < n; ++a) {
    const auto fa = static_cast<float>(a);
    const float o = a < per_side ? (fa - (f - 1.0f) / 2.0f) * spacing
                                 : (static_cast<float>(n - a - 1) - (f - 1.0f) / 2.0f) * spacing;
    // Past the circle's top or bottom there is no point at that height.
    float x = std::abs(o) >= radius ? 0.0f : std::sqrt(radius * radius - o * o);
    if (two_sided && fa > static_cast<float>(n - 1) / 2.0f) x = -x;
    const float theta = fa * layout.step + layout.start;
    const float xs = radius * std::cos(theta);
    const float ys = radius * std::sin(theta);
    const float x1 = r0 * std::cos(theta);
    const float y1 = r0 * std::sin(theta);
    RotaryLayout::Label label;
    label.leader.push_back({Trunc(x1), Trunc(y1)});
    if ((ys < o - 0.8f && y1 > o) || (ys > o + 0.8f && y1 < o)) {
      label.leader.push_back({Trunc(xs * o / ys), Trunc(o)});
      if (x != 0.0f && o != 0.0f) label.leader.push_back({Trunc(x), Trunc(o)});
    } else {
      label.leader.push_back({Trunc(xs), Trunc(ys)});
    }
    const Point size = label_sizes[static_cast<size_t>(a)];
    const int32_t half_w = size.x / 2;
    const int32_t half_h = size.y / 2;
    if (x > -1.0f && x < 1.0f) {
      label.top_left = {Trunc(x - static_cast<float>(half_w)),
                        Trunc(o > 0.0f ? o + 4.0f - static_cast<float>(half_h)
                                       : o - 2.0f * static_cast<float>(half_h))};
    } else {
      label.top_left = {Trunc(x > 0.0f ? x + 4.0f : x - static_cast<float>(size.x + 4)),
                        Trunc(o - static_cast<float>(half_h))};
    }
    layout.labels.push_back(std::move(label));
  }
  return layout;
}

RotarySwitch::RotarySwitch(generic_parameter* parameter, bool labelled) : labelled_(labelled) {
  SetFlags(kVoOwned | kVoGridFullHeight);
  Watch(parameter);
}

Point RotarySwitch::PreferredSize() const {
  const_cast<RotarySwitch*>(this)->Build();
  return GroupLoose::PreferredSize();
}

void RotarySwitch::Open() {
  Build();
  GroupLoose::Open();
}

void RotarySwitch::Close() {
  GroupLoose::Close();  // the knob, labels and leaders go with it
  built_ = false;
}

void RotarySwitch::Build() {
  if (built_ || GetSkin() == nullptr) return;
  built_ = true;
  generic_parameter* parameter = Watched();
  const std::vector<std::string> texts =
      ItemTexts(parameter != nullptr ? parameter->ItemList() : std::string());

  auto knob = std::make_unique<CMyBmpCtrl>("switch_rotary");
  knob->SetMapper(std::make_unique<control_mapper_bmc_enum>(
      knob.get(), parameter, control_mapper_bmc_enum::kPassThrough));
  knob->set_tab_order(1);
  knob->SetFlags(kVoOwned);
  CMyBmpCtrl* knob_in_group = knob.get();
  Add(std::move(knob));
  const Point knob_size = knob_in_group->PreferredSize();

  std::vector<CMyTextLabel*> labels;
  std::vector<Point> sizes(texts.size(), Point{0, 0});
  for (const std::string& text : labelled_ ? texts : std::vector<std::string>{}) {
    auto label = std::make_unique<CMyTextLabel>(text, true);
    label->SetCategory(kSwitchLabelFont);
    label->SetFlags(kVoGridFullHeight | kVoOwned);
    labels.push_back(label.get());
    Add(std::move(label));
    sizes[labels.size() - 1] = labels.back()->PreferredSize();
  }
  const int32_t height = ExtentIn(*this, {kSwitchLabelFont}, "X").y;
  const RotaryLayout layout = LayOutRotary(sizes, height, knob_size.x);
  knob_in_group->SetWrap(layout.wrap_offset, layout.wrap_scale);
  knob_in_group->SetRect({-(knob_size.x / 2), -(knob_size.y / 2), knob_size.x / 2, knob_size.y / 2});
  const Colour colour = CategoryColour(*this, kSwitchLabelFont);
  for (size_t i = 0; i < labels.size(); ++i) {
    const RotaryLayout::Label& place = layout.labels[i];
    auto line = std::make_unique<MultiLine>(colour);
    line->SetFlags(kVoOwned);
    line->SetFirstPoint(place.leader.front());
    for (size_t k = 1; k < place.leader.size(); ++k) line->AddPoint(place.leader[k]);
    Add(std::move(line));
    const Point size = sizes[i];
    labels[i]->SetRect({place.top_left.x, place.top_left.y, place.top_left.x + size.x,
                        place.top_left.y + size.y});
  }
  Normalise();
}

}  // namespace ov
