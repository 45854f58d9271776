#include "modules/plug_table.h"

#include <stdexcept>

namespace ov {

void AppendPlugs(PlugTable table, std::vector<InterfaceObject>& descriptors) {
  for (const PlugSpec& row : table) {
    descriptors.emplace_back(nullptr, row.direction, row.hint, row.name, row.default_text,
                             row.list_text, row.flags, row.datatype, nullptr);
  }
}

void AppendPlugs(PlugTable table, std::span<const PlugMember> members,
                 std::vector<InterfaceObject>& descriptors) {
  if (members.size() > table.size()) throw std::logic_error("more plug members than plugs");
  for (std::size_t i = 0; i < table.size(); ++i) {
    const PlugSpec& row = table[i];
    const PlugMember member = i < members.size() ? members[i] : PlugMember{};
    descriptors.emplace_back(member.buffer(), row.direction, row.hint, row.name, row.default_text,
                             row.list_text, row.flags, row.datatype, member.value());
  }
}

void AppendPlugs(PlugTable table, std::initializer_list<PlugMember> members,
                 std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(table, std::span<const PlugMember>(members.begin(), members.size()), descriptors);
}

}  // namespace ov
