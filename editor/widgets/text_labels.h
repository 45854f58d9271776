// Labels bound to a parameter: CMyTextLabel shows one line of text in the
// "control_label" font, CPlugWnd a parameter's value text, CMyTextButton is
// a drawn push button that writes its parameter (and its mapper).
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "document/control_mapper.h"
#include "document/generic_parameter.h"
#include "editor/canvas.h"
#include "editor/visual_object.h"

namespace ov {

class CMyTextLabel : public CPaintObject, protected ParamWatcher {
 public:
  explicit CMyTextLabel(std::string text = {}, bool transparent = false);

  // Takes the font category's colour when the colour is still unset.
  void Open() override;
  void Draw(Canvas& canvas) override;
  // The text's extent, or one blank's when it is empty.
  Point PreferredSize() const override;
  std::string ToolTipText() const override;

  const std::string& text() const { return text_; }
  void SetText(std::string text);
  void SetAlign(TextState::Align align) { align_ = align; }
  void SetColour(Colour colour) { colour_ = colour; }
  // The font category the text is set in ("control_label" unless told);
  // `category` must outlive the label (a literal).
  void SetCategory(std::string_view category) { category_ = category; }
  Colour colour() const { return colour_; }
  void WatchParameter(generic_parameter* parameter) { Watch(parameter); }

 protected:
  // Code 10: the parameter's new text replaces the label's.
  void OnParameterRenamed(std::string_view text) override { SetText(std::string(text)); }

 private:
  std::string text_;
  TextState::Align align_ = TextState::Align::kLeft;
  bool transparent_;
  std::string_view category_;
  Colour colour_ = 0xFFFFFF;  // unset
};

// A plug's (any parameter's) value as text, kept up to date.
class CPlugWnd : public CMyTextLabel {
 public:
  explicit CPlugWnd(generic_parameter* parameter);

 protected:
  void OnParameterChanged() override;
  void OnParameterRenamed(std::string_view) override {}
};

// A drawn push button. A press on a writable button writes 1.0 and the
// release 0; a toggle writes on the press only: 1.0 when the value is 0,
// else 0, so each press changes it.
class CMyTextButton : public CMyTextLabel {
 public:
  CMyTextButton(std::string text, generic_parameter* parameter, bool toggle);

  bool AcceptsMouse() const override { return true; }
  void MouseDown(uint32_t flags, Point p) override;
  // The release lets go of the capture, which ends the press.
  void CaptureLost() override;
  void Draw(Canvas& canvas) override;
  Point PreferredSize() const override;
  // Writes go to the mapper as well.
  void SetMapper(std::unique_ptr<control_mapper> mapper) { mapper_ = std::move(mapper); }
  // Only the text, in the label's colour once it is set: no button face.
  void set_flat(bool flat) { flat_ = flat; }
  bool pressed() const { return pressed_; }

 protected:
  void OnParameterChanged() override { InvalidateAll(); }
  void OnParameterRenamed(std::string_view) override {}

 private:
  bool Writable() const;
  void Write(float normalised);

  bool toggle_;
  bool flat_ = false;
  bool pressed_ = false;
  std::unique_ptr<control_mapper> mapper_;
};

}  // namespace ov
