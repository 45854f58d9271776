#include "editor/widgets/buttons.h"

#include <span>

#include "document/control_features.h"
#include "editor/skins/skin_drawing.h"
#include "editor/skins/skin_list.h"
#include "editor/skins/text_painter.h"
#include "editor/view_root.h"
#include "editor/widgets/widget_text.h"
#include "engine/interface_object.h"
#include "platform/window_port.h"

namespace ov {

CMyButton::CMyButton(generic_parameter* parameter, std::string text) : text_(std::move(text)) {
  Watch(parameter);
}

void CMyButton::SetText(std::string text) {
  text_ = std::move(text);
  InvalidateAll();
}

bool CMyButton::DescribeFeature(int32_t index, FeatureDescription* description) {
  const std::span<const FaceFeature> features = FaceFeatures(kButtonFace);
  if (index != 0 || features.empty()) return false;
  *description = FeatureDescription{};
  description->name = features[0].name;
  description->datatype = features[0].datatype;
  description->output = &position_;
  description->flags = kPlugPanelSide;
  return true;
}

std::string CMyButton::ToolTipText() const {
  return Watched() != nullptr ? Watched()->Name() : CPaintObject::ToolTipText();
}

void CMyButton::Press(bool down) {
  if (down == pressed_) return;
  pressed_ = down;
  InvalidateAll();
  const float value = down ? 1.0f : 0.0f;
  if (generic_parameter* parameter = Watched()) parameter->SetNormalised(value);
  position_.Set(value);
  if (mapper_ != nullptr) mapper_->SetNormalised(value);
}

void CMyButton::MouseDown(uint32_t flags, Point p) {
  // The press reaches the parent chain first.
  if (parent() != nullptr) parent()->ChildClicked(this, true);
  (void)p;
  if (!(flags & kFlagLeftButton) || (this->flags() & kVoReadOnly)) return;
  CaptureMouse();
  Press(true);
}

// The release lets go of the capture, which ends the press.
void CMyButton::CaptureLost() { Press(false); }

bool CMyButton::KeyDown(int32_t key, int32_t repeat, uint32_t) {
  if (key != kKeySpace) return false;
  if (repeat == 0 && !(flags() & kVoReadOnly)) Press(true);
  return true;
}

bool CMyButton::KeyUp(int32_t key, int32_t, uint32_t) {
  if (key != kKeySpace) return false;
  Press(false);
  return true;
}

Point CMyButton::PreferredSize() const {
  if (text_.empty()) return {20, 15};
  const Point extent = ExtentIn(*this, {kEditFont}, text_);
  return {extent.x + 8, extent.y + 4};
}

void CMyButton::Draw(Canvas& canvas) {
  const Rect client = ClientRect();
  DrawButtonFace(canvas, client, pressed_);
  if (text_.empty()) return;
  canvas.PushClip(client);
  {
    WidgetTextScope scope(canvas, *this, {kEditFont}, TextState::Align::kCentre);
    canvas.Text().opaque = false;
    const int32_t shift = pressed_ ? 1 : 0;
    DrawTextBox(canvas, Offset(client, shift, shift), text_, {false, true});
  }
  canvas.PopClip();
}

CMyBrowseButton::CMyBrowseButton(generic_parameter* parameter, std::string file_type)
    : file_type_(file_type.empty() ? "wav" : std::move(file_type)) {
  Watch(parameter);
}

CMyBrowseButton::~CMyBrowseButton() {
  if (asking_ != nullptr) asking_->Withdraw();
}

std::string CMyBrowseButton::ToolTipText() const {
  return Watched() != nullptr ? Watched()->Name() : CPaintObject::ToolTipText();
}

void CMyBrowseButton::Open() {
  COrvaneViewBase* root = Root();
  Skin* skin = GetSkin();
  if (root != nullptr && root->Skins() != nullptr && skin != nullptr) {
    image_ = root->Skins()->Image(*skin, kBrowseImage, SkinMode::kColour);
  }
  CPaintObject::Open();
}

void CMyBrowseButton::Close() {
  // The answer would come to a button no longer shown.
  if (asking_ != nullptr) asking_->Withdraw();
  asking_ = nullptr;
  image_ = nullptr;
  CPaintObject::Close();
}

void CMyBrowseButton::MouseDown(uint32_t flags, Point) {
  // The press reaches the parent chain first, which gives the focus.
  if (parent() != nullptr) parent()->ChildClicked(this, true);
  COrvaneViewBase* root = Root();
  generic_parameter* parameter = Watched();
  if (!(flags & kFlagLeftButton) || root == nullptr || root->Files() == nullptr ||
      parameter == nullptr || asking_ != nullptr || parameter->DisplayOnly()) {
    return;
  }
  FileDialogRequest request;
  request.start = parameter->ValueText();
  request.types = {file_type_};
  FileDialog* dialog = root->Files();
  // The dialog answers from a later idle call; a cancel changes nothing.
  if (!dialog->Ask(request, [this](const FileDialogAnswer& answer) {
        asking_ = nullptr;
        InvalidateAll();
        if (answer.chosen && Watched() != nullptr) Watched()->WriteValueText(answer.path);
      })) {
    return;
  }
  asking_ = dialog;
  InvalidateAll();
}

void CMyBrowseButton::Draw(Canvas& canvas) {
  const Rect client = ClientRect();
  if (image_ == nullptr || !image_->HasPixels()) {
    DrawButtonFace(canvas, client, asking_ != nullptr);
    return;
  }
  const ImageDescription& description = image_->description;
  const Point frame = description.frame_size;
  // Frame 0 up; frame 1, when there is one, while the dialog is open.
  const int32_t index = asking_ != nullptr && description.last_frame >= 1 ? 1 : 0;
  DrawTransparent(canvas, image_->pixels, {0, index * frame.y, frame.x, (index + 1) * frame.y},
                  {client.left, client.top});
}

}  // namespace ov
