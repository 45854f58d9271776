#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace ov {

void AppendCodePoint(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string Utf16ToUtf8(const uint16_t* units, std::size_t count) {
  constexpr uint32_t kReplacement = 0xFFFD;
  std::string out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const uint32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
        const uint32_t low = units[++i];
        AppendCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
      } else {
        AppendCodePoint(out, kReplacement);
      }
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      AppendCodePoint(out, kReplacement);
    } else {
      AppendCodePoint(out, u);
    }
  }
  return out;
}

std::string Utf16LeBytesToUtf8(const uint8_t* bytes, std::size_t byte_count) {
  std::u16string units(byte_count / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return Utf16ToUtf8(reinterpret_cast<const uint16_t*>(units.data()), units.size());
}

char32_t NextCodePoint(std::string_view s, std::size_t* at) {
  constexpr char32_t kReplacement = 0xFFFD;
  const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t lead = byte((*at)++);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t code = 0;
  char32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, code = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, code = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, code = lead & 0x07, least = 0x10000;
  } else {
    return kReplacement;
  }
  for (int i = 0; i < extra; ++i) {
    if (*at >= s.size() || (byte(*at) & 0xC0) != 0x80) return kReplacement;
    code = (code << 6) | (byte((*at)++) & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kReplacement;
  return code;
}

void CopyBoundedWide(uint16_t* destination, std::size_t room, std::string_view text) {
  if (room == 0) return;
  std::size_t out = 0;
  for (std::size_t at = 0; at < text.size() && out + 1 < room;) {
    char32_t code = NextCodePoint(text, &at);
    if (code >= 0x10000) {
      if (out + 2 >= room) break;  // a pair is never split
      code -= 0x10000;
      destination[out++] = static_cast<uint16_t>(0xD800 + (code >> 10));
      destination[out++] = static_cast<uint16_t>(0xDC00 + (code & 0x3FF));
    } else {
      destination[out++] = static_cast<uint16_t>(code);
    }
  }
  destination[out] = 0;
}

std::string ZeroTerminatedWide(const uint16_t* text, std::size_t limit) {
  std::size_t length = 0;
  while (length < limit && text[length] != 0) ++length;
  return Utf16ToUtf8(text, length);
}

char ToLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return ToLowerAscii(x) == ToLowerAscii(y); });
}

void CopyBounded(char* destination, std::size_t capacity, std::string_view text) {
  if (destination == nullptr || capacity == 0) return;
  const std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  // An empty view may carry no address at all, which memcpy must not get.
  if (n > 0) std::memcpy(destination, text.data(), n);
  destination[n] = '\0';
}

std::string FormatDouble(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string FormatFixed(double value, int digits) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
  if (result.ec != std::errc()) return FormatDouble(value);
  return std::string(buffer, result.ptr);
}

std::optional<double> ParseDouble(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<long long> ParseInteger(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long long value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

namespace {

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = ToLowerAscii(a[i - 1]) == ToLowerAscii(b[j - 1]);
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string DidYouMean(std::string_view given, const std::vector<std::string>& candidates) {
  // Hostile names stay cheap: nothing is compared with a text this long.
  constexpr std::size_t kLongest = 200;
  if (given.size() > kLongest) return {};
  const std::size_t allowed = std::max<std::size_t>(1, given.size() / 3);
  std::vector<std::pair<std::size_t, const std::string*>> close;
  for (const std::string& candidate : candidates) {
    if (candidate.size() > kLongest) continue;
    const std::size_t distance = EditDistance(given, candidate);
    if (distance <= allowed) close.emplace_back(distance, &candidate);
  }
  std::stable_sort(close.begin(), close.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (close.size() > 3) close.resize(3);
  std::string text;
  for (std::size_t i = 0; i < close.size(); ++i) {
    text += (i == 0                  ? " (did you mean '"
             : i + 1 == close.size() ? " or '"
                                     : ", '") +
            *close[i].second + "'";
  }
  return text.empty() ? text : text + "?)";
}

}  // namespace ov
