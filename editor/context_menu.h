// A context menu as the tree builds it: items with command ids. The window
// that shows it belongs to the skins and widgets; the tree needs only the
// model.
// Thread: editor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ov {

struct MenuItem {
  int32_t id = 0;
  std::string text;
};

class ContextMenu {
 public:
  void Add(int32_t id, std::string text) { items_.push_back({id, std::move(text)}); }
  const std::vector<MenuItem>& Items() const { return items_; }

 private:
  std::vector<MenuItem> items_;
};

// Commands the root view hands to the application; others are ignored.
bool IsApplicationCommand(int32_t id);
// Choice menus number their items from one, with ids from this one on.
constexpr int32_t kFirstChoiceCommand = 34927;
std::string ChoiceItemText(int32_t index, const std::string& text);

}  // namespace ov
