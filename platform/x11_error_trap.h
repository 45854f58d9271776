// Catches the X errors of calls that may meet a window destroyed behind our
// back (the host closing its window before the editor). Xlib's default
// handler ends the process, so a trap installs its own handler only for its
// lifetime, syncs the connection when it ends and puts the previous handler
// back: no handler of ours stays installed.
// Thread: editor; traps do not nest across threads.
#pragma once

#include <X11/Xlib.h>

namespace ov {

class X11ErrorTrap {
 public:
  explicit X11ErrorTrap(Display* display);
  ~X11ErrorTrap();
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

  // Syncs and answers the first error code caught on this display (0 none).
  int Finish();

 private:
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*);
  X11ErrorTrap* outer_;
  int error_ = 0;
  bool finished_ = false;
};

}  // namespace ov
