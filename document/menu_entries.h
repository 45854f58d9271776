// A context menu as the tree builds it: items with command ids, checks,
// disabled items and separators. Document objects add their own entries to
// the menu of whatever shows them; the window that shows the menu belongs
// to the editor.
// Thread: editor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ov {

enum MenuItemFlag : uint32_t {
  kMenuChecked = 0x1,
  kMenuDisabled = 0x2,   // shown greyed, never chosen
  kMenuSeparator = 0x4,  // a line between groups; no text, no command
};

struct MenuItem {
  int32_t id = 0;
  std::string text;
  uint32_t flags = 0;

  bool Choosable() const { return (flags & (kMenuDisabled | kMenuSeparator)) == 0; }
};

class ContextMenu {
 public:
  void Add(int32_t id, std::string text, uint32_t flags = 0) {
    items_.push_back({id, std::move(text), flags});
  }
  // A separator never starts the menu or follows another.
  void AddSeparator() {
    if (!items_.empty() && !(items_.back().flags & kMenuSeparator)) {
      items_.push_back({0, {}, kMenuSeparator});
    }
  }
  const std::vector<MenuItem>& Items() const { return items_; }

 private:
  std::vector<MenuItem> items_;
};

// Commands the application carries out itself: showing the project's about
// text, and loading a module's library again.
constexpr int32_t kCommandAbout = 34923;
constexpr int32_t kCommandReloadLibrary = 34921;
// Choice items: a list's drop-down numbers its items from the first id on;
// a module's own menu may offer choices in the same range.
constexpr int32_t kFirstChoiceCommand = 34927;
constexpr int32_t kLastChoiceCommand = 35127;
// A module's own command, carried out by the module.
constexpr int32_t kCommandUnloadSoundfont = 34916;

}  // namespace ov
