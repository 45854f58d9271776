#include "editor/skins/skin_text.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "platform/text.h"

namespace ov {
namespace {

using Tokens = std::vector<std::string_view>;

bool IsSeparator(char c) { return c == ' ' || c == ','; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Calls `each` with every line, without its line break.
template <class Each>
void ForEachLine(std::string_view text, Each each) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    each(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  s = SkipBlanks(s);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Description lines: a token ends at a space or comma and blanks after it
// are skipped; when what is left then starts with a separator, all of it is
// one token.
Tokens DescriptionTokens(std::string_view line) {
  Tokens tokens;
  std::string_view rest = SkipBlanks(line);
  while (!rest.empty()) {
    if (rest.front() == ';') break;
    if (IsSeparator(rest.front())) {
      tokens.push_back(rest);
      break;
    }
    std::size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    tokens.push_back(Trim(rest.substr(0, end)));
    rest = end < rest.size() ? SkipBlanks(rest.substr(end + 1)) : std::string_view();
  }
  return tokens;
}

// The integer at the start of `text` (after blanks, with a sign), clamped to
// 32 bits; nothing when no digit follows.
std::optional<int32_t> LeadingInteger(std::string_view text) {
  text = SkipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min(kLimit, value * 10 + (c - '0'));
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(std::min(value, kLimit - 1));
}

void SetFrom(std::string_view token, int32_t* field) {
  if (const auto value = LeadingInteger(token)) *field = *value;
}

char FirstLower(std::string_view token) { return token.empty() ? '\0' : ToLowerAscii(token[0]); }

void ApplyDescriptionLine(const Tokens& t, ImageDescription* d) {
  const std::size_t n = t.size();
  if (n < 2) return;
  const std::string_view key = t[0];
  if (key == "type") {
    if (t[1] == "slider") d->type = kSkinSlider;
    if (t[1] == "knob" || t[1] == "animated") d->type = kSkinKnob;
    if (t[1] == "button") d->type = kSkinButton;
    if (t[1] == "bargraph") d->type = kSkinBarGraph;
  } else if (key == "frame_size" && n >= 3) {
    SetFrom(t[1], &d->frame_size.x);
    SetFrom(t[2], &d->frame_size.y);
    d->frame_size_given = true;
  } else if (key == "padding" && n >= 5) {
    SetFrom(t[1], &d->padding_top);
    SetFrom(t[2], &d->padding_bottom);
    SetFrom(t[3], &d->padding_left);
    SetFrom(t[4], &d->padding_right);
  } else if (key == "handle_rect" && n >= 5) {
    SetFrom(t[1], &d->handle_rect.left);
    SetFrom(t[2], &d->handle_rect.top);
    SetFrom(t[3], &d->handle_rect.right);
    SetFrom(t[4], &d->handle_rect.bottom);
  } else if (key == "handle_range" || key == "segment") {
    SetFrom(t[1], &d->range_start);
    if (n >= 3) SetFrom(t[2], &d->range_end);
  } else if (key == "orientation" || key == "tiled" || key == "mouse_response") {
    switch (FirstLower(t[1])) {
      case 'f':
      case 'h':
        d->mode_letter = 1;
        break;
      case 't':
      case 'v':
        d->mode_letter = 0;
        break;
      case 'c':
        d->mode_letter = 2;
        break;
      case 'r':
        d->mode_letter = 3;
        break;
      case 's':
        d->mode_letter = 4;
        break;
      default:
        break;
    }
  } else if (key == "line_end_length" || key == "segment_count") {
    SetFrom(t[1], &d->segment_count);
  } else if (key == "transparent_pixel") {
    SetFrom(t[1], &d->key_pixel.x);
    if (n >= 3) SetFrom(t[2], &d->key_pixel.y);
  }
}

// global.txt lines: tokens end at a space or comma, may be quoted with '
// or " (then holding spaces and commas), and are trimmed; empty ones drop.
Tokens GlobalTokens(std::string_view line) {
  Tokens tokens;
  std::string_view rest = line;
  while (!rest.empty()) {
    rest = SkipBlanks(rest);
    if (rest.empty()) break;
    if (IsSeparator(rest.front())) {
      rest.remove_prefix(1);
      continue;
    }
    if (rest.front() == ';') break;
    std::string_view token;
    if (rest.front() == '"' || rest.front() == '\'') {
      const char quote = rest.front();
      const std::size_t close = rest.find(quote, 1);
      token = rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
      rest = close == std::string_view::npos ? std::string_view() : rest.substr(close + 1);
    } else {
      std::size_t end = 0;
      while (end < rest.size() && !IsSeparator(rest[end])) ++end;
      token = rest.substr(0, end);
      rest.remove_prefix(end);
    }
    token = Trim(token);
    if (!token.empty()) tokens.push_back(token);
  }
  return tokens;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = ToLowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "#" and hexadecimal digits, taken as one number (so the first pair is
// blue); otherwise a decimal number. Nothing when no digit follows.
std::optional<int32_t> ColourValue(std::string_view token) {
  if (token.empty() || token.front() != '#') return LeadingInteger(token);
  token.remove_prefix(1);
  if (token.empty() || HexDigit(token.front()) < 0) return std::nullopt;
  uint64_t value = 0;
  for (char c : token) {
    const int digit = HexDigit(c);
    if (digit < 0) break;
    value = std::min<uint64_t>(0xFFFFFFFFu, value * 16 + digit);
  }
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

void ApplyGlobalLine(const Tokens& t, const FamilyCheck& installed, FontCategory* c) {
  const std::string_view key = t[0];
  if (key == "font-family") {
    for (std::size_t i = 1; i < t.size(); ++i) {
      if (installed(t[i])) {
        c->face = std::string(t[i]);
        break;
      }
    }
    return;
  }
  if (t.size() < 2) return;
  const std::string_view value = t[1];
  const char letter = FirstLower(value);
  if (key == "font-size") {
    SetFrom(value, &c->size);
  } else if (key == "font-color") {
    if (const auto colour = ColourValue(value)) c->colour = *colour;
  } else if (key == "background-color") {
    if (const auto colour = ColourValue(value)) c->background = *colour;
  } else if (key == "text-align") {
    if (letter == 'r') c->style |= kFontRight;
    if (letter == 'c') c->style |= kFontCentred;
  } else if (key == "text-decoration") {
    if (letter == 'u') c->style |= kFontUnderline;
  } else if (key == "font-style") {
    if (letter == 'i') c->style |= kFontItalic;
  } else if (key == "font-weight") {
    const int32_t weight = LeadingInteger(value).value_or(0);
    if (letter == 'b' || weight > 550) c->style |= kFontBold;
    if (letter == 'l' || (weight >= 1 && weight <= 300)) c->style |= kFontLight;
  }
}

}  // namespace

void ParseImageDescription(std::string_view text, ImageDescription* description) {
  ForEachLine(text, [&](std::string_view line) {
    ApplyDescriptionLine(DescriptionTokens(line), description);
  });
}

void SetFrames(ImageDescription* d, int32_t image_width, int32_t image_height) {
  if (!d->frame_size_given) {
    d->frame_size = {image_width, image_height};
    d->last_frame = 0;
    return;
  }
  d->last_frame = d->frame_size.y > 0 ? std::max(0, image_height / d->frame_size.y - 1) : 0;
}

std::vector<FontCategory> ParseGlobalText(std::string_view text, const FamilyCheck& installed) {
  std::vector<FontCategory> categories;
  FontCategory scratch;
  bool in_category = false;
  ForEachLine(text, [&](std::string_view line) {
    const Tokens tokens = GlobalTokens(line);
    if (tokens.empty()) return;
    if (tokens[0] == "FONT_CATEGORY") {
      if (tokens.size() < 2) return;
      FontCategory fresh;
      for (char c : tokens[1]) fresh.category.push_back(ToLowerAscii(c));
      categories.push_back(std::move(fresh));
      in_category = true;
      return;
    }
    ApplyGlobalLine(tokens, installed, in_category ? &categories.back() : &scratch);
  });
  return categories;
}

}  // namespace ov
