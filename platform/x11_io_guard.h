// Keeps a lost X connection from ending the process. Xlib meets a broken
// connection with two handlers in turn: the process-wide I/O error handler,
// whose default exits, and then the display's own exit handler, whose
// default exits too. While any guard lives, a process-wide handler of ours
// is installed that returns for guarded displays and hands every other
// display to the handler that was installed before it; each guard's display
// gets an exit handler that only marks the guard lost. Xlib then answers
// every later call on that display with nothing, so it may still be closed.
// The last guard to go puts the earlier handler back (when ours is still the
// one installed), so no handler of ours outlives the library's use of X.
//
// Thread: any; a guard's display is used by one thread, whose Xlib calls
// may run the handlers.
#pragma once

#include <X11/Xlib.h>

#include <atomic>

namespace ov {

class X11IoGuard {
 public:
  explicit X11IoGuard(Display* display);
  ~X11IoGuard();
  X11IoGuard(const X11IoGuard&) = delete;
  X11IoGuard& operator=(const X11IoGuard&) = delete;

  // True once Xlib found the connection broken.
  bool Lost() const { return lost_.load(); }

 private:
  static void OnLost(Display* display, void* guard);

  Display* display_;
  std::atomic<bool> lost_{false};
};

}  // namespace ov
