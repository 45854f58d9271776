#include "platform/x11_io_guard.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace ov {
namespace {

// The guarded displays and the handler ours replaced. Xlib hands its
// handler no context, so they are the process's.
struct Guards {
  std::mutex mutex;
  std::vector<Display*> displays;
  XIOErrorHandler previous = nullptr;
};

Guards& TheGuards() {
  static Guards guards;
  return guards;
}

int OnIoError(Display* display) {
  XIOErrorHandler previous = nullptr;
  {
    Guards& guards = TheGuards();
    std::lock_guard lock(guards.mutex);
    const bool ours =
        std::find(guards.displays.begin(), guards.displays.end(), display) != guards.displays.end();
    // Returning lets Xlib go on to the display's exit handler.
    if (ours) return 0;
    previous = guards.previous;
  }
  return previous != nullptr ? previous(display) : 0;
}

}  // namespace

X11IoGuard::X11IoGuard(Display* display) : display_(display) {
  Guards& guards = TheGuards();
  {
    std::lock_guard lock(guards.mutex);
    if (guards.displays.empty()) guards.previous = XSetIOErrorHandler(OnIoError);
    guards.displays.push_back(display_);
  }
  XSetIOErrorExitHandler(display_, OnLost, this);
}

X11IoGuard::~X11IoGuard() {
  Guards& guards = TheGuards();
  std::lock_guard lock(guards.mutex);
  const auto found = std::find(guards.displays.begin(), guards.displays.end(), display_);
  if (found != guards.displays.end()) guards.displays.erase(found);
  if (!guards.displays.empty()) return;
  // Someone else's handler installed after ours stays.
  const XIOErrorHandler current = XSetIOErrorHandler(guards.previous);
  if (current != OnIoError) XSetIOErrorHandler(current);
  guards.previous = nullptr;
}

void X11IoGuard::OnLost(Display*, void* guard) {
  static_cast<X11IoGuard*>(guard)->lost_.store(true);
}

}  // namespace ov
