#include "modules/list_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ov {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

int32_t Saturated(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// What "{AUTO}" lists when no spare plug is connected.
constexpr std::string_view kNoAutoNames = "<none>";

}  // namespace

int32_t ParseLeadingInteger(std::string_view text, std::size_t* end) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Magnitudes stop growing past 2^32, which every 32-bit result saturates below.
  constexpr int64_t kCap = int64_t{1} << 32;
  int64_t magnitude = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    magnitude = std::min(kCap, magnitude * 10 + (text[i] - '0'));
    ++i;
  }
  if (end != nullptr) *end = i;
  return Saturated(negative ? -magnitude : magnitude);
}

std::string AutoListText(std::span<const std::string> names) {
  if (names.empty()) return std::string(kNoAutoNames);
  std::string joined;
  for (const std::string& name : names) {
    if (!joined.empty()) joined += ',';
    joined += name;
  }
  return joined;
}

template <typename Visit>
void ListText::ForEachListed(std::string_view text, Visit visit) {
  int64_t previous = -1;  // so the first item without "=" is 0
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t comma = text.find(',', position);
    const std::size_t item_end = comma == std::string_view::npos ? text.size() : comma;
    const std::string_view item = text.substr(position, item_end - position);
    const std::size_t equals = item.size() > 1 ? item.find('=', 1) : std::string_view::npos;
    int32_t value = 0;
    if (equals == std::string_view::npos) {
      value = static_cast<int32_t>(previous + 1);
      visit(Trimmed(item), value);
    } else {
      value = ParseLeadingInteger(item.substr(equals + 1));
      visit(Trimmed(item.substr(0, equals)), value);
    }
    previous = value;
    position = item_end + 1;
  }
}

bool ListText::ParseRange(std::string_view text) {
  is_range_ = text.substr(0, 5) == "range";
  if (!is_range_) {
    count_ = 1 + (text.empty() ? 0 : std::count(text.begin() + 1, text.end(), ','));
    return false;
  }
  std::string_view bounds = text.substr(5);
  const int32_t minimum = ParseLeadingInteger(bounds);
  const std::size_t comma = bounds.find(',');
  const int32_t maximum =
      comma == std::string_view::npos ? 0 : ParseLeadingInteger(bounds.substr(comma + 1));
  range_first_ = minimum;
  range_step_ = maximum >= minimum ? 1 : -1;
  // 64 bits: the full 32-bit range has 2^32 items.
  count_ = std::abs(int64_t{maximum} - int64_t{minimum}) + 1;
  return true;
}

ListText::ListText(std::string_view text, std::span<const std::string> auto_names) {
  std::string expanded;
  if (text == kAutoListText) {
    expanded = AutoListText(auto_names);
    text = expanded;
  }
  if (ParseRange(text)) return;
  ForEachListed(text, [this](std::string_view label, int32_t value) {
    items_.push_back({std::string(label), value});
  });
}

bool ListText::AssignValues(std::string_view text) {
  if (text == kAutoListText) text = kNoAutoNames;
  std::size_t listed = 0;
  if (text.substr(0, 5) != "range") {
    ForEachListed(text, [&](std::string_view, int32_t) { ++listed; });
    if (listed > items_.capacity()) return false;
  }
  items_.clear();
  if (ParseRange(text)) return true;
  ForEachListed(text, [this](std::string_view, int32_t value) { items_.push_back({{}, value}); });
  return true;
}

int32_t ListText::ValueOfItem(int64_t index) const {
  if (is_range_) {
    return static_cast<int32_t>(range_first_ +
                                std::clamp<int64_t>(index, 0, count_ - 1) * range_step_);
  }
  if (items_.empty()) return 0;
  return items_[static_cast<std::size_t>(
                    std::clamp<int64_t>(index, 0, static_cast<int64_t>(items_.size()) - 1))]
      .value;
}

ListText::Item ListText::ItemAt(int64_t index) const {
  if (is_range_) {
    const int32_t value = ValueOfItem(index);
    return {std::to_string(value), value};
  }
  if (items_.empty()) return {"", 0};
  return items_[static_cast<std::size_t>(
      std::clamp<int64_t>(index, 0, static_cast<int64_t>(items_.size()) - 1))];
}

void ListText::ForEach(const std::function<bool(const Item&)>& visit) const {
  if (is_range_) {
    for (int64_t i = 0; i < count_; ++i) {
      if (!visit(ItemAt(i))) return;
    }
    return;
  }
  for (const Item& item : items_) {
    if (!visit(item)) return;
  }
}

int64_t ListText::IndexOf(int32_t value) const {
  if (is_range_) {
    const int64_t offset = (int64_t{value} - range_first_) * range_step_;
    return offset >= 0 && offset < count_ ? offset : -1;
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].value == value) return static_cast<int64_t>(i);
  }
  return -1;
}

bool ListText::Contains(int32_t value) const { return IndexOf(value) >= 0; }

int32_t ListText::Validate(int32_t value) const {
  if (Contains(value)) return value;
  if (is_range_) return range_first_;
  return items_.empty() ? 0 : items_.front().value;
}

double ListText::PositionOf(int32_t value) const {
  const int64_t index = IndexOf(value);
  if (count_ < 2 || index < 0) return 0.0;
  return static_cast<double>(index) / static_cast<double>(count_ - 1);
}

int32_t ListText::ValueAt(double position) const {
  if (count_ == 0 || (!is_range_ && items_.empty())) return 0;
  const double scaled = std::isnan(position) ? 0.0 : static_cast<double>(count_) * position;
  const double index = std::clamp(std::trunc(scaled), 0.0, static_cast<double>(count_ - 1));
  return ValueOfItem(static_cast<int64_t>(index));
}

}  // namespace ov
