// A window in memory alone: what is presented is copied to a screen image,
// and events are whatever the caller queues. Serves tests and snapshots.
// Thread: editor.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/window_port.h"

namespace ov {

class OffscreenWindow final : public WindowPort {
 public:
  OffscreenWindow(int32_t width, int32_t height);

  void Present(const PixelRect& area) override;
  bool NextEvent(WindowEvent* event) override;
  void TakeFocus() override { ++focus_requests_; }
  void ReturnFocus() override { ++focus_returns_; }
  void ReturnKey() override { ++keys_returned_; }
  // The screen popups are kept on (empty: none).
  void SetScreenArea(PixelRect area) { screen_area_ = area; }
  PixelRect ScreenArea() const override { return screen_area_; }
  // The window's top-left is taken to lie at `origin` on the screen.
  void SetScreenOrigin(PixelPoint origin) { origin_ = origin; }
  PixelPoint ScreenPoint(PixelPoint p) const override { return {p.x + origin_.x, p.y + origin_.y}; }
  // Another offscreen window, remembered with its place and grab.
  std::unique_ptr<WindowPort> OpenPopup(PixelPoint screen_at, int32_t width, int32_t height,
                                        bool grab, std::string* error) override;
  struct Popup {
    OffscreenWindow* window;  // valid while its owner keeps it
    PixelPoint at;
    bool grab;
  };
  const std::vector<Popup>& Popups() const { return popups_; }

  void Queue(const WindowEvent& event) { events_.push_back(event); }
  // What a screen would show: the presented parts of the back buffer.
  const PixelImage& Screen() const { return screen_; }
  int32_t PresentCount() const { return present_count_; }
  int32_t FocusRequests() const { return focus_requests_; }
  int32_t FocusReturns() const { return focus_returns_; }
  int32_t KeysReturned() const { return keys_returned_; }

 private:
  PixelImage screen_;
  std::deque<WindowEvent> events_;
  int32_t present_count_ = 0;
  int32_t focus_requests_ = 0;
  int32_t focus_returns_ = 0;
  int32_t keys_returned_ = 0;
  PixelRect screen_area_;
  PixelPoint origin_;
  std::vector<Popup> popups_;
};

}  // namespace ov
