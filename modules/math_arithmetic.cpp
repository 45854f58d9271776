#include "modules/math_arithmetic.h"

#include <algorithm>

#include "modules/descriptors/plug_tables.h"

namespace ov {

PlugTable SubtractOp::Plugs() { return kMathSubPlugs; }
PlugTable MultiplyOp::Plugs() { return kMathMultPlugs; }
PlugTable DivideOp::Plugs() { return kMathDivPlugs; }
PlugTable RingModulatorOp::Plugs() { return kMultiplierPlugs; }
PlugTable QuantiseOp::Plugs() { return kQuantiserPlugs; }

void ug_math_base::Open() {
  SelectBoth();
  ug_base::Open();
}

bool ug_math_base::HasVoiceDependentInput() const {
  const auto reached = [this](int32_t number) {
    return (plug(number)->Flags() & kPlugFlagVoiceReached) != 0;
  };
  return reached(kInputA) && reached(kInputB);
}

void ug_math_base::OnStatusChange(uint32_t time, connector*, int32_t) {
  const UPlug& a = *plug(kInputA);
  const UPlug& b = *plug(kInputB);
  int32_t out = std::max(a.State(), b.State());
  if (zero_makes_static_) {
    if (a.State() != ST_RUN && a.ValueAtClock() == 0.0f) out = ST_STATIC;
    if (b.State() != ST_RUN && b.ValueAtClock() == 0.0f) out = ST_STATIC;
  }
  if (out == ST_RUN) {
    if (a.State() != ST_RUN) {
      SelectAOnce();
    } else if (b.State() != ST_RUN) {
      SelectBOnce();
    } else {
      SelectBoth();
    }
  } else {
    SelectBOnce();
    EnterStatic();
  }
  plug(kOutput)->Transmit(time, out);
}

}  // namespace ov
