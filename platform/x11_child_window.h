// The editor's window inside the host's: a child X window on a Display of
// its own, opened for the editor's lifetime. The editor's popups (menus,
// tool tips) are windows on the same connection, so one editor holds one
// connection however many popups it shows. Events are read only when the
// editor pumps them (the host's idle calls); no thread, no XInitThreads.
// Damage is presented with XPutImage from the back buffer, in bands below
// the server's maximum request size.
//
// Keys arrive only while something on the panel types (the rest reach the
// host's window directly), through the connection's input method when the
// locale has one (UTF-8 text, compose sequences); auto-repeat is detectable
// (presses without releases, counted), and grabs or a lost focus end what
// the pointer was doing.
//
// Thread: editor (the thread that opened it, for every call).
#pragma once

#include <memory>
#include <string>

#include "platform/window_port.h"

namespace ov {

class X11ChildWindow final : public WindowPort {
 public:
  // Null, with `error` saying why, when there is no X display, the parent
  // window does not exist or the screen is not 24-bit TrueColor. `at`: its
  // top-left in the parent, above the parent's other children.
  static std::unique_ptr<X11ChildWindow> Create(unsigned long parent, int32_t width,
                                                int32_t height, std::string* error,
                                                PixelPoint at = {});
  ~X11ChildWindow() override;

  // An override-redirect window on the screen at `screen_at` (`grab`: with
  // the pointer and keyboard grabbed while it lives; refused when another
  // program holds them).
  std::unique_ptr<WindowPort> OpenPopup(PixelPoint screen_at, int32_t width, int32_t height,
                                        bool grab, std::string* error) override;
  // A window inside a clipping window, both children of this one on its
  // connection: the clipping window takes the visible part, the inner one
  // lies at the frame inside it.
  std::unique_ptr<NativeChildWindow> OpenNativeChild(int32_t width, int32_t height,
                                                     std::string* error) override;
  PixelPoint ScreenPoint(PixelPoint p) const override;
  PixelRect ScreenArea() const override;

  void Present(const PixelRect& area) override;
  bool NextEvent(WindowEvent* event) override;
  void TakeFocus() override;
  void ReturnFocus() override;
  void ReturnKey() override;
  // False after a DestroyNotify of the window, and once the connection
  // is lost (which never ends the process: see X11IoGuard).
  bool Alive() const override;
  bool CheckAlive() override;
  bool ConnectionLost() const override;
  unsigned long Handle() const { return window_; }
  uintptr_t NativeHandle() const override { return window_; }

 private:
  struct Connection;
  struct Parts;
  class NativeChild;
  struct Placement {
    unsigned long parent = 0;  // 0: the screen's root, as a popup
    PixelPoint at;
    bool grab = false;
  };
  X11ChildWindow(std::shared_ptr<Connection> connection, int32_t width, int32_t height);
  static std::unique_ptr<X11ChildWindow> Make(std::shared_ptr<Connection> connection,
                                              const Placement& placement, int32_t width,
                                              int32_t height, std::string* error);
  bool Grab(std::string* error);
  // Whether the window (not a popup) receives keys.
  void SelectKeys(bool on);
  // Turns one X event of this window into the events of ours it makes.
  void Receive(const void* x_event);
  // False for events that make no event of ours.
  bool Translate(const void* x_event, WindowEvent* out);
  bool TranslateKey(const void* x_event, WindowEvent* out);

  std::shared_ptr<Connection> x_;
  std::unique_ptr<Parts> parts_;
  unsigned long window_ = 0;
  unsigned long parent_ = 0;
  bool alive_ = true;
  bool viewable_ = false;
  bool focused_ = false;
  bool grabbed_ = false;
};

}  // namespace ov
