// Finding a generator's plugs by the members they are bound to.
//
// Threads: any thread that may read the generator's plugs.
#pragma once

#include "engine/ug_base.h"

namespace ov {

// The plug bound to `member` (an audio buffer member), or null.
UPlug* PlugOf(const ug_base& generator, float* const* member);
// Whether the input bound to `member` streams (its state is run).
bool Streams(const ug_base& generator, float* const* member);

}  // namespace ov
