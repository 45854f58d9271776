#include "modules/static_plug_table.h"

#include "modules/string_resources.h"
#include "platform/text.h"

namespace ov {

std::string PlugText::ToUtf8() const {
  if (text_ == nullptr) return StringResource(resource_);
  const std::u16string_view units(text_);
  return Utf16ToUtf8(reinterpret_cast<const uint16_t*>(units.data()), units.size());
}

namespace {

void Append(const StaticPlugEntry& entry, std::vector<InterfaceObject>& descriptors) {
  descriptors.emplace_back(nullptr, entry.direction, "", entry.name.ToUtf8(),
                           entry.default_text.ToUtf8(), entry.list_text.ToUtf8(), entry.flags,
                           entry.datatype, nullptr);
}

}  // namespace

void AppendStaticPlugs(StaticPlugTable table, std::vector<InterfaceObject>& descriptors) {
  for (const StaticPlugEntry& entry : table) Append(entry, descriptors);
}

void AppendStaticEnginePlugs(StaticPlugTable table, std::vector<InterfaceObject>& descriptors) {
  for (const StaticPlugEntry& entry : table) {
    const bool panel_side = (entry.flags & kPlugPanelSide) != 0;
    const bool patch_stored = (entry.flags & kPlugPatchStored) != 0;
    if (!panel_side || patch_stored) Append(entry, descriptors);
  }
}

}  // namespace ov
