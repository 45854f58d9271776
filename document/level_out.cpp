#include "document/level_out.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "document/plug_kinds.h"
#include "document/ui_converters.h"
#include "modules/level_meter.h"
#include "modules/list_text.h"
#include "platform/text.h"

namespace ov {

constinit const SerialClass kui_control2{"ui_control2", 1, false, &MakeObject<ui_control2>,
                                         &CControl::kClass};
constinit const SerialClass kui_param_float_out{"ui_param_float_out", 1, false,
                                                &MakeObject<ui_param_float_out>, &kui_control2};

void ui_control2::OnConnectionsChanged(CPlug2& plug, bool made) {
  const std::string title_kept = title();
  CControl::OnConnectionsChanged(plug, made);
  SetTitle(title_kept);
}

namespace {

struct LevelFeature {
  const char* name;
  int32_t datatype;
  const char* default_text;
  const char* item_list;
};

// After the engine plugs, as feature plugs 0, 1, ...
constexpr LevelFeature kFeatures[] = {{"Unscaled Value", DT_FLOAT, "0", ""},
                                      {"Scaled Value", DT_FLOAT, "0", ""},
                                      {"Hi Value", DT_FLOAT, "10", ""},
                                      {"Lo Value", DT_FLOAT, "0", ""},
                                      {"Scale", DT_ENUM, "0", "Volts,dB,VU Stretch (-20 to +3)"},
                                      {"Short Name", DT_TEXT, "", ""},
                                      {"Long Name", DT_TEXT, "", ""}};
constexpr int16_t kFirstFeaturePlug = 5;

}  // namespace

double ui_param_float_out::Shown(float level, int32_t scale) {
  if (scale == kVolts) return 10.0 * level;
  if (!(level >= 1e-8f)) return -150.0;
  return 20.0 * std::log10(static_cast<double>(level)) + 10.0;
}

std::string ui_param_float_out::ShownText(double shown) {
  std::string text = FormatFixed(shown, 6);
  if (text.find('.') == std::string::npos) return text;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

double ui_param_float_out::Position(double scaled, double lo, double hi, int32_t scale) {
  if (scale == kVuStretch) {
    const double position = ui_animation_scaler_db::Curve(static_cast<float>(scaled));
    return position > 0.0 ? position : 0.0;
  }
  if (hi == lo) return 0.0;  // no range: no division
  const double position = (scaled - lo) / (hi - lo);
  // Bounded against lo itself; the bitmap controls clamp to 0..1.
  if (hi > lo && position <= lo) return lo;
  if (hi <= lo && position >= lo) return lo;
  return position;
}

void ui_param_float_out::DescribeFeatures() {
  described_ = true;
  std::vector<CPlugFeature*> found(std::size(kFeatures), nullptr);
  for (const auto& plug : plugs()) {
    auto* feature = dynamic_cast<CPlugFeature*>(plug.get());
    if (feature == nullptr || feature->feature_index() < 0 ||
        static_cast<std::size_t>(feature->feature_index()) >= found.size()) {
      continue;
    }
    found[static_cast<std::size_t>(feature->feature_index())] = feature;
  }
  for (std::size_t i = 0; i < found.size(); ++i) {
    CPlugFeature* feature = found[i];
    if (feature == nullptr) {
      auto plug = std::make_unique<CPlugFeature>();
      plug->SetFeature(kFeatures[i].name, static_cast<int32_t>(i), 0);
      plug->set_index(static_cast<int16_t>(kFirstFeaturePlug + i));
      plug->SetValueText(kFeatures[i].default_text);
      feature = static_cast<CPlugFeature*>(InsertPlug(std::move(plug)));
    }
    feature->SetFeatureShape(DR_IN, kFeatures[i].datatype, kPlugPanelSide, kFeatures[i].item_list);
  }
}

void ui_param_float_out::BindShortName() {
  CPlug2* short_name = FindPlug("Short Name");
  if (short_name == nullptr) return;
  if (short_name->ValueText().empty()) {
    short_name->SetValueText(title());
  } else {
    SetTitle(short_name->ValueText());
  }
}

generic_feature* ui_param_float_out::PlugVariable(const CPlug2& plug) {
  if (!described_) DescribeFeatures();
  return ui_control2::PlugVariable(plug);
}

void ui_param_float_out::SetUpAsNew(const Module_Info& type) {
  ui_control2::SetUpAsNew(type);
  DescribeFeatures();
  BindShortName();
}

void ui_param_float_out::InitialiseAfterLoad(bool loaded) {
  DescribeFeatures();
  BindShortName();
  ui_control2::InitialiseAfterLoad(loaded);
}

float ui_param_float_out::GetNormalised() const {
  const double lo = Number("Lo Value");
  const double span = Number("Hi Value") - lo;
  // No range to place the reading in, or no reading: the bottom.
  if (span == 0.0) return 0.0f;
  const double place = (Value(-1) - lo) / span;
  if (std::isnan(place)) return 0.0f;
  return static_cast<float>(std::clamp(place, 0.0, 1.0));
}

double ui_param_float_out::Number(const char* name) const {
  const CPlug2* plug = FindPlug(name);
  return plug != nullptr ? ParseDouble(plug->ValueText()).value_or(0.0) : 0.0;
}

void ui_param_float_out::Write(const char* name, double value) {
  if (CPlug2* plug = FindPlug(name)) plug->WriteValueText(FormatFixed(value, 3));
}

void ui_param_float_out::Scale() {
  const double lo = Number("Lo Value");
  Write("Scaled Value", lo + Number("Unscaled Value") * (Number("Hi Value") - lo));
}

void ui_param_float_out::Unscale() {
  const CPlug2* scale = FindPlug("Scale");
  const int32_t mode = scale != nullptr ? ParseLeadingInteger(scale->ValueText()) : kVolts;
  Write("Unscaled Value",
        Position(Number("Scaled Value"), Number("Lo Value"), Number("Hi Value"), mode));
}

void ui_param_float_out::OnPlugValueChanged(CPlug2& plug) {
  ui_control2::OnPlugValueChanged(plug);
  if (guard_ || dynamic_cast<CPlugFeature*>(&plug) == nullptr) return;
  const std::string name = plug.Name();
  if (name == "Short Name") {
    // An empty name would leave the host's parameter without one.
    if (plug.ValueText().empty() || plug.ValueText() == title()) return;
    SetTitle(plug.ValueText());
    Watchers().Notify(Notification(kNotifyRenamed, this, 0, title()));
    return;
  }
  guard_ = true;
  if (name == "Unscaled Value" || name == "Hi Value" || name == "Lo Value") {
    Scale();
  } else if (name == "Scaled Value" || name == "Scale") {
    Unscale();
  }
  SetValue(-1, Number("Scaled Value"));
  guard_ = false;
}

void ui_param_float_out::OnRefresh(ug_base& generator) {
  const auto* meter = dynamic_cast<const ug_param_float_out*>(&generator);
  if (meter == nullptr) return;
  const CPlug2* scale = FindPlug("Scale");
  const int32_t mode = scale != nullptr ? ParseLeadingInteger(scale->ValueText()) : kVolts;
  const double shown = Shown(meter->DisplayedValue(), mode);
  guard_ = true;
  Write("Scaled Value", shown);
  Unscale();
  guard_ = false;
  // Stored once and whole: the plug's three-decimal text stored first would
  // tell the host of every reading twice, with two different values.
  SetValueText(0, ShownText(shown));
  if (CurrentPatch() != 0) SetValue(-1, shown);
  Notify(Notification(kNotifyValueChanged, this));
}

}  // namespace ov
