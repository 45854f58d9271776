// List texts: the items of an enumerated plug, control or parameter. A text
// that begins with "range" names the integers between two bounds ("range
// 1,16"); any other text lists its items separated by commas, each item
// optionally giving its value after "=" ("Off=0,Fast,Smooth=10"). The text
// "{AUTO}" stands for the names of a module's connected spare plugs.
//
// Threads: a ListText is a value; any thread may use its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

// Reads a base-10 integer the way stored texts write them: leading white
// space and a sign are accepted, reading stops at the first character that is
// not a digit, and no digits read as 0. Values beyond 32 bits saturate.
// `end`, when given, receives the position after the last character read.
int32_t ParseLeadingInteger(std::string_view text, std::size_t* end = nullptr);

inline constexpr std::string_view kAutoListText = "{AUTO}";

// The item list that "{AUTO}" stands for: `names` are the names of the
// module's auto-duplicating plugs that have a connection, in plug order.
std::string AutoListText(std::span<const std::string> names);

class ListText {
 public:
  struct Item {
    std::string label;
    int32_t value;
    bool operator==(const Item&) const = default;
  };

  // `auto_names` is used only when `text` is "{AUTO}" (see AutoListText).
  explicit ListText(std::string_view text, std::span<const std::string> auto_names = {});

  // Takes the items of `text` with empty labels, the values and positions
  // being all the engine needs. Allocates nothing when room for the items
  // was reserved; false, changing nothing, when the text lists more.
  void ReserveItems(std::size_t items) { items_.reserve(items); }
  bool AssignValues(std::string_view text);

  // The number of items hosts and controls count with. For the item form it
  // is one more than the commas after the first character, which a trailing
  // comma or a leading one makes differ from the items actually listed;
  // positions are computed against this count all the same.
  int64_t Count() const { return count_; }

  // Item `index` (0 … Count() − 1). An index past the listed items gives the
  // last listed item; a text without items gives {"", 0}.
  Item ItemAt(int64_t index) const;
  // Visits the listed items in order until `visit` returns false.
  void ForEach(const std::function<bool(const Item&)>& visit) const;

  bool Contains(int32_t value) const;
  // `value` when it is an item's value, else the first item's value; 0 when
  // there are no items.
  int32_t Validate(int32_t value) const;
  // Index of the first item with `value` divided by Count() − 1; 0 when the
  // count is below 2 or no item has the value.
  double PositionOf(int32_t value) const;
  // The value of item trunc(Count() × position), kept within the items; 0
  // when there are none. Allocates nothing (the engine calls it).
  int32_t ValueAt(double position) const;

 private:
  // Index of the first item with `value`, or -1.
  int64_t IndexOf(int32_t value) const;
  // The value of item `index`, clamped as ItemAt does; 0 without items.
  int32_t ValueOfItem(int64_t index) const;

  // Sets the count; for the range form also the range, answering true.
  bool ParseRange(std::string_view text);
  // Calls `visit(label, value)` for each listed item of the item form.
  template <typename Visit>
  static void ForEachListed(std::string_view text, Visit visit);

  bool is_range_ = false;
  int32_t range_first_ = 0;
  int32_t range_step_ = 1;  // +1 or -1: a range runs from its minimum towards its maximum
  int64_t count_ = 0;
  std::vector<Item> items_;  // item form only
};

}  // namespace ov
