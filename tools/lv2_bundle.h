// `orvane bake PROJECT --lv2 -o NAME.lv2`: an LV2 bundle of a project, the
// wrapper library with the project inside and the Turtle files that
// describe its ports and presets.
// Thread: the program's main thread.
#pragma once

#include <ostream>

#include "tools/arguments.h"

namespace ov {

int RunBakeLv2Command(const BakeCommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace ov
