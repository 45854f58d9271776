#include "platform/x11_child_window.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "platform/x11_error_trap.h"
#include "platform/x11_io_guard.h"
#include "platform/x11_keys.h"

namespace ov {
namespace {

constexpr long kEventMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | ExposureMask | FocusChangeMask |
                            StructureNotifyMask;
// The editor's window asks for keys only while something on it types: the
// others then go on to the host's window, as if the editor were not there,
// also while the pointer is over it.
constexpr long kKeyMask = KeyPressMask | KeyReleaseMask;
constexpr unsigned kPointerGrabMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
// Events made but not yet taken by their window; beyond this the oldest go.
constexpr std::size_t kMaxQueuedEvents = 4096;
// A grab another client still holds (a host's menu closing) is usually let
// go within a few milliseconds.
constexpr int kGrabAttempts = 10;
constexpr auto kGrabRetryPause = std::chrono::milliseconds(5);

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

uint32_t ButtonFlag(unsigned button) {
  switch (button) {
    case Button1:
      return kFlagLeftButton;
    case Button2:
      return kFlagMiddleButton;
    case Button3:
      return kFlagRightButton;
    default:
      return 0;
  }
}

// The character of a key symbol when no input method gives text: Latin-1
// symbols are their code points, and symbols in the Unicode range carry one.
char32_t CharacterOfKeysym(KeySym keysym) {
  if (keysym >= 0x20 && keysym <= 0xFF) return static_cast<char32_t>(keysym);
  if ((keysym & 0xFF000000) == 0x01000000) return static_cast<char32_t>(keysym & 0xFFFFFF);
  return 0;
}

}  // namespace

struct X11ChildWindow::Connection {
  Display* display = nullptr;
  Visual* visual = nullptr;
  Colormap colormap = 0;
  Cursor cursor = 0;
  XIM input_method = nullptr;
  bool detectable_repeat = false;
  std::size_t max_request_bytes = 0;
  std::vector<X11ChildWindow*> owners;  // ours, alive
  // Native children's windows, each with the mark cleared when the server
  // reports it destroyed.
  struct Watched {
    Window window;
    bool* alive;
  };
  std::vector<Watched> watched;
  // Destroyed after the display is closed, so that a close meeting a
  // broken connection does not end the process either.
  std::unique_ptr<X11IoGuard> io_guard;

  ~Connection() {
    if (display == nullptr) return;
    if (input_method != nullptr) XCloseIM(input_method);
    if (cursor != 0) XFreeCursor(display, cursor);
    if (colormap != 0) XFreeColormap(display, colormap);
    XCloseDisplay(display);
  }

  // Reads every waiting event and hands it to its window, in the order they
  // came: a key is looked up with the key map of its moment (programs that
  // type change the map around each key). The input method takes the keys
  // of a compose sequence; events of windows gone are dropped.
  void Pump() {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (XFilterEvent(&event, None)) continue;
      if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        continue;
      }
      for (X11ChildWindow* owner : owners) {
        if (owner->window_ == event.xany.window) owner->Receive(&event);
      }
      if (event.type == DestroyNotify) NoteDestroyed(event.xdestroywindow.window);
    }
  }

  void NoteDestroyed(Window window) {
    for (const Watched& w : watched) {
      if (w.window == window) *w.alive = false;
    }
  }
};

struct X11ChildWindow::Parts {
  Display* display = nullptr;
  GC gc = nullptr;
  XImage* image = nullptr;
  XIC input_context = nullptr;
  long filter_mask = 0;  // the events the input method wants besides ours
  // Keys held down, and how often each has repeated.
  std::array<uint16_t, 256> repeats{};
  std::array<bool, 256> held{};
  // Events made and not yet taken, with the X key event each key came as.
  struct Queued {
    WindowEvent event;
    XKeyEvent key;
  };
  std::deque<Queued> queue;
  XKeyEvent last_key{};

  ~Parts() {
    if (input_context != nullptr) XDestroyIC(input_context);
    if (image != nullptr) {
      image->data = nullptr;  // the back buffer is not Xlib's to free
      XDestroyImage(image);
    }
    if (gc != nullptr) XFreeGC(display, gc);
  }
};

class X11ChildWindow::NativeChild final : public NativeChildWindow {
 public:
  NativeChild(std::shared_ptr<Connection> connection, int32_t width, int32_t height)
      : x_(std::move(connection)), width_(width), height_(height) {}
  ~NativeChild() override;
  // Makes both windows inside `parent`; false when the server refused.
  bool Make(Window parent);

  uintptr_t NativeHandle() const override { return inner_; }
  void Place(const PixelRect& frame, const PixelRect& visible) override;
  void Show(bool shown) override;
  bool Alive() override;

 private:
  // Maps or unmaps the clipping window as shown and placed.
  void Apply();

  std::shared_ptr<Connection> x_;
  int32_t width_;
  int32_t height_;
  Window clip_ = 0;
  Window inner_ = 0;
  bool clip_alive_ = true;
  bool inner_alive_ = true;
  bool shown_ = false;
  bool mapped_ = false;
  PixelRect frame_;
  PixelRect visible_;
};

bool X11ChildWindow::NativeChild::Make(Window parent) {
  Connection& c = *x_;
  X11ErrorTrap trap(c.display);
  XSetWindowAttributes attributes{};
  attributes.colormap = c.colormap;
  attributes.border_pixel = 0;
  attributes.background_pixel = 0;
  attributes.event_mask = StructureNotifyMask;
  const unsigned long mask = CWColormap | CWBorderPixel | CWBackPixel | CWEventMask;
  const auto w = static_cast<unsigned>(width_);
  const auto h = static_cast<unsigned>(height_);
  clip_ = XCreateWindow(c.display, parent, 0, 0, w, h, 0, 24, InputOutput, c.visual, mask,
                        &attributes);
  inner_ = XCreateWindow(c.display, clip_, 0, 0, w, h, 0, 24, InputOutput, c.visual, mask,
                         &attributes);
  XMapWindow(c.display, inner_);
  c.watched.push_back({clip_, &clip_alive_});
  c.watched.push_back({inner_, &inner_alive_});
  // Synced: the other code makes its windows inside on a connection of its
  // own, where ours must exist already.
  return trap.Finish() == 0;
}

X11ChildWindow::NativeChild::~NativeChild() {
  Connection& c = *x_;
  std::erase_if(c.watched, [this](const Connection::Watched& w) {
    return w.alive == &clip_alive_ || w.alive == &inner_alive_;
  });
  if (!Alive() || clip_ == 0) return;
  X11ErrorTrap trap(c.display);
  XDestroyWindow(c.display, clip_);
  XFlush(c.display);
}

bool X11ChildWindow::NativeChild::Alive() {
  Connection& c = *x_;
  if (c.io_guard->Lost()) return false;
  XEvent event;
  for (Window window : {clip_, inner_}) {
    if (clip_alive_ && inner_alive_ &&
        XCheckTypedWindowEvent(c.display, window, DestroyNotify, &event)) {
      c.NoteDestroyed(window);
    }
  }
  return clip_alive_ && inner_alive_;
}

void X11ChildWindow::NativeChild::Place(const PixelRect& frame, const PixelRect& visible) {
  const PixelRect shown = Intersect(frame, visible);
  if (frame == frame_ && shown == visible_) return;
  frame_ = frame;
  visible_ = shown;
  if (!Alive()) return;
  if (!visible_.Empty()) {
    X11ErrorTrap trap(x_->display);
    XMoveResizeWindow(x_->display, clip_, visible_.left, visible_.top,
                      static_cast<unsigned>(visible_.Width()),
                      static_cast<unsigned>(visible_.Height()));
    // The other code may have asked for another size since it opened.
    XMoveResizeWindow(x_->display, inner_, frame_.left - visible_.left, frame_.top - visible_.top,
                      static_cast<unsigned>(std::clamp(frame_.Width(), 1, kLargestWindowSide)),
                      static_cast<unsigned>(std::clamp(frame_.Height(), 1, kLargestWindowSide)));
  }
  Apply();
}

void X11ChildWindow::NativeChild::Show(bool shown) {
  if (shown == shown_) return;
  shown_ = shown;
  Apply();
}

void X11ChildWindow::NativeChild::Apply() {
  if (!Alive()) return;
  const bool map = shown_ && !visible_.Empty();
  X11ErrorTrap trap(x_->display);
  if (map != mapped_) {
    if (map) {
      XMapRaised(x_->display, clip_);
    } else {
      XUnmapWindow(x_->display, clip_);
    }
    mapped_ = map;
  }
  XFlush(x_->display);
}

std::unique_ptr<NativeChildWindow> X11ChildWindow::OpenNativeChild(int32_t width, int32_t height,
                                                                   std::string* error) {
  if (!Alive()) {
    *error = "The plug-in's editor cannot open: the editor's window is gone.";
    return nullptr;
  }
  auto child = std::make_unique<NativeChild>(x_, std::clamp(width, 1, kLargestWindowSide),
                                             std::clamp(height, 1, kLargestWindowSide));
  if (!child->Make(window_)) {
    *error = "The plug-in's editor cannot open: its window could not be made.";
    return nullptr;
  }
  return child;
}

std::unique_ptr<X11ChildWindow> X11ChildWindow::Create(unsigned long parent, int32_t width,
                                                       int32_t height, std::string* error,
                                                       PixelPoint at) {
  auto x = std::make_shared<Connection>();
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
  x->colormap = XCreateColormap(display, RootWindow(display, screen), x->visual, AllocNone);
  x->cursor = XCreateFontCursor(display, XC_left_ptr);
  // Held keys then repeat as presses alone: a release means the key is up.
  Bool supported = False;
  x->detectable_repeat = XkbSetDetectableAutoRepeat(display, True, &supported) && supported;
  // Without an input method of the locale, keys still type what their
  // symbols say.
  if (XSupportsLocale()) x->input_method = XOpenIM(display, nullptr, nullptr, nullptr);
  const long max_request = XExtendedMaxRequestSize(display) > 0 ? XExtendedMaxRequestSize(display)
                                                                : XMaxRequestSize(display);
  x->max_request_bytes = static_cast<std::size_t>(max_request) * 4;
  Placement placement;
  placement.parent = parent;
  placement.at = at;
  return Make(std::move(x), placement, width, height, error);
}

std::unique_ptr<WindowPort> X11ChildWindow::OpenPopup(PixelPoint screen_at, int32_t width,
                                                      int32_t height, bool grab,
                                                      std::string* error) {
  if (!Alive()) {
    *error = "The popup cannot open: the editor's window is gone.";
    return nullptr;
  }
  Placement placement;
  placement.at = screen_at;
  placement.grab = grab;
  return Make(x_, placement, width, height, error);
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

PixelRect X11ChildWindow::ScreenArea() const {
  const int screen = DefaultScreen(x_->display);
  return {0, 0, DisplayWidth(x_->display, screen), DisplayHeight(x_->display, screen)};
}

std::unique_ptr<X11ChildWindow> X11ChildWindow::Make(std::shared_ptr<Connection> connection,
                                                     const Placement& placement, int32_t width,
                                                     int32_t height, std::string* error) {
  Connection& c = *connection;
  Display* display = c.display;
  const int screen = DefaultScreen(display);
  width = std::clamp(width, 1, kLargestWindowSide);
  height = std::clamp(height, 1, kLargestWindowSide);
  std::unique_ptr<X11ChildWindow> window(new X11ChildWindow(std::move(connection), width, height));
  window->parts_ = std::make_unique<Parts>();
  Parts& parts = *window->parts_;
  parts.display = display;
  const bool popup = placement.parent == 0;
  {
    X11ErrorTrap trap(display);
    XSetWindowAttributes attributes{};
    attributes.colormap = c.colormap;
    attributes.border_pixel = 0;
    attributes.background_pixmap = None;
    attributes.event_mask = popup ? kEventMask | kKeyMask : kEventMask;
    attributes.cursor = c.cursor;
    // Popups are placed by us, never by a window manager.
    attributes.override_redirect = popup ? True : False;
    attributes.save_under = popup ? True : False;
    const Window parent = popup ? RootWindow(display, screen) : placement.parent;
    window->parent_ = popup ? 0 : placement.parent;
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
    c.owners.push_back(window.get());
    XMapRaised(display, window->window_);
    parts.gc = XCreateGC(display, window->window_, 0, nullptr);
  }
  if (!popup && c.input_method != nullptr) {
    parts.input_context = XCreateIC(c.input_method, XNInputStyle,
                                    XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                                    window->window_, XNFocusWindow, window->window_, nullptr);
    if (parts.input_context != nullptr) {
      XGetICValues(parts.input_context, XNFilterEvents, &parts.filter_mask, nullptr);
    }
  }
  if (placement.grab && !window->Grab(error)) return nullptr;
  PixelImage& buffer = window->BackBuffer();
  parts.image = XCreateImage(display, c.visual, 24, ZPixmap, 0,
                             reinterpret_cast<char*>(buffer.Pixels().data()),
                             static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                             width * 4);
  if (parts.image == nullptr) {
    *error = "The editor cannot open: no image of the window's size could be made.";
    return nullptr;
  }
  XFlush(display);
  return window;
}

bool X11ChildWindow::Grab(std::string* error) {
  Display* display = x_->display;
  // A grab needs the window viewable: wait for it to be mapped.
  XSync(display, False);
  int pointer = GrabNotViewable;
  int keyboard = GrabNotViewable;
  // Every event goes to the popup, also those over the editor's own window
  // on this connection: a click there closes the menu.
  for (int attempt = 0; attempt < kGrabAttempts; ++attempt) {
    if (pointer != GrabSuccess) {
      pointer = XGrabPointer(display, window_, False, kPointerGrabMask, GrabModeAsync,
                             GrabModeAsync, None, None, CurrentTime);
    }
    if (keyboard != GrabSuccess) {
      keyboard = XGrabKeyboard(display, window_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    }
    if (pointer == GrabSuccess && keyboard == GrabSuccess) {
      grabbed_ = true;
      return true;
    }
    std::this_thread::sleep_for(kGrabRetryPause);
  }
  // Half a grab would leave the menu unable to see the click that closes it.
  if (pointer == GrabSuccess) XUngrabPointer(display, CurrentTime);
  if (keyboard == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
  *error = "The menu cannot open: another program holds the pointer or the keyboard.";
  return false;
}

X11ChildWindow::X11ChildWindow(std::shared_ptr<Connection> connection, int32_t width,
                               int32_t height)
    : WindowPort(width, height), x_(std::move(connection)) {}

X11ChildWindow::~X11ChildWindow() {
  Display* display = x_->display;
  std::erase(x_->owners, this);
  parts_.reset();
  // After the window was destroyed from outside it is not touched again; a
  // parent destroyed without our hearing of it yet is caught by the trap.
  if (Alive() && window_ != 0) {
    X11ErrorTrap trap(display);
    if (grabbed_) {
      XUngrabPointer(display, CurrentTime);
      XUngrabKeyboard(display, CurrentTime);
    }
    XDestroyWindow(display, window_);
  }
  // Popups go while the editor stays: the server hears of it now.
  XFlush(display);
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
    XPutImage(x_->display, window_, parts_->gc, parts_->image, r.left, top, r.left, top,
              static_cast<unsigned>(r.Width()), static_cast<unsigned>(rows));
  }
  if (trap.Finish() != 0) alive_ = false;
}

void X11ChildWindow::SelectKeys(bool on) {
  if (!Alive() || parent_ == 0) return;
  X11ErrorTrap trap(x_->display);
  XSelectInput(x_->display, window_, on ? kEventMask | kKeyMask | parts_->filter_mask : kEventMask);
}

void X11ChildWindow::TakeFocus() {
  if (!Alive()) return;
  SelectKeys(true);
  if (!viewable_) return;
  X11ErrorTrap trap(x_->display);
  XSetInputFocus(x_->display, window_, RevertToParent, CurrentTime);
}

void X11ChildWindow::ReturnFocus() {
  if (!Alive()) return;
  SelectKeys(false);
  if (!focused_ || parent_ == 0) return;
  X11ErrorTrap trap(x_->display);
  XSetInputFocus(x_->display, parent_, RevertToParent, CurrentTime);
}

void X11ChildWindow::ReturnKey() {
  if (!Alive() || parent_ == 0 || parts_->last_key.type == 0) return;
  // The host's toolkit reads it as a key of its own window.
  XEvent event{};
  event.xkey = parts_->last_key;
  event.xkey.window = parent_;
  event.xkey.subwindow = None;
  parts_->last_key.type = 0;
  X11ErrorTrap trap(x_->display);
  const long mask = event.type == KeyPress ? KeyPressMask : KeyReleaseMask;
  XSendEvent(x_->display, parent_, True, mask, &event);
}

bool X11ChildWindow::NextEvent(WindowEvent* out) {
  if (Alive()) x_->Pump();
  if (parts_->queue.empty()) return false;
  Parts::Queued& next = parts_->queue.front();
  *out = std::move(next.event);
  parts_->last_key = next.key;
  parts_->queue.pop_front();
  return true;
}

void X11ChildWindow::Receive(const void* x_event) {
  const XEvent& event = *static_cast<const XEvent*>(x_event);
  WindowEvent e;
  const bool key = event.type == KeyPress || event.type == KeyRelease;
  if (!(key ? TranslateKey(&event, &e) : Translate(&event, &e))) return;
  // A window nobody pumps must not grow its queue without end.
  if (parts_->queue.size() >= kMaxQueuedEvents) parts_->queue.pop_front();
  Parts::Queued queued{std::move(e), {}};
  if (key) queued.key = event.xkey;
  // An input method may commit a long text with one key: the rest follows
  // as characters.
  constexpr std::size_t kTextInEvent = 8;
  std::u32string rest;
  if (queued.event.text.size() > kTextInEvent) {
    rest = queued.event.text.substr(kTextInEvent);
    queued.event.text.resize(kTextInEvent);
  }
  parts_->queue.push_back(std::move(queued));
  for (const char32_t c : rest) {
    Parts::Queued character{};
    character.event.kind = WindowEventKind::kCharacter;
    character.event.key = static_cast<int32_t>(c);
    parts_->queue.push_back(std::move(character));
  }
}

bool X11ChildWindow::Translate(const void* x_event, WindowEvent* out) {
  const XEvent& event = *static_cast<const XEvent*>(x_event);
  WindowEvent e;
  switch (event.type) {
    case ButtonPress:
    case ButtonRelease: {
      const unsigned button = event.xbutton.button;
      e.x = event.xbutton.x;
      e.y = event.xbutton.y;
      // The state is the one before the event: a press adds its button, a
      // release takes it away.
      e.flags = FlagsOf(event.xbutton.state);
      if (event.type == ButtonPress) {
        e.flags |= ButtonFlag(button);
      } else {
        e.flags &= ~ButtonFlag(button);
      }
      if (button == Button4 || button == Button5) {
        if (event.type == ButtonRelease) return false;
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
    case FocusIn:
      if (event.xfocus.detail == NotifyPointer) return false;
      focused_ = true;
      if (parts_->input_context != nullptr) XSetICFocus(parts_->input_context);
      return false;
    case FocusOut:
      // Focus moving inside our window, or the pointer's own, is no loss.
      if (event.xfocus.detail == NotifyInferior || event.xfocus.detail == NotifyPointer) {
        return false;
      }
      focused_ = false;
      if (parts_->input_context != nullptr) XUnsetICFocus(parts_->input_context);
      // Gone for good, not just under a grab: keys are the host's again.
      if (event.xfocus.mode != NotifyGrab) SelectKeys(false);
      // No release will come for keys held now.
      parts_->held = {};
      e.kind = event.xfocus.mode == NotifyGrab ? WindowEventKind::kGrabbed
                                               : WindowEventKind::kFocusOut;
      break;
    case EnterNotify:
    case LeaveNotify:
      // A grab taken or given up crosses windows as if the pointer jumped.
      if (event.xcrossing.mode == NotifyGrab || event.xcrossing.mode == NotifyUngrab) {
        e.kind = WindowEventKind::kGrabbed;
        break;
      }
      if (event.type == EnterNotify) return false;
      e.kind = WindowEventKind::kLeave;
      break;
    case Expose:
      e.kind = WindowEventKind::kExpose;
      e.area = {event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                event.xexpose.y + event.xexpose.height};
      break;
    case MapNotify:
      viewable_ = true;
      return false;
    case UnmapNotify:
      viewable_ = false;
      return false;
    case DestroyNotify:
      alive_ = false;
      e.kind = WindowEventKind::kDestroyed;
      break;
    default:
      return false;
  }
  *out = e;
  return true;
}

bool X11ChildWindow::TranslateKey(const void* x_event, WindowEvent* out) {
  const XEvent& event = *static_cast<const XEvent*>(x_event);
  XKeyEvent key = event.xkey;
  const unsigned code = key.keycode & 0xFF;
  WindowEvent e;
  e.flags = FlagsOf(key.state);
  if (event.type == KeyRelease) {
    // Without detectable repeat the server sends a release just before each
    // repeated press, at the same time: that pair is one repeat.
    if (!x_->detectable_repeat && XEventsQueued(x_->display, QueuedAfterReading) > 0) {
      XEvent next;
      XPeekEvent(x_->display, &next);
      if (next.type == KeyPress && next.xkey.window == key.window &&
          next.xkey.keycode == key.keycode && next.xkey.time == key.time) {
        return false;
      }
    }
    parts_->held[code] = false;
    e.kind = WindowEventKind::kKeyUp;
    e.key = VirtualKeyFromKeysym(XLookupKeysym(&key, 0));
    if (e.key == 0) return false;
    *out = e;
    return true;
  }
  e.kind = WindowEventKind::kKeyDown;
  e.repeat = parts_->held[code] ? ++parts_->repeats[code] : 0;
  if (!parts_->held[code]) parts_->repeats[code] = 0;
  parts_->held[code] = true;
  KeySym keysym = NoSymbol;
  std::string text;
  if (parts_->input_context != nullptr) {
    std::vector<char> buffer(64);
    Status status = 0;
    int length = Xutf8LookupString(parts_->input_context, &key, buffer.data(),
                                   static_cast<int>(buffer.size()), &keysym, &status);
    if (status == XBufferOverflow) {
      buffer.resize(static_cast<std::size_t>(length) + 1);
      length = Xutf8LookupString(parts_->input_context, &key, buffer.data(),
                                 static_cast<int>(buffer.size()), &keysym, &status);
    }
    if (status == XLookupChars || status == XLookupBoth) text.assign(buffer.data(), length);
    if (status != XLookupKeySym && status != XLookupBoth) keysym = NoSymbol;
  } else {
    char latin1[8] = {};
    const int length = XLookupString(&key, latin1, sizeof latin1, &keysym, nullptr);
    const char32_t c = CharacterOfKeysym(keysym);
    if (c != 0) {
      e.text.push_back(c);
    } else if (length == 1) {
      e.text.push_back(static_cast<unsigned char>(latin1[0]));
    }
  }
  for (std::size_t at = 0; at < text.size();) e.text.push_back(NextCodePoint(text, &at));
  // Keys' characters as a translated key message has them: Enter is 13,
  // Shift+Tab still a Tab, Delete none.
  for (char32_t& c : e.text) {
    if (c == '\n') c = '\r';
  }
  if (keysym == XK_ISO_Left_Tab && e.text.empty()) e.text.push_back('\t');
  std::erase(e.text, U'\x7F');
  e.key = VirtualKeyFromKeysym(keysym);
  if (e.key == 0 && e.text.empty()) return false;
  *out = e;
  return true;
}

}  // namespace ov
