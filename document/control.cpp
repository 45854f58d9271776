#include "document/control.h"

#include <algorithm>

#include "document/readouts.h"
#include "modules/list_text.h"
#include "platform/text.h"

namespace ov {

constinit const SerialClass CControl::kClass{"CControl", 1, false, &MakeObject<CControl>,
                                             &CUG::kClass};
constinit const SerialClass Ctl_Slider::kClass{"Ctl_Slider", 1, false, &MakeObject<Ctl_Slider>,
                                               &CControl::kClass};
constinit const SerialClass Ctl_Combo::kClass{"Ctl_Combo", 1, false, &MakeObject<Ctl_Combo>,
                                              &CControl::kClass};
constinit const SerialClass Ctl_Text::kClass{"Ctl_Text", 1, false, &MakeObject<Ctl_Text>,
                                             &CControl::kClass};
constinit const SerialClass kCtl_PushButton{"Ctl_PushButton", 1, false, &MakeObject<Ctl_PushButton>,
                                            &CControl::kClass};
constinit const SerialClass kCtl_LED{"Ctl_LED", 1, false, &MakeObject<Ctl_LED>, &CControl::kClass};
constinit const SerialClass kCtl_PeakMeter{"Ctl_PeakMeter", 1, false, &MakeObject<Ctl_PeakMeter>,
                                           &CControl::kClass};
constinit const SerialClass kCtl_VoltMeter{"Ctl_VoltMeter", 1, false, &MakeObject<Ctl_VoltMeter>,
                                           &CControl::kClass};
constinit const SerialClass kui_control2{"ui_control2", 1, false, &MakeObject<ui_control2>,
                                         &CControl::kClass};
constinit const SerialClass kui_param_float_out{"ui_param_float_out", 1, false,
                                                &MakeObject<ui_param_float_out>, &kui_control2};
constinit const SerialClass kCtl_SelfDrawing{"Ctl_SelfDrawing", 1, false,
                                             &MakeObject<Ctl_SelfDrawing>, &CControl::kClass};
constinit const SerialClass kCtl_Env_Edit{"Ctl_Env_Edit", 1, false, &MakeObject<Ctl_Env_Edit>,
                                          &kCtl_SelfDrawing};
constinit const SerialClass kCtl_FreqAn{"Ctl_FreqAn", 1, false, &MakeObject<Ctl_FreqAn>,
                                        &kCtl_SelfDrawing};
constinit const SerialClass kCtl_FreqResp{"Ctl_FreqResp", 1, false, &MakeObject<Ctl_FreqResp>,
                                          &kCtl_SelfDrawing};
constinit const SerialClass kCtl_Keyboard{"Ctl_Keyboard", 1, false, &MakeObject<Ctl_Keyboard>,
                                          &kCtl_SelfDrawing};
constinit const SerialClass kCtl_tty{"Ctl_tty", 1, false, &MakeObject<Ctl_tty>, &kCtl_SelfDrawing};
constinit const SerialClass kCtl_Soundfont_base{"Ctl_Soundfont_base", 1, false,
                                                &MakeObject<Ctl_Soundfont_base>, &kCtl_SelfDrawing};
constinit const SerialClass kCosc_sf{"Cosc_sf", 1, false, &MakeObject<Cosc_sf>,
                                     &kCtl_Soundfont_base};
constinit const SerialClass kCtl_SamplePlay2{"Ctl_SamplePlay2", 1, false,
                                             &MakeObject<Ctl_SamplePlay2>, &kCtl_Soundfont_base};
const SerialClass& Ctl_Soundfont_base::Class() { return kCtl_Soundfont_base; }
const SerialClass& Cosc_sf::Class() { return kCosc_sf; }
const SerialClass& Ctl_SamplePlay2::Class() { return kCtl_SamplePlay2; }

CControl::CControl(int32_t value_type) : value_type_(value_type) {
  doubles_.resize(value_type == kDouble ? kPatchCount : 0);
  integers_.resize(value_type == kInteger ? kPatchCount : 0);
  texts_.resize(value_type == kText ? kPatchCount : 0);
}

std::string CControl::ValueText(int32_t patch) const {
  if (patch < 0 || patch >= kPatchCount) patch = 0;
  if (value_type_ == kText) return texts_[patch];
  if (value_type_ == kDouble) return FormatDouble(doubles_[patch]);
  return std::to_string(integers_[patch]);
}

void CControl::SetValueText(int32_t patch, const std::string& text) {
  if (patch < 0 || patch >= kPatchCount) return;
  if (value_type_ == kText) {
    texts_[patch] = text;
  } else if (value_type_ == kDouble) {
    doubles_[patch] = ParseDouble(text).value_or(0);
  } else {
    integers_[patch] = ParseLeadingInteger(text);
  }
}

bool CControl::AllPatchesEqual() const {
  if (value_type_ == kText) {
    return std::all_of(texts_.begin(), texts_.end(), [&](const auto& v) { return v == texts_[0]; });
  }
  if (value_type_ == kDouble) {
    return std::all_of(doubles_.begin(), doubles_.end(),
                       [&](double v) { return v == doubles_[0]; });
  }
  return std::all_of(integers_.begin(), integers_.end(),
                     [&](int32_t v) { return v == integers_[0]; });
}

void CControl::WalkValue(FieldWalker& walker, std::size_t patch) {
  // Values beyond the patch count are read to keep the stream aligned.
  const bool kept = patch < static_cast<std::size_t>(kPatchCount);
  if (value_type_ == kText) {
    std::string value = kept ? texts_[patch] : std::string();
    walker.String("", value);
    if (kept) texts_[patch] = std::move(value);
  } else if (value_type_ == kDouble) {
    double value = kept ? doubles_[patch] : 0;
    walker.Float64("", value);
    if (kept) doubles_[patch] = value;
  } else {
    int32_t value = kept ? integers_[patch] : 0;
    walker.Int32("", value);
    if (kept) integers_[patch] = value;
  }
}

void CControl::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  CUG::Serialize(walker);
  if (version > 18) {
    if (version > 83) walker.Int32("options", option_word_);
    const std::size_t written = single_value_ && AllPatchesEqual() ? 1 : kPatchCount;
    const std::size_t value_bytes = value_type_ == kDouble ? 8 : value_type_ == kText ? 1 : 4;
    const std::optional<std::size_t> count =
        walker.BeginList("values", written, CountForm::kInt32, value_bytes);
    if (count) {
      for (std::size_t patch = 0; patch < *count; ++patch) {
        walker.BeginElement();
        WalkValue(walker, patch);
        walker.EndElement();
      }
      if (walker.Loading()) {
        single_value_ = *count == 1;
        if (single_value_) {
          for (int32_t patch = 1; patch < kPatchCount; ++patch) {
            SetValueText(patch, ValueText(0));
          }
        }
      }
    }
    walker.EndList();
  }
  walker.RectField("panel_rect", panel_rect_);
  if (version >= 61) walker.String("hint", hint_);
}

}  // namespace ov
