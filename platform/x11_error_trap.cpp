#include "platform/x11_error_trap.h"

namespace ov {
namespace {

// Xlib hands its handler no context: the innermost trap of this thread
// takes the error.
thread_local X11ErrorTrap* g_trap = nullptr;
thread_local Display* g_trap_display = nullptr;
thread_local int* g_trap_error = nullptr;

int RecordError(Display* display, XErrorEvent* event) {
  if (g_trap_error != nullptr && display == g_trap_display && *g_trap_error == 0) {
    *g_trap_error = event->error_code;
  }
  return 0;
}

}  // namespace

X11ErrorTrap::X11ErrorTrap(Display* display)
    : display_(display), previous_(nullptr), outer_(g_trap) {
  XSync(display_, False);
  previous_ = XSetErrorHandler(RecordError);
  g_trap = this;
  g_trap_display = display_;
  g_trap_error = &error_;
}

int X11ErrorTrap::Finish() {
  if (!finished_) {
    XSync(display_, False);
    finished_ = true;
  }
  return error_;
}

X11ErrorTrap::~X11ErrorTrap() {
  Finish();
  XSetErrorHandler(previous_);
  g_trap = outer_;
  g_trap_display = outer_ != nullptr ? outer_->display_ : nullptr;
  g_trap_error = outer_ != nullptr ? &outer_->error_ : nullptr;
}

}  // namespace ov
