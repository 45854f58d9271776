// CControl and its kin: modules with a panel control that keeps one value
// per patch, and the classes that store exactly the same fields.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/module.h"
#include "document/same_fields.h"

namespace ov {

class CControl : public CUG {
 public:
  enum ValueType : int32_t { kInteger = 0, kText = 1, kDouble = 3 };
  static constexpr int32_t kPatchCount = 128;
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  explicit CControl(int32_t value_type = kInteger);
  void Serialize(FieldWalker& walker) override;

  int32_t value_type() const { return value_type_; }
  // Patch `patch`'s value as text; patches outside the range read patch 0.
  std::string ValueText(int32_t patch) const;
  void SetValueText(int32_t patch, const std::string& text);
  const std::string& hint() const { return hint_; }
  const Rect& panel_rect() const { return panel_rect_; }

 protected:
  Rect* ViewRectField(int32_t view_kind) override {
    return view_kind == kViewControlPanel ? &panel_rect_ : CUG::ViewRectField(view_kind);
  }

 private:
  void WalkValue(FieldWalker& walker, std::size_t patch);
  // All patches hold the value of patch 0.
  bool AllPatchesEqual() const;

  int32_t value_type_;
  std::string hint_;
  std::vector<double> doubles_;
  std::vector<int32_t> integers_;
  std::vector<std::string> texts_;
  Rect panel_rect_{0, 0, 10, 10};
  int32_t option_word_ = 0;
  // The project stored one value for all patches.
  bool single_value_ = false;
};

// Controls with a fixed value type.
class Ctl_Slider : public CControl {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  Ctl_Slider() : CControl(kDouble) {}
};

class Ctl_Combo : public CControl {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  Ctl_Combo() : CControl(kInteger) {}
};

class Ctl_Text : public CControl {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  Ctl_Text() : CControl(kText) {}
};

extern const SerialClass kCtl_PushButton;
extern const SerialClass kCtl_LED;
extern const SerialClass kCtl_PeakMeter;
extern const SerialClass kCtl_VoltMeter;
extern const SerialClass kui_control2;
extern const SerialClass kui_param_float_out;
extern const SerialClass kCtl_SelfDrawing;
extern const SerialClass kCtl_Env_Edit;
extern const SerialClass kCtl_FreqAn;
extern const SerialClass kCtl_FreqResp;
extern const SerialClass kCtl_Keyboard;
extern const SerialClass kCtl_tty;
extern const SerialClass kCtl_Soundfont_base;
extern const SerialClass kCosc_sf;
extern const SerialClass kCtl_SamplePlay2;
using Ctl_PushButton = SameFieldsAs<kCtl_PushButton, CControl>;
// Ctl_LED, Ctl_PeakMeter, Ctl_VoltMeter and Ctl_tty: document/readouts.h.
using ui_control2 = SameFieldsAs<kui_control2, CControl>;
using ui_param_float_out = SameFieldsAs<kui_param_float_out, ui_control2>;
// Controls that draw their own panel area.
using Ctl_SelfDrawing = SameFieldsAs<kCtl_SelfDrawing, CControl>;
using Ctl_Env_Edit = SameFieldsAs<kCtl_Env_Edit, Ctl_SelfDrawing>;
using Ctl_FreqAn = SameFieldsAs<kCtl_FreqAn, Ctl_SelfDrawing>;
using Ctl_FreqResp = SameFieldsAs<kCtl_FreqResp, Ctl_SelfDrawing>;
using Ctl_Keyboard = SameFieldsAs<kCtl_Keyboard, Ctl_SelfDrawing>;
using Ctl_Soundfont_base = SameFieldsAs<kCtl_Soundfont_base, Ctl_SelfDrawing>;
using Cosc_sf = SameFieldsAs<kCosc_sf, Ctl_Soundfont_base>;
using Ctl_SamplePlay2 = SameFieldsAs<kCtl_SamplePlay2, Ctl_Soundfont_base>;

// `Ctl_PatchSel`: the "Patch Select" module. Streams before version 50 held
// a whole control in its place, with the control's own module fields.
class Ctl_PatchSel : public CUG {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  Ctl_PatchSel();
  ~Ctl_PatchSel() override;
  void Serialize(FieldWalker& walker) override;

  const CControl* control() const { return control_.get(); }

 private:
  std::unique_ptr<CControl> control_;
};

}  // namespace ov
