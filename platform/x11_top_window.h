// A top-level X window standing in for a host's editor frame (`orvane
// show`, `orvane play`): plug-ins open their editors inside it. It tells
// when the user closes it, can read back what is shown in it, and can hand
// on the keys that reach it (those the editor's focused edit box does not
// take: the editor selects keys only while one has the focus).
// Thread: the one that created it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/pixel_image.h"

namespace ov {

class X11TopWindow {
 public:
  // Null, with `error` set, when no X display can be opened.
  static std::unique_ptr<X11TopWindow> Create(int32_t width, int32_t height,
                                              const std::string& title, std::string* error);
  ~X11TopWindow();

  // The window id, for the plug-in's editor-open call.
  unsigned long Handle() const { return window_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Reads the events waiting; false once the window was closed or
  // destroyed, or its connection lost.
  bool Pump();
  // What the window shows now, its children included.
  std::optional<PixelImage> Capture();

  // From now on Pump keeps the keys pressed and released in the window,
  // lower-case Latin-1 key symbols ('a', ';'), held keys not repeated.
  void KeepKeys();
  struct Key {
    bool pressed;
    unsigned long symbol;
  };
  // The keys kept since the last call, oldest first.
  std::vector<Key> TakeKeys();

 private:
  struct Connection;
  explicit X11TopWindow(std::unique_ptr<Connection> connection);

  std::unique_ptr<Connection> x_;
  unsigned long window_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool open_ = true;
  bool keep_keys_ = false;
  std::vector<Key> keys_;
};

}  // namespace ov
