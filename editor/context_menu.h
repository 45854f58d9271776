// The commands of context menus that reach the application, and the text
// of choice items.
// Thread: editor.
#pragma once

#include <cstdint>
#include <string>

#include "document/menu_entries.h"

namespace ov {

// Commands the root view hands to the application; others are ignored.
bool IsApplicationCommand(int32_t id);
// Choice menus number their items from one (ids from kFirstChoiceCommand).
std::string ChoiceItemText(int32_t index, const std::string& text);

}  // namespace ov
