// The concise form's "sequence" of a sequencer module: tempo, current
// pattern, mode, song list and patterns written as text people read - notes
// by name with rests, slides and velocities, drum rows by their short names.
//
// Threads: one compile, one thread.
#pragma once

#include <functional>
#include <string>

#include "document/text_writer.h"

namespace ov {

class CPattSeq;

// Reports a fault at a JSON path and does not return.
using SequenceFailure = std::function<void(const std::string& path, const std::string& text)>;

// Applies `sequence` (found at `path`) to the module; every fault goes to
// `fail`.
void ReadSequence(const Json& sequence, const std::string& path, CPattSeq& module,
                  const SequenceFailure& fail);

}  // namespace ov
