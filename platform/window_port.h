// The window the editor draws into and takes input from: a child of the
// host's window (X11ChildWindow) or memory alone (OffscreenWindow, for tests
// and snapshots). The editor paints into the back buffer, then presents the
// parts it changed; events are read without blocking, in the host's idle
// calls, so no thread of ours ever runs.
//
// Thread: editor (whichever thread opened the window).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/pixel_image.h"

namespace ov {

// The largest window side: its back buffer of 8192 x 8192 pixels at four
// bytes each takes 256 MB.
constexpr int32_t kLargestWindowSide = 8192;

// Key codes are the Windows virtual-key numbers the panel's controls know.
enum VirtualKey : int32_t {
  kKeyBack = 0x08,
  kKeyTab = 0x09,
  kKeyReturn = 0x0D,
  kKeyShift = 0x10,
  kKeyControl = 0x11,
  kKeyAlt = 0x12,
  kKeyEscape = 0x1B,
  kKeySpace = 0x20,
  kKeyPageUp = 0x21,
  kKeyPageDown = 0x22,
  kKeyEnd = 0x23,
  kKeyHome = 0x24,
  kKeyLeft = 0x25,
  kKeyUp = 0x26,
  kKeyRight = 0x27,
  kKeyDown = 0x28,
  kKeyInsert = 0x2D,
  kKeyDelete = 0x2E,
};

// Modifier and button bits as mouse handlers receive them.
enum InputFlag : uint32_t {
  kFlagLeftButton = 0x1,
  kFlagRightButton = 0x2,
  kFlagShift = 0x4,
  kFlagControl = 0x8,
  kFlagMiddleButton = 0x10,
  kFlagAlt = 0x20,
};

enum class WindowEventKind {
  kPress,      // button 1 left, 2 middle, 3 right
  kRelease,
  kMotion,
  kWheel,      // delta: -120 away from the user, +120 towards
  kKeyDown,    // key: a VirtualKey or an upper-case letter or digit; text:
               // the characters it types; repeat: its auto-repeat count
  kKeyUp,
  kCharacter,  // key: the character's code point (Tab 9, Enter 13)
  kFocusOut,   // the keyboard focus went elsewhere
  kGrabbed,    // another window took or gave up a grab of the pointer or the
               // keyboard: whatever the pointer was doing here has ended
  kLeave,      // the pointer left the window
  kExpose,     // the window's pixels were lost: present the back buffer again
  kDestroyed,  // the window is gone (its parent was destroyed)
};

struct WindowEvent {
  WindowEventKind kind = WindowEventKind::kMotion;
  int32_t x = 0;
  int32_t y = 0;
  int32_t button = 0;
  int32_t key = 0;
  int32_t delta = 0;
  int32_t repeat = 0;  // kKeyDown: 0 for the press, then 1, 2, ... while held
  // InputFlag bits held at the event: a press includes its button, a
  // release no longer does.
  uint32_t flags = 0;
  std::u32string text;  // kKeyDown
  PixelRect area;       // kExpose
};

// A native window inside a WindowPort for code that draws in it itself (a
// hosted plug-in's own editor): the editor places it, shows or hides it and
// hands its handle on, and learns when it was destroyed from outside.
// Thread: editor, like its WindowPort.
class NativeChildWindow {
 public:
  virtual ~NativeChildWindow() = default;
  // The handle the other code makes its windows in (an X11 Window id).
  virtual uintptr_t NativeHandle() const = 0;
  // `frame`: where the whole window lies in its WindowPort, at its size
  // (which may differ from the size it was opened at); `visible`: the
  // part of the WindowPort it may show in (what lies outside is cut off;
  // nothing shows while that part of `frame` is empty).
  virtual void Place(const PixelRect& frame, const PixelRect& visible) = 0;
  virtual void Show(bool shown) = 0;
  // False once the window was destroyed from outside or its connection
  // was lost.
  virtual bool Alive() = 0;
};

class WindowPort {
 public:
  virtual ~WindowPort() = default;
  int32_t Width() const { return back_buffer_.Width(); }
  int32_t Height() const { return back_buffer_.Height(); }
  PixelImage& BackBuffer() { return back_buffer_; }
  const PixelImage& BackBuffer() const { return back_buffer_; }

  // Shows the back buffer's pixels inside `area` on screen.
  virtual void Present(const PixelRect& area) = 0;
  // The next waiting event, without blocking; false when none waits.
  virtual bool NextEvent(WindowEvent* event) = 0;
  // Asks for the keyboard focus, for an object that types (hosts that
  // forward no keys leave them to the window with the focus).
  virtual void TakeFocus() {}
  // Gives the keyboard focus back to the parent window, if this one has it.
  virtual void ReturnFocus() {}
  // Hands the key event last read, which the panel did not use, to the
  // parent window, so that the host's shortcuts work while we have focus.
  virtual void ReturnKey() {}
  // The screen's area, for keeping popups on it (empty: unknown).
  virtual PixelRect ScreenArea() const { return {}; }
  // False once the window has been destroyed from outside or its
  // connection was lost.
  virtual bool Alive() const { return true; }
  // Alive(), after looking for the window's destruction without reading
  // any other event.
  virtual bool CheckAlive() { return Alive(); }
  // True once the window's connection to its display was lost.
  virtual bool ConnectionLost() const { return false; }
  // The platform's own handle of the window (an X11 Window id); 0 for
  // windows that have none, such as off-screen ones.
  virtual uintptr_t NativeHandle() const { return 0; }
  // Where a point of this window lies on the screen.
  virtual PixelPoint ScreenPoint(PixelPoint p) const { return p; }
  // A borderless window of its own above all others, its top-left at
  // `screen_at` (menus, tool tips), on this window's connection. With
  // `grab` it takes the pointer and the keyboard while it lives, so that
  // clicks outside it reach it too (at points outside its area). Null, with
  // `error` saying why, when none can be made or the grab is refused.
  virtual std::unique_ptr<WindowPort> OpenPopup(PixelPoint screen_at, int32_t width, int32_t height,
                                                bool grab, std::string* error) = 0;
  // A native window of `width` x `height` inside this one, hidden until it
  // is placed and shown. It may outlive this window (then it is dead).
  // Null, with `error` saying why, where there are no native windows.
  virtual std::unique_ptr<NativeChildWindow> OpenNativeChild(int32_t /*width*/,
                                                             int32_t /*height*/,
                                                             std::string* error) {
    *error = "This window cannot hold the plug-in's own editor: it is not on a display.";
    return nullptr;
  }

 protected:
  explicit WindowPort(int32_t width, int32_t height) : back_buffer_(width, height) {}

 private:
  PixelImage back_buffer_;
};

}  // namespace ov
