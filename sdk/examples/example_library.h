/* What the two sources of example_modules.ovm share: the modules' indexes
 * and the maker of their panel parts. */
#ifndef EXAMPLE_LIBRARY_H
#define EXAMPLE_LIBRARY_H

#include "sdk/orvane_module.h"

enum { kGainIndex = 0, kMidiTextIndex = 1, kModuleCount = 2 };

/* makeModule's answer for OV_MAKE_PANEL: the panel part of module `index`,
 * or NULL. */
OvPanel* MakeExamplePanel(int32_t index, OvHostCallback callback, void* hostHandle);

#endif
