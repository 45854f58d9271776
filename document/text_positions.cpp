#include "document/text_positions.h"

#include <string>
#include <vector>

namespace ov {
namespace {

// One pass over the text, building each value's path as the reader names it
// and stopping at the one wanted. The text is known to parse; this only has
// to follow its structure.
class Locator {
 public:
  Locator(std::string_view text, std::string_view target) : text_(text), target_(target) {}

  std::optional<std::size_t> Find() {
    if (target_ == "(top)") {
      SkipSpace();
      return at_;
    }
    // Explicit stack: no recursion however deep the text nests.
    struct Open {
      std::string path;
      bool object;
      std::size_t count = 0;
    };
    std::vector<Open> open;
    std::string path;
    bool top = true;
    while (!found_) {
      SkipSpace();
      if (!top) {
        if (at_ >= text_.size()) break;
        Open& frame = open.back();
        const char c = text_[at_];
        if (c == '}' || c == ']') {
          ++at_;
          open.pop_back();
          if (open.empty()) break;
          continue;
        }
        if (c == ',') {
          ++at_;
          SkipSpace();
        }
        if (frame.object) {
          const std::string key = ReadString();
          SkipSpace();
          if (at_ < text_.size() && text_[at_] == ':') ++at_;
          SkipSpace();
          path = frame.path.empty() ? key : frame.path + "." + key;
        } else {
          path = frame.path + "[" + std::to_string(frame.count++) + "]";
        }
      }
      top = false;
      if (at_ >= text_.size()) break;
      Note(path);
      if (found_) break;
      const char c = text_[at_];
      if (c == '{' || c == '[') {
        ++at_;
        open.push_back({path, c == '{'});
      } else if (c == '"') {
        ReadString();
      } else {
        while (at_ < text_.size() &&
               std::string_view(",]} \t\r\n").find(text_[at_]) == std::string_view::npos) {
          ++at_;
        }
      }
      if (open.empty()) break;
    }
    if (found_) return found_at_;
    return best_;
  }

 private:
  void SkipSpace() {
    while (at_ < text_.size() &&
           std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos) {
      ++at_;
    }
  }

  // A key as the parser decodes it; \u escapes are kept as written, which
  // only costs an exact match on such keys.
  std::string ReadString() {
    std::string value;
    if (at_ < text_.size() && text_[at_] == '"') ++at_;
    while (at_ < text_.size() && text_[at_] != '"') {
      char c = text_[at_++];
      if (c == '\\' && at_ < text_.size()) {
        c = text_[at_++];
        switch (c) {
          case 'n':
            c = '\n';
            break;
          case 't':
            c = '\t';
            break;
          case 'r':
            c = '\r';
            break;
          case 'b':
            c = '\b';
            break;
          case 'f':
            c = '\f';
            break;
          case 'u':
            value += "\\";
            break;
          default:
            break;
        }
      }
      value += c;
    }
    if (at_ < text_.size()) ++at_;
    return value;
  }

  void Note(const std::string& path) {
    if (path == target_) {
      found_ = true;
      found_at_ = at_;
      return;
    }
    const bool encloses =
        path.empty() || (target_.starts_with(path) && target_.size() > path.size() &&
                         (target_[path.size()] == '.' || target_[path.size()] == '['));
    if (encloses && !path.empty() && path.size() >= best_length_) {
      best_ = at_;
      best_length_ = path.size();
    }
  }

  std::string_view text_;
  std::string_view target_;
  std::size_t at_ = 0;
  bool found_ = false;
  std::size_t found_at_ = 0;
  std::optional<std::size_t> best_;
  std::size_t best_length_ = 0;
};

}  // namespace

std::optional<TextPosition> LocateJsonPath(std::string_view text, std::string_view path) {
  const std::optional<std::size_t> offset = Locator(text, path).Find();
  if (!offset) return std::nullopt;
  TextPosition position;
  for (std::size_t i = 0; i < *offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++position.line;
      position.column = 1;
    } else {
      ++position.column;
    }
  }
  return position;
}

}  // namespace ov
