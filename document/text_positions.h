// Where in a project's JSON text a value lies, for messages that point at
// the line and column a person can go to. Paths are those the text reader
// reports: keys joined by ".", list elements as "[n]", "(top)" for the whole.
//
// Threads: any; no state.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace ov {

struct TextPosition {
  std::size_t line = 1;    // from 1
  std::size_t column = 1;  // from 1, in bytes
};

// The start of the value at `path` in `text` (valid JSON), or of the nearest
// enclosing value the text has when the path ends below what it holds; null
// when not even the first key is there.
std::optional<TextPosition> LocateJsonPath(std::string_view text, std::string_view path);

}  // namespace ov
