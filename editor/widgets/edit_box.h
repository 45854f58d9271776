// An edit box drawn into the panel: a sunken white field with 1-pixel
// margins, the text scrolled so the caret stays in view (sideways in one
// line, up and down in several), the selection and the caret while it has
// the focus. Gaining the focus selects everything; Enter and Tab go to the
// tab navigation (Enter starts a line in a multi-line box); losing the
// focus writes the text when typing changed it, after which an in-place
// box removes itself from its parent.
//
// Subclasses say where the text comes from and goes (a parameter, a
// feature) and which font it is set in.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <string>

#include "editor/visual_object.h"
#include "editor/widgets/text_editing.h"
#include "editor/widgets/widget_text.h"

namespace ov {

class EditBox : public CPaintObject {
 public:
  bool AcceptsMouse() const override { return true; }
  bool CanTakeFocus() const override { return true; }
  bool TakesKeys() const override { return true; }
  void MouseDown(uint32_t flags, Point p) override;
  void DoubleClick(uint32_t flags, Point p) override { MouseDown(flags, p); }
  bool KeyDown(int32_t key, int32_t repeat, uint32_t flags) override;
  bool Character(int32_t key, int32_t repeat, uint32_t flags) override;
  void FocusGot() override;
  void FocusLost() override;
  void Open() override;
  void Draw(Canvas& canvas) override;
  // Characters set for the width (-1: the default count) times the average
  // character width, plus 2; the font's height.
  Point PreferredSize() const override;

  const TextEditing& editing() const { return editing_; }
  void SetWidthInCharacters(int32_t characters) { width_characters_ = characters; }
  // The box takes the value it shows anew (the bound value changed).
  void ShowText(std::string text);
  void SetMultiline(bool multiline);
  // An in-place box goes when it loses the focus.
  void SetInPlace(bool in_place) { in_place_ = in_place; }
  bool focused() const { return focused_; }

 protected:
  // Writes the text where the box's value lives.
  virtual void Commit(const std::string& text) = 0;
  virtual WidgetFont Font() const { return {kEditFont}; }
  virtual int32_t DefaultWidthInCharacters() const { return 4; }

 private:
  // The caret's offset for a point of the box.
  std::size_t OffsetAt(Point p) const;
  // Scrolls so the caret shows.
  void KeepCaretInView();
  Rect TextArea() const;

  TextEditing editing_;
  int32_t width_characters_ = -1;
  bool in_place_ = false;
  bool focused_ = false;
  Point scroll_;
};

}  // namespace ov
