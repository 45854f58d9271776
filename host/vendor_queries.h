// Questions a host may ask an Orvane plug-in through the vendor-specific
// dispatcher call, which other plug-ins answer with 0: index kOrvaneQuery,
// value the question, ptr where the answer goes. A plug-in that answers
// returns 1.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ov {

constexpr int32_t kOrvaneQuery = 0x4F76516E;  // "OvQn"

// How many voices sounded at the end of the last process call, summed over
// every container that plays notes: written to an int32_t.
constexpr intptr_t kQuerySoundingVoices = 0x566F6963;  // "Voic"

// Why no engine plays: the reason the last resume could not build or start
// it, or that it stopped after an error; empty while it plays and before the
// first resume. Written as terminated text into kQueryTextBytes bytes.
constexpr intptr_t kQueryEngineProblem = 0x456E6750;  // "EngP"
constexpr std::size_t kQueryTextBytes = 1024;

// Not a question: MIDI from a MIDI input of the host's own platform (a
// standalone host's port) for the project's "MIDI In" modules, ptr a
// VstEvents record as for effProcessEvents, valid until the next process
// call, which plays it. Sent from the audio thread just before that call;
// never waits.
constexpr intptr_t kQueryPlatformMidi = 0x504D6964;  // "PMid"

}  // namespace ov
