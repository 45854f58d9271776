#include "document/serial_class.h"

namespace ov {

bool SerialClass::IsKindOf(const SerialClass& other) const {
  for (const SerialClass* walk = this; walk != nullptr; walk = walk->base) {
    if (walk == &other) return true;
  }
  return false;
}

void SerialClassRegistry::Register(const SerialClass& serial_class) {
  classes_.try_emplace(serial_class.name, &serial_class);
}

const SerialClass* SerialClassRegistry::FindByName(std::string_view name) const {
  const auto found = classes_.find(name);
  return found != classes_.end() ? found->second : nullptr;
}

}  // namespace ov
