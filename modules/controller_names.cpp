#include "modules/controller_names.h"

#include <cstdio>

#include "modules/list_text.h"

namespace ov {
namespace {

std::array<std::string, 128> BuildControllerNames() {
  std::array<std::string, 128> names;
  for (int n = 0; n < 128; ++n) {
    char number[12];  // room for any int
    std::snprintf(number, sizeof number, "%3d", n);
    names[n] = number;
  }
  ListText(kControllerListText).ForEach([&names](const ListText::Item& item) {
    // "<none>" is -1; no item names a number past the table.
    if (item.value >= 0 && item.value < 128) names[item.value] = item.label;
    return true;
  });
  return names;
}

}  // namespace

const std::array<std::string, 128>& ControllerNames() {
  static const std::array<std::string, 128> names = BuildControllerNames();
  return names;
}

}  // namespace ov
