// Bitmap controls: a value shown as one frame of a skin image (knob,
// slider, bar graph, animation), turned back into a value by presses,
// drags and keys as the image's mouse response says (vertical,
// horizontal, click, rotary, step; none: display only).
//
// CMyBmpCtrl holds percent (0..100) and talks to its parameter through a
// control mapper. CMyBmpCtrl2 and its kin hold 0..1 and talk through
// features: "Animation Position" carries the value, and the frame binds
// each feature to a plug of the module.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "document/control_mapper.h"
#include "document/features.h"
#include "editor/canvas.h"
#include "editor/skin_source.h"
#include "editor/visual_object.h"

namespace ov {

struct SkinImage;

// Mouse responses of an image description.
enum BitmapResponse : int32_t {
  kResponseUnset = -1,
  kResponseVertical = 0,
  kResponseHorizontal = 1,
  kResponseClick = 2,
  kResponseRotary = 3,
  kResponseStep = 4,
};

// What the two generations share: the image, the position drawn, and the
// gestures. The value is in the control's own units (its Full()).
class BitmapControl : public CPaintObject {
 public:
  // The full frame cell, padding included; 20 x 20 without an image.
  Point PreferredSize() const override;
  // Without an image it takes the mouse; a bar graph or an image without a
  // mouse response is display only.
  bool AcceptsMouse() const override;
  void MouseDown(uint32_t flags, Point p) override;
  void MouseMove(uint32_t flags, Point p) override;
  void MouseUp(uint32_t flags, Point p) override;
  void CaptureLost() override { dragging_ = false; }
  bool KeyDown(int32_t key, int32_t repeat, uint32_t flags) override;
  bool KeyUp(int32_t key, int32_t repeat, uint32_t flags) override;
  void Close() override;

  float value() const { return value_; }
  // What is drawn: the frame's offset in the image (knob), the handle's
  // position (slider) or the lit extent (bar graph).
  int32_t position() const { return position_; }
  const SkinImage* image() const { return image_.get(); }
  void SetWrap(float offset, float scale) {
    wrap_offset_ = offset;
    wrap_scale_ = scale;
  }

 protected:
  // The generation's constants: the value's full scale, how fast the
  // gesture vote moves, and whether Ctrl also slows rotary turns.
  struct Gestures {
    float full;
    float vote_step;
    bool fine_rotary;
  };
  explicit BitmapControl(Gestures gestures) : gestures_(gestures) {}

  // Sets the value as the generation does (clamped to 0..Full()).
  virtual void SetValue(float value) = 0;
  virtual void RecomputePosition() = 0;
  virtual void ClickPressed() = 0;
  virtual void ClickReleased() = 0;
  virtual void SpaceKey(bool down) = 0;
  // The "Mouse Down" feature, where there is one.
  virtual void MouseHeld(bool /*held*/) {}
  // A drag step after the gesture rules (joystick pads move a point
  // instead).
  virtual void Dragged(uint32_t flags, Point p, Point q);

  void SetImage(std::shared_ptr<const SkinImage> image);
  void DropImage();
  // Looks `name` up in the object's skin; null when it has none.
  std::shared_ptr<const SkinImage> LookUp(const std::string& name, SkinMode mode);
  // Stores the position, invalidating when it changed.
  void SetPosition(int32_t position);
  int32_t Response() const;
  Point ContentOrigin() const;
  // The frame's cell of the current frame (knob) in image pixels.
  PixelRect KnobSource() const;
  // Knob and bar graph drawing: `draw` copies an image area to a point.
  template <typename DrawFn>
  void DrawFrames(Canvas& canvas, DrawFn draw) const;
  // Steps the value to the next frame, as a step response does.
  void StepToNextFrame();
  // Knob frame for a 0..1 position with wrapping, as both generations wrap.
  int32_t WrappedFrame(float normalised) const;

  float value_ = 0.0f;
  int32_t position_ = 0;
  float wrap_offset_ = 0.0f;
  float wrap_scale_ = 0.0f;

 private:
  const Gestures gestures_;
  std::shared_ptr<const SkinImage> image_;
  bool dragging_ = false;
  Point last_point_;
  float drag_vote_ = 0.0f;
};

// The percent control of the classic control modules.
class CMyBmpCtrl : public BitmapControl, public MappedControl {
 public:
  explicit CMyBmpCtrl(std::string image_name);
  ~CMyBmpCtrl() override;
  // The mapper reads and writes the bound parameter; owned.
  void SetMapper(std::unique_ptr<control_mapper> mapper);
  control_mapper* mapper() const { return mapper_.get(); }
  // A click-response control toggles instead of acting while held.
  void set_toggle(bool toggle) { toggle_ = toggle; }

  void Open() override;
  void Draw(Canvas& canvas) override;
  std::string ToolTipText() const override;
  bool Command(int32_t id, Point p) override;

  void ValueFromParameter(float normalised) override;
  // Percent; equal values change nothing. While open the value goes to the
  // mapper, which calls back with the parameter's value.
  void SetValue(float percent) override;

 protected:
  void RecomputePosition() override;
  void ClickPressed() override;
  void ClickReleased() override;
  void SpaceKey(bool down) override;

 private:
  std::string image_name_;
  std::unique_ptr<control_mapper> mapper_;
  bool toggle_ = false;
};

// The 0..1 control of the "Image" module, with its features "Animation
// Position", "Filename", "Mouse Down" and "Frame Count".
class CMyBmpCtrl2 : public BitmapControl, public has_features, protected value_owner {
 public:
  CMyBmpCtrl2();
  // Per pixel: inside the frame, and over a pixel of the current frame
  // that is not fully clear (a bar graph: of frame 0).
  bool ContainsPoint(Point p) const override;
  void Open() override;
  void Draw(Canvas& canvas) override;

  bool DescribeFeature(int32_t index, FeatureDescription* description) override;
  // Outside 0..1 becomes 0 or 1 (NaN 0); a change goes to "Animation
  // Position", and the position follows its report.
  void SetValue(float value) override;

 protected:
  // The feature list of the kind and each feature's reference.
  CMyBmpCtrl2(int32_t face_kind, SkinMode mode);
  virtual generic_control* FeatureControl(int32_t index);
  // A feature's reference reported a change.
  virtual void FeatureChanged(generic_control& control);
  void OnControlChanged(generic_control& control) override { FeatureChanged(control); }

  void RecomputePosition() override;
  void ClickPressed() override;
  void ClickReleased() override;
  void SpaceKey(bool down) override;
  void MouseHeld(bool held) override { mouse_down_.Set(held); }
  // Loads the image the "Filename" feature names.
  void LoadImage();
  // Draws the current frame with its top-left at `at`.
  virtual void DrawFrame(Canvas& canvas, Point at) const;

  FeatureTypes::Float animation_position_;
  FeatureTypes::Text file_name_;
  FeatureTypes::Bool mouse_down_;
  FeatureTypes::Integer frame_count_;

 private:
  const int32_t face_kind_;
  const SkinMode mode_;
};

// The "Tinted Image": a grey image painted in the colour of its "Hue",
// "Saturation" and "Brightness" features.
class CMyBmpCtrlTinted : public CMyBmpCtrl2 {
 public:
  CMyBmpCtrlTinted();
  Colour tint() const { return tint_; }

 protected:
  generic_control* FeatureControl(int32_t index) override;
  void FeatureChanged(generic_control& control) override;
  void DrawFrame(Canvas& canvas, Point at) const override;

 private:
  FeatureTypes::Float hue_;
  FeatureTypes::Float saturation_;
  FeatureTypes::Float brightness_;
  Colour tint_ = 0;
};

// The "Joystick Image": the frame moved over the control by "Position X"
// and "Position Y" (0..1, y upwards).
class MyBmpCtrl_Joystick : public CMyBmpCtrl2 {
 public:
  MyBmpCtrl_Joystick();
  float x() const { return x_; }
  float y() const { return y_; }
  // The whole pad takes the mouse, wherever the frame stands.
  bool ContainsPoint(Point p) const override { return CPaintObject::ContainsPoint(p); }
  void Draw(Canvas& canvas) override;

 protected:
  generic_control* FeatureControl(int32_t index) override;
  void FeatureChanged(generic_control& control) override;
  void Dragged(uint32_t flags, Point p, Point q) override;

 private:
  FeatureTypes::Float position_x_;
  FeatureTypes::Float position_y_;
  float x_ = 0.0f;
  float y_ = 0.0f;
};

// The tint of hue, saturation and brightness (each kept within 0..1),
// gamma-encoded as the skins' linear drawing expects.
Colour TintColour(float hue, float saturation, float brightness);

// The faces of the three image modules, for the frame maker.
class ControlFaces;
void AddBitmapFaces(ControlFaces& faces);

}  // namespace ov
