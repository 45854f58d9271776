// X key symbols to the virtual-key numbers of window_port.h.
// Thread: any.
#pragma once

#include <cstdint>

namespace ov {

// 0 for keys the panel has no use for.
int32_t VirtualKeyFromKeysym(unsigned long keysym);

}  // namespace ov
