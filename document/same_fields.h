// Many stream classes store exactly what their base stores; only the class
// name in the stream differs. Each is declared as an alias of this template
// with its own SerialClass.
#pragma once

#include "document/persistent.h"

namespace ov {

template <const SerialClass& Class, class Base>
class SameFieldsAs : public Base {
 public:
  static constexpr const SerialClass& kClass = Class;
  const SerialClass& GetClass() const override { return Class; }
};

}  // namespace ov
