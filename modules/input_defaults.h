// Helpers the signal modules share for their audio inputs.
//
// The graph builder gives every audio input a source; a generator made by
// hand (tests, benchmarks) or from an old document may still have an input
// without one, or lack a plug altogether. InputDefaults points each such
// input's buffer member at a constant block holding the plug's default value,
// so process functions never meet a null buffer.
//
// Threads: Bind on the editor thread (at open; it allocates); the blocks are
// read on the audio thread.
#pragma once

#include <memory>
#include <vector>

#include "engine/sample_block.h"
#include "engine/ug_base.h"

namespace ov {

class InputDefaults {
 public:
  // Call after ug_base::Open(). Every audio input descriptor of `generator`
  // whose buffer member is still null gets a block of `cell_size` samples
  // filled with its default (volts x 0.1).
  void Bind(ug_base& generator, int32_t cell_size);

 private:
  std::vector<std::unique_ptr<USampBlock>> blocks_;
};

// The plug bound to `member` (an audio buffer member), or null.
UPlug* PlugOf(const ug_base& generator, float* const* member);
// Whether the input bound to `member` streams (its state is run).
bool Streams(const ug_base& generator, float* const* member);

}  // namespace ov
