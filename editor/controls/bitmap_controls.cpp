#include "editor/controls/bitmap_controls.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "document/control_features.h"
#include "editor/controls/control_faces.h"
#include "editor/skins/skin_drawing.h"
#include "editor/skins/skin_list.h"
#include "editor/view_root.h"
#include "platform/window_port.h"

namespace ov {
namespace {

// NaN and infinities count as 0 before any clamping.
float Finite(float value) { return std::isfinite(value) ? value : 0.0f; }

float Clamp(float value, float high) { return std::clamp(Finite(value), 0.0f, high); }

}  // namespace

// --- shared ------------------------------------------------------------------

Point BitmapControl::PreferredSize() const {
  if (image_ == nullptr) return {20, 20};
  const ImageDescription& d = image_->description;
  return {d.padding_left + d.frame_size.x + d.padding_right,
          d.padding_top + d.frame_size.y + d.padding_bottom};
}

bool BitmapControl::AcceptsMouse() const {
  if (image_ == nullptr) return true;
  return image_->description.type != kSkinBarGraph && Response() != kResponseUnset;
}

int32_t BitmapControl::Response() const {
  return image_ != nullptr ? image_->description.mode_letter : kResponseUnset;
}

Point BitmapControl::ContentOrigin() const {
  if (image_ == nullptr) return {};
  return {image_->description.padding_left, image_->description.padding_top};
}

void BitmapControl::SetImage(std::shared_ptr<const SkinImage> image) {
  image_ = image != nullptr && image->HasPixels() ? std::move(image) : nullptr;
}

void BitmapControl::DropImage() {
  image_ = nullptr;
  SetPosition(0);
}

std::shared_ptr<const SkinImage> BitmapControl::LookUp(const std::string& name, SkinMode mode) {
  COrvaneViewBase* root = Root();
  Skin* skin = GetSkin();
  if (name.empty() || root == nullptr || root->Skins() == nullptr || skin == nullptr) {
    return nullptr;
  }
  return root->Skins()->Image(*skin, name, mode);
}

void BitmapControl::SetPosition(int32_t position) {
  if (position == position_) return;
  position_ = position;
  InvalidateAll();
}

void BitmapControl::Close() {
  dragging_ = false;
  CPaintObject::Close();
  // Looked up again at the next opening, as a skin change asks.
  image_ = nullptr;
}

int32_t BitmapControl::WrappedFrame(float m) const {
  const int32_t last = std::max(image_->description.last_frame, 0);
  m = Finite(m);
  if (m < 0.0f) m += 1.0f;
  if (m > 1.0f) m -= 1.0f;
  m = std::clamp(m, 0.0f, 1.0f);
  const auto frame = static_cast<int32_t>(std::lround(m * static_cast<float>(last + 1)));
  return frame > last ? 0 : frame;
}

PixelRect BitmapControl::KnobSource() const {
  const Point size = image_->description.frame_size;
  return {0, position_, size.x, position_ + size.y};
}

template <typename DrawFn>
void BitmapControl::DrawFrames(Canvas& canvas, DrawFn draw) const {
  const ImageDescription& d = image_->description;
  const Point at = ContentOrigin();
  const int32_t width = d.frame_size.x;
  const int32_t height = d.frame_size.y;
  if (d.type == kSkinKnob) {
    draw(canvas, KnobSource(), at);
  } else if (d.type == kSkinBarGraph) {
    // Lit rows of frame 0 at the bottom, unlit ones from frame 1 above;
    // an image with one frame has no unlit picture to read.
    const int32_t lit = std::clamp(position_, 0, height);
    if (lit > 0) draw(canvas, PixelRect{0, height - lit, width, height}, Point{at.x, at.y + height - lit});
    if (lit < height && image_->pixels.height >= 2 * height) {
      draw(canvas, PixelRect{0, height, width, 2 * height - lit}, at);
    }
  }
}

void BitmapControl::StepToNextFrame() {
  const int32_t last = image_->description.last_frame;
  if (last <= 0) return;  // one frame: nowhere to step to
  const float full = gestures_.full;
  const float start = value_;
  const int32_t start_position = position_;
  int32_t frame = static_cast<int32_t>(std::floor(value_ / full * static_cast<float>(last) + 0.5f));
  for (int32_t tries = 0; tries <= last; ++tries) {
    frame = frame >= last ? 0 : frame + 1;
    SetValue(static_cast<float>(frame) * full / static_cast<float>(last));
    if (position_ != start_position || value_ == start) return;
  }
}

void BitmapControl::MouseDown(uint32_t flags, Point p) {
  if (image_ == nullptr || (this->flags() & kVoReadOnly)) return;
  CaptureMouse();
  dragging_ = true;
  // Remembered whatever the response: a pad moves its point on any image.
  last_point_ = p;
  drag_vote_ = 0.0f;
  if (Response() == kResponseClick) ClickPressed();
  if (Response() == kResponseStep) StepToNextFrame();
  CPaintObject::MouseDown(flags, p);
  MouseHeld(true);
}

void BitmapControl::MouseMove(uint32_t flags, Point p) {
  if (!dragging_) return;
  const Point q = last_point_;
  last_point_ = p;
  Dragged(flags, p, q);
}

void BitmapControl::Dragged(uint32_t flags, Point p, Point q) {
  const int32_t response = Response();
  if (response == kResponseClick || response == kResponseStep) return;
  const bool fine = (flags & kFlagControl) != 0;
  const float unit = gestures_.full / 100.0f;
  float value = value_;
  const Rect client = ClientRect();
  const int32_t width = client.right - client.left;
  const int32_t height = client.bottom - client.top;
  if (response == kResponseRotary) {
    const Point centre{width / 2, height / 2};
    const Point a{p.x - centre.x, p.y - centre.y};
    const Point b{q.x - centre.x, q.y - centre.y};
    const float vertical = static_cast<float>(a.y - b.y);
    bool vote_rotary = false;
    float turn = 0.0f;
    // A control without size has no angle to read: the drag is vertical.
    if (width + height > 0) {
      constexpr float kPi = std::numbers::pi_v<float>;
      float t = std::atan2(static_cast<float>(a.y), static_cast<float>(a.x)) -
                std::atan2(static_cast<float>(b.y), static_cast<float>(b.x));
      if (t > kPi) t -= 2.0f * kPi;
      if (t < -kPi) t += 2.0f * kPi;
      const float r = static_cast<float>(std::abs(a.x) + std::abs(a.y));
      turn = std::min(2.0f * r / static_cast<float>(width + height), 1.0f) * t * 20.0f;
      const float k = std::max(1.0f - 0.1f * static_cast<float>(std::min(std::abs(a.x), 10)), 0.0f);
      vote_rotary = std::abs(turn) > std::abs(k * vertical);
    }
    const float step = gestures_.vote_step;
    drag_vote_ = drag_vote_ * (1.0f - step) + (vote_rotary ? step : -step);
    if (drag_vote_ > 0.0f) {
      value += turn * unit * (fine && gestures_.fine_rotary ? 0.1f : 1.0f);
    } else {
      value -= vertical * unit * (fine ? 0.1f : 1.0f);
    }
  } else {
    const float f = (fine ? 0.1f : 0.5f) * unit;
    value = response == kResponseVertical ? value - f * static_cast<float>(p.y - q.y)
                                          : value + f * static_cast<float>(p.x - q.x);
  }
  SetValue(Clamp(value, gestures_.full));
}

void BitmapControl::MouseUp(uint32_t flags, Point p) {
  if (!dragging_) return;
  dragging_ = false;
  CPaintObject::MouseUp(flags, p);  // lets the capture go
  if (Response() == kResponseClick) ClickReleased();
  MouseHeld(false);
}

bool BitmapControl::KeyDown(int32_t key, int32_t repeat, uint32_t flags) {
  const int32_t response = Response();
  if (response >= kResponseVertical && response <= kResponseRotary) {
    if (response == kResponseClick) {
      if (key == kKeySpace) {
        SpaceKey(true);
        return true;
      }
    } else {
      const float unit = gestures_.full / 100.0f;
      if (key == kKeyUp || key == kKeyRight) {
        SetValue(Clamp(value_ + unit, gestures_.full));
        return true;
      }
      if (key == kKeyDown || key == kKeyLeft) {
        SetValue(Clamp(value_ - unit, gestures_.full));
        return true;
      }
    }
  }
  return CPaintObject::KeyDown(key, repeat, flags);
}

bool BitmapControl::KeyUp(int32_t key, int32_t repeat, uint32_t flags) {
  if (Response() == kResponseClick && key == kKeySpace) {
    SpaceKey(false);
    return true;
  }
  return CPaintObject::KeyUp(key, repeat, flags);
}

// --- CMyBmpCtrl --------------------------------------------------------------

CMyBmpCtrl::CMyBmpCtrl(std::string image_name)
    : BitmapControl({100.0f, 0.25f, false}), image_name_(std::move(image_name)) {
  SetFlags(kVoParentToolTip | 0x8000 | kVoToolTip | kVoParentBuildsMenu | kVoGridCentred);
}

CMyBmpCtrl::~CMyBmpCtrl() = default;

void CMyBmpCtrl::SetMapper(std::unique_ptr<control_mapper> mapper) { mapper_ = std::move(mapper); }

void CMyBmpCtrl::Open() {
  if (image() == nullptr) SetImage(LookUp(image_name_, SkinMode::kColour));
  CPaintObject::Open();
  if (image() == nullptr) return;
  if (mapper_ != nullptr) value_ = Clamp(mapper_->GetNormalised(), 1.0f) * 100.0f;
  RecomputePosition();
}

void CMyBmpCtrl::ValueFromParameter(float normalised) {
  value_ = Clamp(normalised, 1.0f) * 100.0f;
  RecomputePosition();
}

void CMyBmpCtrl::SetValue(float percent) {
  percent = Clamp(percent, 100.0f);
  if (percent == value_) return;
  value_ = percent;
  if (IsOpen() && mapper_ != nullptr) {
    mapper_->SetNormalised(percent / 100.0f);  // the parameter calls back
  } else if (mapper_ == nullptr) {
    RecomputePosition();
  }
}

void CMyBmpCtrl::RecomputePosition() {
  if (image() == nullptr) return;
  const ImageDescription& d = image()->description;
  const int32_t c = static_cast<int32_t>(std::lround(Clamp(value_, 100.0f)));
  const float n = Clamp(value_ / 100.0f, 1.0f);
  const int32_t last = std::max(d.last_frame, 0);
  switch (d.type) {
    case kSkinKnob: {
      int32_t frame = (c * last + 50) / 100;
      if (wrap_scale_ != 0.0f) {
        const float from = mapper_ != nullptr ? mapper_->GetNormalised() : n;
        frame = WrappedFrame(from * wrap_scale_ + wrap_offset_);
      }
      SetPosition(frame * d.frame_size.y);
      break;
    }
    case kSkinSlider: {
      const int32_t a = d.range_start;
      const int32_t b = d.range_end;
      SetPosition(d.mode_letter != kResponseVertical ? a + c * (b - a) / 100
                                                     : b - c * (b - a) / 100);
      break;
    }
    case kSkinBarGraph:
      SetPosition(static_cast<int32_t>(static_cast<float>(d.segment_count + 1) * n) * d.range_end +
                  d.range_start - 1);
      break;
    default:
      SetPosition(0);
      break;
  }
}

void CMyBmpCtrl::Draw(Canvas& canvas) {
  const SkinImage* shown = image();
  if (shown == nullptr) return;
  const auto draw = [shown](Canvas& target, const PixelRect& from, Point at) {
    DrawTransparent(target, shown->pixels, from, at);
  };
  const ImageDescription& d = shown->description;
  if (d.type != kSkinSlider) {
    DrawFrames(canvas, draw);
    return;
  }
  const Point at = ContentOrigin();
  draw(canvas, PixelRect{0, 0, d.frame_size.x, d.frame_size.y}, at);
  const Rect& h = d.handle_rect;
  PixelRect handle{h.left, h.top, h.right, h.bottom};
  Point handle_at{at.x + position_, at.y + h.top};
  if (d.mode_letter == kResponseVertical) {
    handle_at = {at.x + h.left, at.y + position_};
    if (position_ < 0) {  // cut at the top
      handle.top -= position_;
      handle_at.y = at.y;
    }
  }
  if (handle.top < handle.bottom) draw(canvas, handle, handle_at);
}

std::string CMyBmpCtrl::ToolTipText() const {
  return mapper_ != nullptr ? mapper_->ToolTipText() : CPaintObject::ToolTipText();
}

bool CMyBmpCtrl::Command(int32_t id, Point p) {
  if (mapper_ != nullptr && mapper_->Command(id)) return true;
  return CPaintObject::Command(id, p);
}

void CMyBmpCtrl::ClickPressed() { SetValue(toggle_ && value_ != 0.0f ? 0.0f : 100.0f); }

void CMyBmpCtrl::ClickReleased() {
  if (!toggle_) SetValue(0.0f);
}

void CMyBmpCtrl::SpaceKey(bool down) {
  if (down) {
    ClickPressed();
  } else {
    ClickReleased();
  }
}

// --- CMyBmpCtrl2 -------------------------------------------------------------

CMyBmpCtrl2::CMyBmpCtrl2() : CMyBmpCtrl2(kBitmapFace, SkinMode::kColour) {}

CMyBmpCtrl2::CMyBmpCtrl2(int32_t face_kind, SkinMode mode)
    : BitmapControl({1.0f, 0.1f, true}),
      animation_position_(this),
      file_name_(this),
      mouse_down_(this),
      frame_count_(this),
      face_kind_(face_kind),
      mode_(mode) {
  SetFlags(kVoParentBuildsMenu | kVoGridCentred);
}

bool CMyBmpCtrl2::DescribeFeature(int32_t index, FeatureDescription* description) {
  const std::span<const FaceFeature> features = FaceFeatures(face_kind_);
  if (index < 0 || static_cast<std::size_t>(index) >= features.size()) return false;
  const FaceFeature& row = features[index];
  *description = FeatureDescription{};
  description->name = row.name;
  description->datatype = row.datatype;
  description->file_type = row.file_type;
  description->item_list = row.item_list;
  description->output = FeatureControl(index);
  description->flags = kPlugPanelSide;
  return true;
}

generic_control* CMyBmpCtrl2::FeatureControl(int32_t index) {
  switch (index) {
    case 0:
      return &animation_position_;
    case 1:
      return &file_name_;
    case 2:
      return &mouse_down_;
    case 3:
      return &frame_count_;
    default:
      return nullptr;
  }
}

void CMyBmpCtrl2::FeatureChanged(generic_control& control) {
  if (&control == &animation_position_) {
    value_ = Clamp(animation_position_.Get(), 1.0f);
    RecomputePosition();
  } else if (&control == &file_name_ && IsOpen()) {
    DropImage();
    LoadImage();
    RecomputePosition();
    InvalidateAll();
  }
}

void CMyBmpCtrl2::LoadImage() {
  if (image() != nullptr || file_name_.Get().empty()) return;
  SetImage(LookUp(file_name_.Get(), mode_));
  if (image() != nullptr) frame_count_.Set(std::max(image()->description.last_frame, 0) + 1);
}

void CMyBmpCtrl2::Open() {
  LoadImage();
  CPaintObject::Open();
  value_ = Clamp(animation_position_.Get(), 1.0f);
  RecomputePosition();
}

void CMyBmpCtrl2::SetValue(float value) {
  value = Clamp(value, 1.0f);
  if (value == value_) return;
  value_ = value;
  // A bound control moves when its feature reports the change.
  if (IsOpen() && animation_position_.Attached()) {
    animation_position_.Set(value);
  } else {
    RecomputePosition();
  }
}

void CMyBmpCtrl2::RecomputePosition() {
  if (image() == nullptr) return;
  const ImageDescription& d = image()->description;
  const int32_t last = std::max(d.last_frame, 0);
  if (d.type == kSkinKnob) {
    const int32_t frame = wrap_scale_ != 0.0f
                              ? WrappedFrame(value_ * wrap_scale_ + wrap_offset_)
                              : static_cast<int32_t>(std::floor(static_cast<float>(last) * value_ + 0.5f));
    SetPosition(frame * d.frame_size.y);
  } else if (d.type == kSkinBarGraph) {
    SetPosition(static_cast<int32_t>(static_cast<float>(d.segment_count + 1) * value_) * d.range_end +
                d.range_start - 1);
  } else {
    SetPosition(0);
  }
}

bool CMyBmpCtrl2::ContainsPoint(Point p) const {
  if (!BitmapControl::ContainsPoint(p)) return false;
  const SkinImage* shown = image();
  if (shown == nullptr) return true;
  const ImageDescription& d = shown->description;
  const Point at = ContentOrigin();
  const int32_t x = p.x - at.x;
  const int32_t y = p.y - at.y;
  if (x < 0 || y < 0 || x >= d.frame_size.x || y >= d.frame_size.y) return false;
  const int32_t row = d.type == kSkinBarGraph ? y : position_ + y;
  const SkinPixels& pixels = shown->pixels;
  if (x >= pixels.width || row < 0 || row >= pixels.height) return false;
  const std::size_t i = static_cast<std::size_t>(row) * pixels.width + x;
  if (pixels.mode == SkinMode::kGrey) return i < pixels.grey.size() && pixels.grey[i] > 0;
  return i < pixels.colour.size() && (pixels.colour[i] >> 24) != 0xFF;  // not fully clear
}

void CMyBmpCtrl2::DrawFrame(Canvas& canvas, Point at) const {
  const SkinImage* shown = image();
  const Point origin = ContentOrigin();
  const Point shift{at.x - origin.x, at.y - origin.y};
  DrawFrames(canvas, [shown, shift](Canvas& target, const PixelRect& from, Point to) {
    DrawTransparentLinear(target, shown->pixels, from, {to.x + shift.x, to.y + shift.y});
  });
}

void CMyBmpCtrl2::Draw(Canvas& canvas) {
  if (image() == nullptr) {
    const Rect r = ClientRect();
    const Colour grey = MakeColour(125, 125, 125);
    canvas.FillRect({r.left, r.top, r.right, r.top + 1}, grey);
    canvas.FillRect({r.left, r.bottom - 1, r.right, r.bottom}, grey);
    canvas.FillRect({r.left, r.top, r.left + 1, r.bottom}, grey);
    canvas.FillRect({r.right - 1, r.top, r.right, r.bottom}, grey);
    return;
  }
  DrawFrame(canvas, ContentOrigin());
}

void CMyBmpCtrl2::ClickPressed() { SetValue(value_ != 0.0f ? 0.0f : 1.0f); }

void CMyBmpCtrl2::ClickReleased() { SetValue(0.0f); }

void CMyBmpCtrl2::SpaceKey(bool down) { SetValue(down ? 1.0f : 0.0f); }

// --- CMyBmpCtrlTinted --------------------------------------------------------

Colour TintColour(float hue, float saturation, float brightness) {
  const float h = Clamp(hue, 1.0f);
  const float s = Clamp(saturation, 1.0f);
  const float v = Clamp(brightness, 1.0f);
  float rgb[3] = {v, v, v};
  if (s != 0.0f) {
    const int32_t i = std::min(static_cast<int32_t>(std::floor(6.0f * h)), 5);
    const float f = 6.0f * h - static_cast<float>(i);
    const float p = v * (1.0f - s);
    const float q = v * (1.0f - s * f);
    const float t = v * (1.0f - s * (1.0f - f));
    const float sectors[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
    std::copy(sectors[i], sectors[i] + 3, rgb);
  }
  uint8_t channel[3];
  for (int c = 0; c < 3; ++c) {
    const double encoded = std::pow(static_cast<double>(rgb[c]), 0.4545454446934474);
    channel[c] = static_cast<uint8_t>(std::lround(encoded * 255.0));
  }
  return MakeColour(channel[0], channel[1], channel[2]);
}

CMyBmpCtrlTinted::CMyBmpCtrlTinted()
    : CMyBmpCtrl2(kTintedFace, SkinMode::kGrey), hue_(this), saturation_(this), brightness_(this) {
  tint_ = TintColour(0.0f, 0.0f, 0.0f);
}

generic_control* CMyBmpCtrlTinted::FeatureControl(int32_t index) {
  switch (index) {
    case 0:
      return &animation_position_;
    case 1:
      return &file_name_;
    case 2:
      return &hue_;
    case 3:
      return &saturation_;
    case 4:
      return &brightness_;
    case 5:
      return &mouse_down_;
    default:
      return nullptr;
  }
}

void CMyBmpCtrlTinted::FeatureChanged(generic_control& control) {
  if (&control == &hue_ || &control == &saturation_ || &control == &brightness_) {
    tint_ = TintColour(hue_.Get(), saturation_.Get(), brightness_.Get());
    InvalidateAll();
    return;
  }
  CMyBmpCtrl2::FeatureChanged(control);
}

void CMyBmpCtrlTinted::DrawFrame(Canvas& canvas, Point at) const {
  const SkinImage* shown = image();
  const Point origin = ContentOrigin();
  const Point shift{at.x - origin.x, at.y - origin.y};
  const Colour tint = tint_;
  DrawFrames(canvas, [shown, shift, tint](Canvas& target, const PixelRect& from, Point to) {
    DrawThroughMask(target, shown->pixels, from, {to.x + shift.x, to.y + shift.y}, tint);
  });
}

// --- MyBmpCtrl_Joystick ------------------------------------------------------

MyBmpCtrl_Joystick::MyBmpCtrl_Joystick()
    : CMyBmpCtrl2(kJoystickFace, SkinMode::kColour), position_x_(this), position_y_(this) {
  SetFlags(0x800 | kVoThick | kVoGridFullWidth);
}

generic_control* MyBmpCtrl_Joystick::FeatureControl(int32_t index) {
  switch (index) {
    case 0:
      return &animation_position_;
    case 1:
      return &position_x_;
    case 2:
      return &position_y_;
    case 3:
      return &file_name_;
    case 4:
      return &mouse_down_;
    default:
      return nullptr;
  }
}

void MyBmpCtrl_Joystick::FeatureChanged(generic_control& control) {
  if (&control == &position_x_ || &control == &position_y_) {
    x_ = Clamp(position_x_.Get(), 1.0f);
    y_ = Clamp(position_y_.Get(), 1.0f);
    InvalidateAll();
    return;
  }
  CMyBmpCtrl2::FeatureChanged(control);
}

void MyBmpCtrl_Joystick::Dragged(uint32_t flags, Point p, Point q) {
  const float step = (flags & kFlagControl) ? 0.001f : 0.005f;
  const float x = Clamp(x_ + step * static_cast<float>(p.x - q.x), 1.0f);
  const float y = Clamp(y_ - step * static_cast<float>(p.y - q.y), 1.0f);
  if (x == x_ && y == y_) return;
  // Unbound coordinates are the pad's own; bound ones follow their report.
  if (x != x_) {
    if (!position_x_.Attached()) x_ = x;
    position_x_.Set(x);
  }
  if (y != y_) {
    if (!position_y_.Attached()) y_ = y;
    position_y_.Set(y);
  }
  InvalidateAll();
}

void MyBmpCtrl_Joystick::Draw(Canvas& canvas) {
  if (image() == nullptr) {
    CMyBmpCtrl2::Draw(canvas);
    return;
  }
  const Rect r = ClientRect();
  const Point cell = PreferredSize();
  const Point origin = ContentOrigin();
  const auto x = static_cast<int32_t>(x_ * static_cast<float>(r.right - r.left - cell.x));
  const auto y = static_cast<int32_t>((1.0f - y_) * static_cast<float>(r.bottom - r.top - cell.y));
  DrawFrame(canvas, {origin.x + x, origin.y + y});
}

// --- faces -------------------------------------------------------------------

void AddBitmapFaces(ControlFaces& faces) {
  faces.Add(kBitmapFace, [] { return std::make_unique<CMyBmpCtrl2>(); });
  faces.Add(kTintedFace, [] { return std::make_unique<CMyBmpCtrlTinted>(); });
  faces.Add(kJoystickFace, [] { return std::make_unique<MyBmpCtrl_Joystick>(); });
}

}  // namespace ov
