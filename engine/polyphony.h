// How a note source's reach is found in the graph: which generators depend
// on it, which must differ per voice, and which drum voice group each
// generator plays in. Every walk keeps its own work list, so a chain of any
// length is safe.
//
// Threads: editor thread, while the engine is built.
#pragma once

#include <cstdint>

namespace ov {

class ug_base;
class ug_container;

// Gives the downstream mark to the note source and everything it feeds,
// stopping at generators that stop marking; the inputs reached are marked.
void MarkDownstream(ug_base& note_source);
// From a generator whose result depends on the voice: the upstream mark to
// it and to every downstream-marked generator that feeds it.
void MarkUpstream(ug_base& generator);

// Spreads a drum voice group from `start`: to it and on along outputs (to
// generators in `within`) or along non-MIDI inputs. A generator already in
// another group becomes mixed (0); group 0 and generators that stop marking
// end the spread.
void SpreadGroupDownstream(ug_base& start, int32_t group, const ug_container* within);
void SpreadGroupUpstream(ug_base& start, int32_t group);

}  // namespace ov
