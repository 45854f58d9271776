#include "platform/x11_top_window.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "platform/x11_error_trap.h"
#include "platform/x11_io_guard.h"

namespace ov {

struct X11TopWindow::Connection {
  Display* display = nullptr;
  Atom delete_window = 0;
  // A lost connection closes the window rather than the program.
  std::unique_ptr<X11IoGuard> io_guard;
  ~Connection() {
    if (display != nullptr) XCloseDisplay(display);
  }
};

X11TopWindow::X11TopWindow(std::unique_ptr<Connection> connection) : x_(std::move(connection)) {}

std::unique_ptr<X11TopWindow> X11TopWindow::Create(int32_t width, int32_t height,
                                                   const std::string& title, std::string* error) {
  auto x = std::make_unique<Connection>();
  x->display = XOpenDisplay(nullptr);
  if (x->display == nullptr) {
    *error = "no X display (is DISPLAY set?)";
    return nullptr;
  }
  Display* display = x->display;
  x->io_guard = std::make_unique<X11IoGuard>(display);
  std::unique_ptr<X11TopWindow> window(new X11TopWindow(std::move(x)));
  window->width_ = std::clamp(width, 1, 32767);
  window->height_ = std::clamp(height, 1, 32767);
  const int screen = DefaultScreen(display);
  window->window_ = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                        static_cast<unsigned>(window->width_),
                                        static_cast<unsigned>(window->height_), 0,
                                        BlackPixel(display, screen), BlackPixel(display, screen));
  XStoreName(display, window->window_, title.c_str());
  // A window manager may not resize it: hosts give editors their own size.
  XSizeHints hints{};
  hints.flags = PMinSize | PMaxSize;
  hints.min_width = hints.max_width = window->width_;
  hints.min_height = hints.max_height = window->height_;
  XSetWMNormalHints(display, window->window_, &hints);
  window->x_->delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window->window_, &window->x_->delete_window, 1);
  XSelectInput(display, window->window_, StructureNotifyMask);
  XMapWindow(display, window->window_);
  // Editors are opened into a window that is already on screen.
  for (XEvent event;;) {
    XNextEvent(display, &event);
    if (event.type == MapNotify && event.xmap.window == window->window_) break;
  }
  return window;
}

X11TopWindow::~X11TopWindow() {
  if (open_) {
    X11ErrorTrap trap(x_->display);
    XDestroyWindow(x_->display, window_);
  }
}

bool X11TopWindow::Pump() {
  Display* display = x_->display;
  while (open_ && !x_->io_guard->Lost() && XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == ClientMessage &&
        static_cast<Atom>(event.xclient.data.l[0]) == x_->delete_window) {
      open_ = false;
    } else if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
      open_ = false;
      window_ = 0;
    } else if (keep_keys_ && (event.type == KeyPress || event.type == KeyRelease)) {
      // Unshifted, so that Shift or Caps Lock do not change which note a
      // key plays.
      const KeySym symbol = XLookupKeysym(&event.xkey, 0);
      constexpr std::size_t kMaxKept = 256;  // a window nobody asks stays small
      if (symbol != NoSymbol && keys_.size() < kMaxKept) {
        keys_.push_back({event.type == KeyPress, static_cast<unsigned long>(symbol)});
      }
    }
  }
  if (x_->io_guard->Lost()) open_ = false;
  if (!open_ && window_ != 0) {
    XDestroyWindow(display, window_);
    XFlush(display);
    window_ = 0;
  }
  return open_;
}

void X11TopWindow::KeepKeys() {
  if (!open_) return;
  keep_keys_ = true;
  // A held key then sends presses only, no release between them.
  XkbSetDetectableAutoRepeat(x_->display, True, nullptr);
  XSelectInput(x_->display, window_, StructureNotifyMask | KeyPressMask | KeyReleaseMask);
  // Keys go to the window under the pointer's frame unless it has the focus.
  X11ErrorTrap trap(x_->display);
  XSetInputFocus(x_->display, window_, RevertToParent, CurrentTime);
}

std::vector<X11TopWindow::Key> X11TopWindow::TakeKeys() {
  std::vector<Key> taken;
  taken.swap(keys_);
  return taken;
}

std::optional<PixelImage> X11TopWindow::Capture() {
  if (!open_) return std::nullopt;
  Display* display = x_->display;
  XSync(display, False);
  X11ErrorTrap trap(display);
  XImage* image = XGetImage(display, window_, 0, 0, static_cast<unsigned>(width_),
                            static_cast<unsigned>(height_), AllPlanes, ZPixmap);
  if (trap.Finish() != 0 || image == nullptr) return std::nullopt;
  PixelImage pixels(width_, height_);
  for (int32_t y = 0; y < height_; ++y) {
    for (int32_t x = 0; x < width_; ++x) {
      pixels.Row(y)[x] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    }
  }
  XDestroyImage(image);
  return pixels;
}

}  // namespace ov
