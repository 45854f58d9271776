// The panel-side converters: modules without an engine half that turn the
// values panel controls exchange into one another - frames of an image,
// on/off values and list choices, stepping through a list, numbers as text,
// scaling.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <span>

#include "document/ui_module.h"

namespace ov {

extern const SerialClass kui_bitmap_frame;
extern const SerialClass kui_bool_splitter;
extern const SerialClass kui_enum_to_bools;
extern const SerialClass kui_float_to_bool;
extern const SerialClass kui_incrementor;
extern const SerialClass kui_incrementor2;
extern const SerialClass kui_int_to_list;
extern const SerialClass kui_spring;
extern const SerialClass kui_text_to_float;
extern const SerialClass kui_float_scaler;
extern const SerialClass kui_animation_scaler_db;

// "Image to Frame": an animation position as a frame number and back.
class ui_bitmap_frame : public CUG_ui {
 public:
  static constexpr const SerialClass& kClass = kui_bitmap_frame;
  const SerialClass& GetClass() const override { return kClass; }
  ui_bitmap_frame();
  // trunc(position x (count - 1) + 0.5), never below 0.
  static int32_t FrameOf(float position, int32_t count);
  // number / (count - 1), dividing by 1 when there are fewer than 3 frames.
  static float PositionOf(int32_t number, int32_t count);

 protected:
  std::span<const HelperFeature> Features() const override;
  void VariableChanged(generic_feature& variable) override;
  void ControlChanged(generic_control& reference) override;

 private:
  FloatVariable position_{this};
  IntVariable count_{this};
  IntReference frame_{this};
};

// "Bool Splitter": one on/off value copied to every output.
class ui_bool_splitter : public CUG_ui {
 public:
  static constexpr const SerialClass& kClass = kui_bool_splitter;
  const SerialClass& GetClass() const override { return kClass; }
  ui_bool_splitter();

 protected:
  std::span<const HelperFeature> Features() const override;
  const HelperFeature* SpareFeature() const override;
  void VariableChanged(generic_feature& variable) override;
  void ControlChanged(generic_control& reference) override;

 private:
  BoolVariable in_{this};
};

// "Bools to List": one on/off input per item of the list it feeds.
class ui_bools_to_enum : public CUG_ui {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  ui_bools_to_enum();
  void Serialize(FieldWalker& walker) override;
  bool was_loaded() const { return was_loaded_; }

 protected:
  std::span<const HelperFeature> Features() const override;
  const HelperFeature* FeatureAt(int32_t index) const override;
  void Initialise(bool loaded) override;
  void VariableChanged(generic_feature& variable) override;
  void ControlChanged(generic_control& reference) override;

 private:
  // Names the inputs after the items and sets each to (item = Value);
  // adds and removes inputs to match the list.
  void FollowList();

  ListReference value_{this};
  bool was_loaded_ = false;
  bool reading_ = false;  // read from a stream and not yet initialised
};

// "List To Bools": a list choice as one lit output among many.
class ui_enum_to_bools : public CUG_ui {
 public:
  static constexpr const SerialClass& kClass = kui_enum_to_bools;
  const SerialClass& GetClass() const override { return kClass; }
  ui_enum_to_bools();

 protected:
  std::span<const HelperFeature> Features() const override;
  const HelperFeature* SpareFeature() const override;
  void Initialise(bool loaded) override;
  void VariableChanged(generic_feature& variable) override;
  void ControlChanged(generic_control& reference) override;
  // A deleted output is lit no more, and the choice goes back to the first.
  void OnPlugRemoved(const CPlug2* gone) override;

 private:
  void Light();

  ListVariable list_{this};
  const CPlug2* active_ = nullptr;
};

// "Float To Bool": on when the number is above 0; on writes 10 back.
class ui_float_to_bool : public CUG_ui {
 public:
  static constexpr const SerialClass& kClass = kui_float_to_bool;
  const SerialClass& GetClass() const override { return kClass; }
  ui_float_to_bool();

 protected:
  std::span<const HelperFeature> Features() const override;
  void Initialise(bool loaded) override;
  void VariableChanged(generic_feature& variable) override;
  void ControlChanged(generic_control& reference) override;

 private:
  FloatVariable in_{this};
  BoolReference out_{this};
};

// The list stepping "Increment" and "Increment2" share: the value after
// (or before) `current` in `items`, wrapping at the ends when `wrap` is set.
int32_t StepThroughList(const std::string& items, int32_t current, bool up, bool wrap);

// "Increment": steps its list from two outputs (the buttons' values).
class ui_incrementor : public CUG_ui {
 public:
  static constexpr const SerialClass& kClass = kui_incrementor;
  const SerialClass& GetClass() const override { return kClass; }
  ui_incrementor();

 protected:
  std::span<const HelperFeature> Features() const override;
  void ControlChanged(generic_control& reference) override;

 private:
  ListReference value_{this};
  BoolReference up_{this};
  BoolReference down_{this};
  BoolVariable wrap_{this};
};

// "Increment2": steps its list from two inputs.
class ui_incrementor2 : public CUG_ui {
 public:
  static constexpr const SerialClass& kClass = kui_incrementor2;
  const SerialClass& GetClass() const override { return kClass; }
  ui_incrementor2();

 protected:
  std::span<const HelperFeature> Features() const override;
  void VariableChanged(generic_feature& variable) override;

 private:
  ListReference value_{this};
  BoolVariable up_{this};
  BoolVariable down_{this};
  BoolVariable wrap_{this};
};

// "Int to List": an item value as the item's position and back.
class ui_int_to_list : public CUG_ui {
 public:
  static constexpr const SerialClass& kClass = kui_int_to_list;
  const SerialClass& GetClass() const override { return kClass; }
  ui_int_to_list();

 protected:
  std::span<const HelperFeature> Features() const override;
  void Initialise(bool loaded) override;
  void VariableChanged(generic_feature& variable) override;
  void ControlChanged(generic_control& reference) override;

 private:
  void FindPosition();

  IntVariable in_{this};
  ListReference out_{this};
};

// "Spring": a control that springs back to its reset value on release.
class ui_spring : public CUG_ui {
 public:
  static constexpr const SerialClass& kClass = kui_spring;
  const SerialClass& GetClass() const override { return kClass; }
  ui_spring();

 protected:
  std::span<const HelperFeature> Features() const override;
  void ControlChanged(generic_control& reference) override;

 private:
  FloatReference value_{this};
  BoolReference mouse_down_{this};
  FloatVariable reset_{this};
};

// "Text To Float": a number typed as text, and printed back.
class ui_text_to_float : public CUG_ui {
 public:
  static constexpr const SerialClass& kClass = kui_text_to_float;
  const SerialClass& GetClass() const override { return kClass; }
  ui_text_to_float();
  // The value printed in the C locale with `decimals` places; -1 chooses
  // them from the size of the value.
  static std::string Print(float value, int32_t decimals);

 protected:
  std::span<const HelperFeature> Features() const override;
  void VariableChanged(generic_feature& variable) override;
  void ControlChanged(generic_control& reference) override;

 private:
  void PrintValue();

  FloatReference value_{this};
  TextVariable text_{this};
  ListVariable decimals_{this};
};

// "UiFloatScaler": Value Out = Value In x Multiply by + Add, both ways.
class ui_float_scaler : public ui_module {
 public:
  static constexpr const SerialClass& kClass = kui_float_scaler;
  const SerialClass& GetClass() const override { return kClass; }
  ui_float_scaler();
  void SetUpAsNew(const Module_Info& type) override;

 protected:
  void VariableChanged(generic_feature& variable) override;
  void ControlChanged(generic_control& reference) override;

 private:
  FloatVariable in_{this};
  FloatVariable multiply_{this};
  FloatVariable add_{this};
  FloatReference out_{this};
};

// "UiAnimationScaleDb": decibels as the position of a meter image.
class ui_animation_scaler_db : public ui_module {
 public:
  static constexpr const SerialClass& kClass = kui_animation_scaler_db;
  const SerialClass& GetClass() const override { return kClass; }
  ui_animation_scaler_db();
  // The three-piece curve: -20 dB gives 0, -3 dB 0.4, +3 dB 1; unclamped.
  static float Curve(float db);
  // The curve clamped to [0, 1].
  static float Position(float db);

 protected:
  void ControlChanged(generic_control& reference) override;

 private:
  FloatVariable position_{this};
  FloatReference db_{this};
};

}  // namespace ov
