// `orvane dump` and `orvane compile`: project streams to JSON and back.
// Each returns the process exit code: 0 on success, 1 when the work failed.
// Thread: the program's main thread.
#pragma once

#include <ostream>

#include "tools/arguments.h"

namespace ov {

// Prints every object and field of a project stream, or of the project baked
// into a plug-in library.
int RunDumpCommand(const ProjectCommandLine& command, std::ostream& out, std::ostream& err);

// Writes the project stream that a JSON project describes.
int RunCompileCommand(const ProjectCommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace ov
