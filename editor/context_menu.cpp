#include "editor/context_menu.h"

namespace ov {

bool IsApplicationCommand(int32_t id) {
  // 34926: a hosted plug-in's "Automation...", which the editor opens.
  return (id >= 34909 && id <= 34912) || (id >= 34915 && id <= 34924) || id == 34926 ||
         (id >= kFirstChoiceCommand && id <= kLastChoiceCommand);
}

std::string ChoiceItemText(int32_t index, const std::string& text) {
  return std::to_string(index + 1) + ":" + text;
}

}  // namespace ov
