// A window in memory alone: what is presented is copied to a screen image,
// and events are whatever the caller queues. Serves tests and snapshots.
// Thread: editor.
#pragma once

#include <deque>

#include "platform/window_port.h"

namespace ov {

class OffscreenWindow final : public WindowPort {
 public:
  OffscreenWindow(int32_t width, int32_t height);

  void Present(const PixelRect& area) override;
  bool NextEvent(WindowEvent* event) override;
  void TakeFocus() override { ++focus_requests_; }

  void Queue(const WindowEvent& event) { events_.push_back(event); }
  // What a screen would show: the presented parts of the back buffer.
  const PixelImage& Screen() const { return screen_; }
  int32_t PresentCount() const { return present_count_; }
  int32_t FocusRequests() const { return focus_requests_; }

 private:
  PixelImage screen_;
  std::deque<WindowEvent> events_;
  int32_t present_count_ = 0;
  int32_t focus_requests_ = 0;
};

}  // namespace ov
