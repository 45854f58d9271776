// The modules through which the host's audio and MIDI meet the project: a
// "VST Input" and a "VST Output" added beside the main container and wired
// to its audio and MIDI plugs. Host channel i is the main container's i-th
// visible audio plug of that direction.
//
// Threads: editor thread, before the first engine start.
#pragma once

namespace ov {

class CContainer;

// False, changing nothing, when a module type is missing from the registry.
bool WireHostModules(CContainer& root, CContainer& main);

}  // namespace ov
