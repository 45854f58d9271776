#include "modules/plug_table.h"

namespace ov {

void AppendPlugs(PlugTable table, std::vector<InterfaceObject>& descriptors) {
  for (const PlugSpec& row : table) {
    descriptors.emplace_back(nullptr, row.direction, row.hint, row.name, row.default_text,
                             row.list_text, row.flags, row.datatype, nullptr);
  }
}

}  // namespace ov
