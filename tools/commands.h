// The subcommands of the `orvane` program. Each returns the process exit
// code: 0 on success, 1 when the work failed.
// Thread: the program's main thread.
#pragma once

#include <ostream>
#include <string>

#include "tools/arguments.h"

namespace ov {

int RunInfoCommand(const std::string& library_path, std::ostream& out, std::ostream& err);

// Progress is redrawn in place when `err_is_terminal`.
int RunRenderCommand(const RenderCommandLine& command, std::ostream& out, std::ostream& err,
                     bool err_is_terminal);

}  // namespace ov
