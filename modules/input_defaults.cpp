#include "modules/input_defaults.h"

#include "platform/text.h"

namespace ov {

void InputDefaults::Bind(ug_base& generator, int32_t cell_size) {
  std::vector<InterfaceObject> descriptors;
  generator.ListPlugs(descriptors);
  for (const InterfaceObject& descriptor : descriptors) {
    if (descriptor.direction != DR_IN || descriptor.datatype != DT_FSAMPLE) continue;
    float** member = descriptor.buffer_member;
    if (member == nullptr || *member != nullptr) continue;
    auto& block = blocks_.emplace_back(std::make_unique<USampBlock>(cell_size));
    block->Fill(static_cast<float>(ParseDouble(descriptor.default_text).value_or(0.0) * 0.1));
    *member = block->Data();
  }
}

UPlug* PlugOf(const ug_base& generator, float* const* member) {
  for (int32_t i = 0; i < generator.PlugCount(); ++i) {
    UPlug* plug = generator.plug(i);
    if (plug->BufferMember() == member) return plug;
  }
  return nullptr;
}

bool Streams(const ug_base& generator, float* const* member) {
  const UPlug* plug = PlugOf(generator, member);
  return plug != nullptr && plug->State() == ST_RUN;
}

}  // namespace ov
