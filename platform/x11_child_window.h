// The editor's window inside the host's: a child X window on a Display of
// its own, opened for the editor's lifetime. Events are read only when the
// editor pumps them (the host's idle calls); no thread, no XInitThreads.
// Damage is presented with XPutImage from the back buffer, in bands below
// the server's maximum request size.
//
// Thread: editor (the thread that opened it, for every call).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/window_port.h"

namespace ov {

class X11ChildWindow final : public WindowPort {
 public:
  // Null, with `error` saying why, when there is no X display, the parent
  // window does not exist or the screen is not 24-bit TrueColor.
  static std::unique_ptr<X11ChildWindow> Create(unsigned long parent, int32_t width,
                                                int32_t height, std::string* error);
  ~X11ChildWindow() override;

  // An override-redirect window on the screen at `screen_at` (`grab`: with
  // the pointer and keyboard grabbed while it lives).
  std::unique_ptr<WindowPort> OpenPopup(PixelPoint screen_at, int32_t width, int32_t height,
                                        bool grab, std::string* error) override;
  PixelPoint ScreenPoint(PixelPoint p) const override;

  void Present(const PixelRect& area) override;
  bool NextEvent(WindowEvent* event) override;
  void TakeFocus() override;
  // False after a DestroyNotify of the window, and once the connection
  // is lost (which never ends the process: see X11IoGuard).
  bool Alive() const override;
  bool CheckAlive() override;
  bool ConnectionLost() const override;
  unsigned long Handle() const { return window_; }
  uintptr_t NativeHandle() const override { return window_; }

 private:
  struct Connection;
  struct Placement {
    unsigned long parent = 0;  // 0: the screen's root, as a popup
    PixelPoint at;
    bool grab = false;
  };
  X11ChildWindow(std::unique_ptr<Connection> connection, int32_t width, int32_t height);
  static std::unique_ptr<X11ChildWindow> Make(const Placement& placement, int32_t width,
                                              int32_t height, std::string* error);

  std::unique_ptr<Connection> x_;
  unsigned long window_ = 0;
  bool alive_ = true;
  bool viewable_ = false;
  // The character of a key press, handed out after the press itself.
  std::optional<WindowEvent> pending_character_;
};

}  // namespace ov
