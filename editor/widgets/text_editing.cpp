#include "editor/widgets/text_editing.h"

#include <algorithm>

#include "platform/text.h"
#include "platform/window_port.h"

namespace ov {
namespace {

bool Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

void TextEditing::SetText(std::string text) {
  text_ = std::move(text);
  caret_ = anchor_ = text_.size();
}

void TextEditing::SelectAll() {
  anchor_ = 0;
  caret_ = text_.size();
}

void TextEditing::PlaceCaret(std::size_t offset, bool extend) {
  offset = std::min(offset, text_.size());
  while (offset > 0 && offset < text_.size() && Continuation(text_[offset])) --offset;
  MoveCaret(offset, extend);
}

std::size_t TextEditing::Previous(std::size_t at) const {
  if (at == 0) return 0;
  --at;
  while (at > 0 && Continuation(text_[at])) --at;
  return at;
}

std::size_t TextEditing::Next(std::size_t at) const {
  if (at >= text_.size()) return text_.size();
  ++at;
  while (at < text_.size() && Continuation(text_[at])) ++at;
  return at;
}

std::size_t TextEditing::LineStart(std::size_t at) const {
  if (!multiline_) return 0;
  const std::size_t newline = at == 0 ? std::string::npos : text_.rfind('\n', at - 1);
  return newline == std::string::npos ? 0 : newline + 1;
}

std::size_t TextEditing::LineEnd(std::size_t at) const {
  if (!multiline_) return text_.size();
  const std::size_t newline = text_.find('\n', at);
  return newline == std::string::npos ? text_.size() : newline;
}

std::size_t TextEditing::OtherLine(std::size_t at, bool down) const {
  const std::size_t start = LineStart(at);
  std::size_t column = 0;
  for (std::size_t i = start; i < at; i = Next(i)) ++column;
  std::size_t line;
  if (down) {
    const std::size_t end = LineEnd(at);
    if (end >= text_.size()) return text_.size();
    line = end + 1;
  } else {
    if (start == 0) return 0;
    line = LineStart(start - 1);
  }
  const std::size_t line_end = LineEnd(line);
  std::size_t to = line;
  for (; column > 0 && to < line_end; --column) to = Next(to);
  return to;
}

void TextEditing::Replace(std::size_t from, std::size_t to, const std::string& with) {
  text_.replace(from, to - from, with);
  caret_ = anchor_ = from + with.size();
  changed_ = true;
}

void TextEditing::MoveCaret(std::size_t to, bool extend) {
  caret_ = to;
  if (!extend) anchor_ = to;
}

TextEditing::Outcome TextEditing::Character(char32_t c, bool shift) {
  if (c == '\t') return shift ? Outcome::kPreviousField : Outcome::kNextField;
  if (c == '\r' || c == '\n') {
    if (!multiline_) return Outcome::kNextField;
    c = '\n';
  } else if (c == '\b') {
    if (read_only_) return Outcome::kIgnored;
    if (HasSelection()) {
      Replace(selection_start(), selection_end(), "");
    } else if (caret_ > 0) {
      Replace(Previous(caret_), caret_, "");
    } else {
      return Outcome::kIgnored;
    }
    return Outcome::kEdited;
  } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) {
    return Outcome::kIgnored;
  }
  if (read_only_) return Outcome::kIgnored;
  std::string typed;
  AppendCodePoint(typed, c);
  Replace(selection_start(), selection_end(), typed);
  return Outcome::kEdited;
}

TextEditing::Outcome TextEditing::Key(int32_t key, bool shift) {
  switch (key) {
    case kKeyDelete:
      if (read_only_) return Outcome::kIgnored;
      if (HasSelection()) {
        Replace(selection_start(), selection_end(), "");
      } else if (caret_ < text_.size()) {
        Replace(caret_, Next(caret_), "");
      } else {
        return Outcome::kIgnored;
      }
      return Outcome::kEdited;
    case kKeyLeft:
      // Without Shift a selection collapses to its start.
      MoveCaret(HasSelection() && !shift ? selection_start() : Previous(caret_), shift);
      return Outcome::kMoved;
    case kKeyRight:
      MoveCaret(HasSelection() && !shift ? selection_end() : Next(caret_), shift);
      return Outcome::kMoved;
    case kKeyHome:
      MoveCaret(LineStart(caret_), shift);
      return Outcome::kMoved;
    case kKeyEnd:
      MoveCaret(LineEnd(caret_), shift);
      return Outcome::kMoved;
    case kKeyUp:
    case kKeyDown:
      if (!multiline_) return Outcome::kIgnored;
      MoveCaret(OtherLine(caret_, key == kKeyDown), shift);
      return Outcome::kMoved;
    default:
      return Outcome::kIgnored;
  }
}

}  // namespace ov
