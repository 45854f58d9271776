// The complete example of docs/project-format.md, read from the page itself
// so that the tests follow what people copy from it.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace ov::testing {

// The text of the page's first JSON block; empty when the page has none.
inline std::string FormatExample(const std::string& page_path) {
  std::ifstream in(page_path);
  const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string opening = "```json\n";
  const std::size_t begin = page.find(opening);
  if (begin == std::string::npos) return {};
  const std::size_t end = page.find("```", begin + opening.size());
  if (end == std::string::npos) return {};
  return page.substr(begin + opening.size(), end - begin - opening.size());
}

}  // namespace ov::testing
