// A meter generator whose displayed value a test or benchmark sets, each
// under a handle of its own as the engine registers them, so that its
// refresh requests reach only its own module.
#pragma once

#include <cstdint>

#include "modules/meters.h"

namespace ov::testing {

inline uint32_t NextMeterHandle() {
  static uint32_t next = 1000;
  return next++;
}

template <class Meter>
class ShownMeter final : public Meter {
 public:
  ShownMeter() { this->AdoptTargetId(NextMeterHandle()); }
  void Show(float value) { this->SetDisplayed(value); }
};

}  // namespace ov::testing
