// Running another program (Graphviz's `dot`, dpkg) and waiting for it.
// Thread: any thread that may block.
#pragma once

#include <string>
#include <vector>

namespace ov {

struct ProgramOutcome {
  bool started = false;  // false: the program could not be run; `failure` says why
  int exit_code = -1;    // when it exited; -1 after a signal
  std::string failure;
};

// Runs `arguments[0]` (looked up on PATH) with the rest as its arguments,
// standard input empty and its output going where ours goes.
ProgramOutcome RunProgram(const std::vector<std::string>& arguments);

}  // namespace ov
