// Running a piece of work in a child process, a copy of this one, so that a
// crash or a hang there ends only the child: `orvane validate` runs each
// check of a foreign plug-in so.
// Thread: the program's main thread, with no other threads running (the
// child is forked).
#pragma once

#include <functional>
#include <string>

namespace ov {

struct ChildOutcome {
  bool finished = false;  // the work returned; `report` is what it returned
  std::string report;
  std::string failure;  // otherwise how the child ended, e.g. "crashed (Segmentation fault)"
};

// The child's standard output goes to standard error, so that whatever the
// work prints stays apart from the parent's output. A child still running
// after `timeout_seconds` is stopped.
ChildOutcome RunInChild(const std::function<std::string()>& work, unsigned timeout_seconds);

}  // namespace ov
