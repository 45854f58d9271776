// The editing of an edit box apart from its window: the text (UTF-8), the
// caret and the selection (byte offsets on character boundaries), the
// read-only and multi-line modes, and the changed mark, which typing sets
// and only the owner clears (so a text retyped to what it was still counts
// as changed).
//
// Thread: editor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ov {

class TextEditing {
 public:
  // What a key asks of the box's owner.
  enum class Outcome { kIgnored, kMoved, kEdited, kNextField, kPreviousField };

  const std::string& text() const { return text_; }
  // Rewrites the text (a new bound value): the caret goes to the end, the
  // changed mark stays as it is.
  void SetText(std::string text);
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  bool read_only() const { return read_only_; }
  void SetMultiline(bool multiline) { multiline_ = multiline; }
  bool multiline() const { return multiline_; }

  std::size_t caret() const { return caret_; }
  // The selection runs between the anchor and the caret.
  std::size_t selection_start() const { return caret_ < anchor_ ? caret_ : anchor_; }
  std::size_t selection_end() const { return caret_ < anchor_ ? anchor_ : caret_; }
  bool HasSelection() const { return caret_ != anchor_; }
  void SelectAll();
  // Puts the caret at `offset` (moved back to a character boundary).
  void PlaceCaret(std::size_t offset, bool extend);

  bool changed() const { return changed_; }
  void ClearChanged() { changed_ = false; }

  // A character typed (Tab 9, Enter 13, Backspace 8): printable ones
  // replace the selection; Enter starts a line in a multi-line box, else
  // moves on like Tab (Shift+Tab backwards).
  Outcome Character(char32_t c, bool shift);
  // Keys that edit or move without typing: Delete, Home, End and the
  // arrows (window_port.h numbers); Shift extends the selection.
  Outcome Key(int32_t key, bool shift);

 private:
  void Replace(std::size_t from, std::size_t to, const std::string& with);
  void MoveCaret(std::size_t to, bool extend);
  std::size_t Previous(std::size_t at) const;
  std::size_t Next(std::size_t at) const;
  std::size_t LineStart(std::size_t at) const;
  std::size_t LineEnd(std::size_t at) const;
  // The offset on the line above or below at the same character count.
  std::size_t OtherLine(std::size_t at, bool down) const;

  std::string text_;
  std::size_t caret_ = 0;
  std::size_t anchor_ = 0;
  bool read_only_ = false;
  bool multiline_ = false;
  bool changed_ = false;
};

}  // namespace ov
