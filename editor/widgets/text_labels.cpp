#include "editor/widgets/text_labels.h"

#include "editor/skins/text_painter.h"
#include "editor/widgets/widget_text.h"

namespace ov {

CMyTextLabel::CMyTextLabel(std::string text, bool transparent)
    : text_(std::move(text)), transparent_(transparent), category_(kLabelFont) {}

void CMyTextLabel::Open() {
  if (colour_ == 0xFFFFFF) colour_ = CategoryColour(*this, category_);
  CPaintObject::Open();
}

void CMyTextLabel::SetText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  InvalidateAll();
}

std::string CMyTextLabel::ToolTipText() const {
  if (generic_parameter* parameter = Watched()) return parameter->Name();
  return CPaintObject::ToolTipText();
}

Point CMyTextLabel::PreferredSize() const {
  return ExtentIn(*this, {category_}, text_.empty() ? " " : text_);
}

void CMyTextLabel::Draw(Canvas& canvas) {
  const Rect client = ClientRect();
  if (!transparent_) canvas.FillRect(client, SystemColourValue(SystemColour::kButtonFace));
  canvas.PushClip(client);
  {
    WidgetTextScope scope(canvas, *this, {category_}, align_);
    canvas.Text().colour = colour_;
    canvas.Text().opaque = false;
    DrawTextBox(canvas, client, text_, {false, true});
  }
  canvas.PopClip();
}

CPlugWnd::CPlugWnd(generic_parameter* parameter) {
  Watch(parameter);
  if (parameter != nullptr) SetText(parameter->ValueText());
}

void CPlugWnd::OnParameterChanged() {
  if (generic_parameter* parameter = Watched()) SetText(parameter->ValueText());
}

CMyTextButton::CMyTextButton(std::string text, generic_parameter* parameter, bool toggle)
    : CMyTextLabel(std::move(text)), toggle_(toggle) {
  SetAlign(TextState::Align::kCentre);
  WatchParameter(parameter);
}

bool CMyTextButton::Writable() const {
  return (flags() & kVoReadOnly) == 0 && (Watched() == nullptr || !Watched()->DisplayOnly());
}

void CMyTextButton::Write(float normalised) {
  if (generic_parameter* parameter = Watched()) parameter->SetNormalised(normalised);
  if (mapper_ != nullptr) mapper_->SetNormalised(normalised);
}

void CMyTextButton::MouseDown(uint32_t flags, Point p) {
  CMyTextLabel::MouseDown(flags, p);
  if (!Writable()) return;
  CaptureMouse();
  pressed_ = true;
  InvalidateAll();
  if (toggle_) {
    const float now = Watched() != nullptr ? Watched()->GetNormalised()
                      : mapper_ != nullptr ? mapper_->GetNormalised()
                                           : 0.0f;
    Write(now == 0.0f ? 1.0f : 0.0f);
  } else {
    Write(1.0f);
  }
}

void CMyTextButton::CaptureLost() {
  if (!pressed_) return;
  pressed_ = false;
  InvalidateAll();
  // However the press ended, a momentary button lets go.
  if (!toggle_) Write(0.0f);
}

Point CMyTextButton::PreferredSize() const {
  const Point text = CMyTextLabel::PreferredSize();
  return {text.x + 8, text.y + 4};
}

void CMyTextButton::Draw(Canvas& canvas) {
  const Rect client = ClientRect();
  const bool lit = pressed_ || (toggle_ && Watched() != nullptr && Watched()->GetNormalised() > 0);
  if (!flat_) DrawButtonFace(canvas, client, lit);
  canvas.PushClip(client);
  {
    WidgetTextScope scope(canvas, *this, {kEditFont}, TextState::Align::kCentre);
    canvas.Text().opaque = false;
    if (flat_ && colour() != 0xFFFFFF) canvas.Text().colour = colour();
    const int32_t shift = lit ? 1 : 0;
    DrawTextBox(canvas, Offset(client, shift, shift), text(), {false, true});
  }
  canvas.PopClip();
}

}  // namespace ov
