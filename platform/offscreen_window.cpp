#include "platform/offscreen_window.h"

#include <algorithm>

namespace ov {

OffscreenWindow::OffscreenWindow(int32_t width, int32_t height)
    : WindowPort(width, height), screen_(Width(), Height()) {}

void OffscreenWindow::Present(const PixelRect& area) {
  const PixelRect clipped = Intersect(area, BackBuffer().Bounds());
  ++present_count_;
  for (int32_t y = clipped.top; y < clipped.bottom; ++y) {
    std::copy(BackBuffer().Row(y) + clipped.left, BackBuffer().Row(y) + clipped.right,
              screen_.Row(y) + clipped.left);
  }
}

bool OffscreenWindow::NextEvent(WindowEvent* event) {
  if (events_.empty()) return false;
  *event = events_.front();
  events_.pop_front();
  return true;
}

std::unique_ptr<WindowPort> OffscreenWindow::OpenPopup(PixelPoint screen_at, int32_t width,
                                                       int32_t height, bool grab, std::string*) {
  auto popup = std::make_unique<OffscreenWindow>(width, height);
  popup->SetScreenOrigin(screen_at);
  popup->SetScreenArea(screen_area_);
  popups_.push_back({popup.get(), screen_at, grab});
  return popup;
}

}  // namespace ov
