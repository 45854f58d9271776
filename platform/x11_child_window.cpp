#include "platform/x11_child_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

#include <algorithm>

#include "platform/x11_error_trap.h"
#include "platform/x11_io_guard.h"
#include "platform/x11_keys.h"

namespace ov {
namespace {

constexpr long kEventMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | ExposureMask | FocusChangeMask |
                            KeyPressMask | KeyReleaseMask | StructureNotifyMask;
constexpr unsigned kPointerGrabMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

uint32_t FlagsOf(unsigned int state) {
  uint32_t flags = 0;
  if (state & Button1Mask) flags |= kFlagLeftButton;
  if (state & Button2Mask) flags |= kFlagMiddleButton;
  if (state & Button3Mask) flags |= kFlagRightButton;
  if (state & ShiftMask) flags |= kFlagShift;
  if (state & ControlMask) flags |= kFlagControl;
  if (state & Mod1Mask) flags |= kFlagAlt;
  return flags;
}

}  // namespace

struct X11ChildWindow::Connection {
  Display* display = nullptr;
  Visual* visual = nullptr;
  Colormap colormap = 0;
  Cursor cursor = 0;
  GC gc = nullptr;
  XImage* image = nullptr;
  std::size_t max_request_bytes = 0;
  // Destroyed after the display is closed, so that a close meeting a
  // broken connection does not end the process either.
  std::unique_ptr<X11IoGuard> io_guard;

  ~Connection() {
    if (display == nullptr) return;
    if (image != nullptr) {
      image->data = nullptr;  // the back buffer is not Xlib's to free
      XDestroyImage(image);
    }
    if (gc != nullptr) XFreeGC(display, gc);
    if (cursor != 0) XFreeCursor(display, cursor);
    if (colormap != 0) XFreeColormap(display, colormap);
    XCloseDisplay(display);
  }
};

std::unique_ptr<X11ChildWindow> X11ChildWindow::Create(unsigned long parent, int32_t width,
                                                       int32_t height, std::string* error) {
  Placement placement;
  placement.parent = parent;
  return Make(placement, width, height, error);
}

std::unique_ptr<WindowPort> X11ChildWindow::OpenPopup(PixelPoint screen_at, int32_t width,
                                                      int32_t height, bool grab,
                                                      std::string* error) {
  Placement placement;
  placement.at = screen_at;
  placement.grab = grab;
  return Make(placement, width, height, error);
}

PixelPoint X11ChildWindow::ScreenPoint(PixelPoint p) const {
  if (!Alive()) return p;
  X11ErrorTrap trap(x_->display);
  int x = 0;
  int y = 0;
  Window child = 0;
  XTranslateCoordinates(x_->display, window_, DefaultRootWindow(x_->display), p.x, p.y, &x, &y,
                        &child);
  if (trap.Finish() != 0) return p;
  return {x, y};
}

std::unique_ptr<X11ChildWindow> X11ChildWindow::Make(const Placement& placement, int32_t width,
                                                     int32_t height, std::string* error) {
  auto x = std::make_unique<Connection>();
  x->display = XOpenDisplay(nullptr);
  if (x->display == nullptr) {
    *error = "The editor cannot open: no X display (is DISPLAY set?).";
    return nullptr;
  }
  Display* display = x->display;
  x->io_guard = std::make_unique<X11IoGuard>(display);
  XVisualInfo info;
  const int screen = DefaultScreen(display);
  // Pixels are written as 0x00RRGGBB words: only that TrueColor layout works.
  if (!XMatchVisualInfo(display, screen, 24, TrueColor, &info) || info.red_mask != 0xFF0000 ||
      info.green_mask != 0xFF00 || info.blue_mask != 0xFF) {
    *error = "The editor cannot open: the X screen has no 24-bit TrueColor visual.";
    return nullptr;
  }
  x->visual = info.visual;
  width = std::clamp(width, 1, kLargestWindowSide);
  height = std::clamp(height, 1, kLargestWindowSide);
  std::unique_ptr<X11ChildWindow> window(new X11ChildWindow(std::move(x), width, height));
  Connection& c = *window->x_;
  {
    X11ErrorTrap trap(display);
    // The colormap is made for the screen, so a missing parent cannot spoil it.
    c.colormap = XCreateColormap(display, RootWindow(display, screen), c.visual, AllocNone);
    c.cursor = XCreateFontCursor(display, XC_left_ptr);
    XSetWindowAttributes attributes{};
    attributes.colormap = c.colormap;
    attributes.border_pixel = 0;
    attributes.background_pixmap = None;
    attributes.event_mask = kEventMask;
    attributes.cursor = c.cursor;
    // Popups are placed by us, never by a window manager.
    const bool popup = placement.parent == 0;
    attributes.override_redirect = popup ? True : False;
    attributes.save_under = popup ? True : False;
    const Window parent = popup ? RootWindow(display, screen) : placement.parent;
    window->window_ = XCreateWindow(display, parent, placement.at.x, placement.at.y,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                    24, InputOutput, c.visual,
                                    CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask |
                                        CWCursor | CWOverrideRedirect | CWSaveUnder,
                                    &attributes);
    if (trap.Finish() != 0) {
      *error = "The editor cannot open: the host's window does not exist.";
      window->alive_ = false;
      window->window_ = 0;
      return nullptr;
    }
    XMapRaised(display, window->window_);
    c.gc = XCreateGC(display, window->window_, 0, nullptr);
  }
  if (placement.grab) {
    // A grab needs the window viewable: wait for it to be mapped.
    XSync(display, False);
    XGrabPointer(display, window->window_, True, kPointerGrabMask, GrabModeAsync, GrabModeAsync,
                 None, None, CurrentTime);
    XGrabKeyboard(display, window->window_, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  }
  PixelImage& buffer = window->BackBuffer();
  c.image = XCreateImage(display, c.visual, 24, ZPixmap, 0,
                         reinterpret_cast<char*>(buffer.Pixels().data()),
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                         width * 4);
  if (c.image == nullptr) {
    *error = "The editor cannot open: no image of the window's size could be made.";
    return nullptr;
  }
  const long max_request = XExtendedMaxRequestSize(display) > 0 ? XExtendedMaxRequestSize(display)
                                                                : XMaxRequestSize(display);
  c.max_request_bytes = static_cast<std::size_t>(max_request) * 4;
  XFlush(display);
  return window;
}

X11ChildWindow::X11ChildWindow(std::unique_ptr<Connection> connection, int32_t width,
                               int32_t height)
    : WindowPort(width, height), x_(std::move(connection)) {}

X11ChildWindow::~X11ChildWindow() {
  // After the window was destroyed from outside it is not touched again; a
  // parent destroyed without our hearing of it yet is caught by the trap.
  if (Alive() && window_ != 0) {
    X11ErrorTrap trap(x_->display);
    XDestroyWindow(x_->display, window_);
  }
}

bool X11ChildWindow::Alive() const { return alive_ && !x_->io_guard->Lost(); }

bool X11ChildWindow::ConnectionLost() const { return x_->io_guard->Lost(); }

bool X11ChildWindow::CheckAlive() {
  XEvent event;
  if (Alive() && XCheckTypedWindowEvent(x_->display, window_, DestroyNotify, &event)) {
    alive_ = false;
  }
  return Alive();
}

void X11ChildWindow::Present(const PixelRect& area) {
  if (!Alive()) return;
  const PixelRect r = Intersect(area, BackBuffer().Bounds());
  if (r.Empty()) return;
  // Room for the request's own header besides the pixels.
  const std::size_t row_bytes = static_cast<std::size_t>(r.Width()) * 4;
  const int32_t band = static_cast<int32_t>(
      std::max<std::size_t>(1, (x_->max_request_bytes - 256) / row_bytes));
  X11ErrorTrap trap(x_->display);
  for (int32_t top = r.top; top < r.bottom; top += band) {
    const int32_t rows = std::min(band, r.bottom - top);
    XPutImage(x_->display, window_, x_->gc, x_->image, r.left, top, r.left, top,
              static_cast<unsigned>(r.Width()), static_cast<unsigned>(rows));
  }
  if (trap.Finish() != 0) alive_ = false;
}

void X11ChildWindow::TakeFocus() {
  if (!Alive() || !viewable_) return;
  X11ErrorTrap trap(x_->display);
  XSetInputFocus(x_->display, window_, RevertToParent, CurrentTime);
}

bool X11ChildWindow::NextEvent(WindowEvent* out) {
  if (pending_character_) {
    *out = *pending_character_;
    pending_character_.reset();
    return true;
  }
  Display* display = x_->display;
  while (Alive() && XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.xany.window != window_) continue;
    WindowEvent e;
    switch (event.type) {
      case ButtonPress:
      case ButtonRelease: {
        const unsigned button = event.xbutton.button;
        e.x = event.xbutton.x;
        e.y = event.xbutton.y;
        e.flags = FlagsOf(event.xbutton.state);
        if (button == Button4 || button == Button5) {
          if (event.type == ButtonRelease) continue;
          e.kind = WindowEventKind::kWheel;
          e.delta = button == Button4 ? -120 : 120;
        } else {
          e.kind = event.type == ButtonPress ? WindowEventKind::kPress : WindowEventKind::kRelease;
          e.button = static_cast<int32_t>(button);
        }
        break;
      }
      case MotionNotify:
        e.kind = WindowEventKind::kMotion;
        e.x = event.xmotion.x;
        e.y = event.xmotion.y;
        e.flags = FlagsOf(event.xmotion.state);
        break;
      case KeyPress:
      case KeyRelease: {
        char text[8] = {};
        KeySym keysym = 0;
        const int length = XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr);
        e.kind = event.type == KeyPress ? WindowEventKind::kKeyDown : WindowEventKind::kKeyUp;
        e.key = VirtualKeyFromKeysym(keysym);
        e.flags = FlagsOf(event.xkey.state);
        // A press that makes a character also sends it, as a translated
        // key message does; Shift+Tab arrives as ISO_Left_Tab with no text.
        if (event.type == KeyPress) {
          int32_t character = length == 1 ? static_cast<unsigned char>(text[0]) : 0;
          if (keysym == XK_ISO_Left_Tab) character = '\t';
          if (character != 0) {
            *out = e;
            WindowEvent c = e;
            c.kind = WindowEventKind::kCharacter;
            c.key = character == '\n' ? '\r' : character;
            pending_character_ = c;
            return true;
          }
        }
        if (e.key == 0) continue;
        break;
      }
      case FocusOut:
        e.kind = WindowEventKind::kFocusOut;
        break;
      case LeaveNotify:
        // Grabs and their release cross windows too; only real leaves count.
        if (event.xcrossing.mode != NotifyNormal) continue;
        e.kind = WindowEventKind::kLeave;
        break;
      case Expose:
        e.kind = WindowEventKind::kExpose;
        e.area = {event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                  event.xexpose.y + event.xexpose.height};
        break;
      case MapNotify:
        viewable_ = true;
        continue;
      case UnmapNotify:
        viewable_ = false;
        continue;
      case DestroyNotify:
        alive_ = false;
        e.kind = WindowEventKind::kDestroyed;
        break;
      default:
        continue;
    }
    *out = e;
    return true;
  }
  return false;
}

}  // namespace ov
