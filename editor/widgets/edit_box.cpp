#include "editor/widgets/edit_box.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "editor/skins/text_painter.h"
#include "platform/window_port.h"

namespace ov {
namespace {

constexpr Colour kSelection = MakeColour(51, 153, 255);

struct Line {
  std::size_t start;
  std::size_t end;
};

std::vector<Line> LinesOf(const std::string& text, bool multiline) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (multiline) {
    const std::size_t newline = text.find('\n', start);
    if (newline == std::string::npos) break;
    lines.push_back({start, newline});
    start = newline + 1;
  }
  lines.push_back({start, text.size()});
  return lines;
}

int32_t WidthOf(SkinFont* font, std::string_view text) {
  return font != nullptr ? TextExtent(*font, text).x : 0;
}

int32_t LineHeight(SkinFont* font) {
  return font != nullptr ? std::max(1, TextExtent(*font, " ").y) : 1;
}

// The line holding `offset`.
std::size_t LineOf(const std::vector<Line>& lines, std::size_t offset) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (offset <= lines[i].end) return i;
  }
  return lines.size() - 1;
}

}  // namespace

void EditBox::Open() {
  editing_.SetReadOnly((flags() & kVoReadOnly) != 0);
  CPaintObject::Open();
}

void EditBox::ShowText(std::string text) {
  editing_.SetText(std::move(text));
  if (focused_) editing_.SelectAll();
  KeepCaretInView();
  InvalidateAll();
}

void EditBox::SetMultiline(bool multiline) {
  if (editing_.multiline() == multiline) return;
  editing_.SetMultiline(multiline);
  scroll_ = {};
  InvalidateAll();
}

Rect EditBox::TextArea() const {
  const Rect client = ClientRect();
  // The border, then the margin.
  return {client.left + 2, client.top + 2, client.right - 2, client.bottom - 2};
}

std::size_t EditBox::OffsetAt(Point p) const {
  const std::shared_ptr<SkinFont> font = FontFor(*this, Font());
  const std::string& text = editing_.text();
  const std::vector<Line> lines = LinesOf(text, editing_.multiline());
  const Rect area = TextArea();
  const int32_t row = (p.y - area.top + scroll_.y) / LineHeight(font.get());
  const Line& line = lines[static_cast<std::size_t>(
      std::clamp<int32_t>(row, 0, static_cast<int32_t>(lines.size()) - 1))];
  const int32_t x = p.x - area.left + scroll_.x;
  // The boundary nearest to x.
  std::size_t best = line.start;
  int32_t best_distance = std::abs(x);
  for (std::size_t at = line.start; at < line.end;) {
    std::size_t next = at + 1;
    while (next < line.end && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) ++next;
    const int32_t distance = std::abs(
        x - WidthOf(font.get(), std::string_view(text).substr(line.start, next - line.start)));
    if (distance < best_distance) {
      best = next;
      best_distance = distance;
    }
    at = next;
  }
  return best;
}

void EditBox::KeepCaretInView() {
  const std::shared_ptr<SkinFont> font = FontFor(*this, Font());
  const std::string& text = editing_.text();
  const std::vector<Line> lines = LinesOf(text, editing_.multiline());
  const std::size_t row = LineOf(lines, editing_.caret());
  const Rect area = TextArea();
  const int32_t width = std::max(1, area.right - area.left);
  const int32_t height = std::max(1, area.bottom - area.top);
  const int32_t caret_x =
      WidthOf(font.get(),
              std::string_view(text).substr(lines[row].start, editing_.caret() - lines[row].start));
  const Point old = scroll_;
  if (caret_x < scroll_.x) scroll_.x = std::max(0, caret_x - width / 4);
  if (caret_x >= scroll_.x + width) scroll_.x = caret_x - width + 1 + width / 4;
  const int32_t line_height = LineHeight(font.get());
  const int32_t caret_y = static_cast<int32_t>(row) * line_height;
  if (caret_y < scroll_.y) scroll_.y = caret_y;
  if (caret_y + line_height > scroll_.y + height) scroll_.y = caret_y + line_height - height;
  if (!editing_.multiline()) scroll_.y = 0;
  if (!(old == scroll_)) InvalidateAll();
}

void EditBox::MouseDown(uint32_t flags, Point p) {
  const bool had_focus = focused_;
  // The press reaches the parent chain first: it gives the focus.
  if (parent() != nullptr) parent()->ChildClicked(this, true);
  // A press that brought the focus keeps everything selected.
  if (!had_focus || !focused_) return;
  editing_.PlaceCaret(OffsetAt(p), (flags & kFlagShift) != 0);
  KeepCaretInView();
  InvalidateAll();
}

bool EditBox::KeyDown(int32_t key, int32_t, uint32_t flags) {
  if (editing_.Key(key, (flags & kFlagShift) != 0) == TextEditing::Outcome::kIgnored) return false;
  KeepCaretInView();
  InvalidateAll();
  return true;
}

bool EditBox::Character(int32_t key, int32_t, uint32_t flags) {
  switch (editing_.Character(static_cast<char32_t>(key), (flags & kFlagShift) != 0)) {
    case TextEditing::Outcome::kNextField:
      MoveFocus(*this, true);
      return true;
    case TextEditing::Outcome::kPreviousField:
      MoveFocus(*this, false);
      return true;
    case TextEditing::Outcome::kIgnored:
      // A read-only box still takes what would type, so it goes nowhere.
      return key >= 0x20;
    case TextEditing::Outcome::kMoved:
    case TextEditing::Outcome::kEdited:
      break;
  }
  KeepCaretInView();
  InvalidateAll();
  return true;
}

void EditBox::FocusGot() {
  focused_ = true;
  editing_.SelectAll();
  KeepCaretInView();
  InvalidateAll();
}

void EditBox::FocusLost() {
  focused_ = false;
  InvalidateAll();
  if (editing_.changed()) {
    editing_.ClearChanged();
    Commit(editing_.text());
  }
  if (in_place_ && parent() != nullptr) parent()->DestroyChild(this);
}

Point EditBox::PreferredSize() const {
  const std::shared_ptr<SkinFont> font = FontFor(*this, Font());
  const int32_t characters = width_characters_ < 0 ? DefaultWidthInCharacters() : width_characters_;
  if (font == nullptr) return {characters * 8 + 2, 16};
  return {characters * font->cell.x + 2, LineHeight(font.get())};
}

void EditBox::Draw(Canvas& canvas) {
  const Rect client = ClientRect();
  const bool read_only = editing_.read_only();
  canvas.FillRect(client,
                  SystemColourValue(read_only ? SystemColour::kButtonFace : SystemColour::kWindow));
  DrawSunkenBorder(canvas, client);
  const Rect area = TextArea();
  canvas.PushClip(area);
  {
    WidgetTextScope scope(canvas, *this, Font(), TextState::Align::kLeft);
    canvas.Text().opaque = false;
    canvas.Text().colour = SystemColourValue(SystemColour::kWindowText);
    SkinFont* font = canvas.Text().font.get();
    const std::string& text = editing_.text();
    const std::vector<Line> lines = LinesOf(text, editing_.multiline());
    const int32_t line_height = LineHeight(font);
    const std::size_t from = focused_ ? editing_.selection_start() : 0;
    const std::size_t to = focused_ ? editing_.selection_end() : 0;
    for (std::size_t row = 0; row < lines.size(); ++row) {
      const Line& line = lines[row];
      const int32_t y = area.top + static_cast<int32_t>(row) * line_height - scroll_.y;
      if (y >= area.bottom || y + line_height <= area.top) continue;
      const std::string_view shown =
          std::string_view(text).substr(line.start, line.end - line.start);
      const int32_t x = area.left - scroll_.x;
      DrawTextLine(canvas, {x, y}, shown);
      // The selected part of the line, white on blue.
      const std::size_t a = std::clamp(from, line.start, line.end);
      const std::size_t b = std::clamp(to, line.start, line.end);
      if (a < b) {
        const int32_t left = x + WidthOf(font, shown.substr(0, a - line.start));
        const int32_t right = x + WidthOf(font, shown.substr(0, b - line.start));
        canvas.FillRect({left, y, right, y + line_height}, kSelection);
        const TextState::Align align = canvas.Text().align;
        const Colour colour = canvas.Text().colour;
        canvas.Text().colour = MakeColour(255, 255, 255);
        DrawTextLine(canvas, {left, y}, shown.substr(a - line.start, b - a));
        canvas.Text().colour = colour;
        canvas.Text().align = align;
      }
      if (focused_ && !editing_.HasSelection() && editing_.caret() >= line.start &&
          editing_.caret() <= line.end && !read_only) {
        const int32_t caret_x = x + WidthOf(font, shown.substr(0, editing_.caret() - line.start));
        canvas.FillRect({caret_x, y, caret_x + 1, y + line_height},
                        SystemColourValue(SystemColour::kWindowText));
      }
    }
  }
  canvas.PopClip();
}

}  // namespace ov
