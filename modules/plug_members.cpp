#include "modules/plug_members.h"

namespace ov {

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
