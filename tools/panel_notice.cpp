#include "tools/panel_notice.h"

#include <algorithm>

#include "editor/skins/text_painter.h"

namespace ov {
namespace {

constexpr int32_t kPadding = 4;

}  // namespace

std::unique_ptr<PanelNotice> PanelNotice::Show(unsigned long frame, int32_t width, int32_t height,
                                               std::string_view text, std::string* error) {
  std::unique_ptr<PanelNotice> notice(new PanelNotice());
  notice->text_ = text;
  notice->font_ = notice->fonts_.Get("Arial", 12, 0);
  if (notice->font_->raster == nullptr) {
    *error = "no font for the notice";
    return nullptr;
  }
  const int32_t line = std::max(TextExtent(*notice->font_, "M").y, 1);
  const auto lines = static_cast<int32_t>(
      BreakLines(*notice->font_, text, std::max(width - 2 * kPadding, 1), true).size());
  const int32_t strip = std::clamp(std::max(lines, 1) * line + 2 * kPadding, 1, std::max(height, 1));
  notice->area_ = {0, height - strip, width, height};
  notice->window_ = X11ChildWindow::Create(frame, width, strip, error, {0, height - strip});
  if (notice->window_ == nullptr) return nullptr;
  notice->Draw();
  return notice;
}

void PanelNotice::Draw() {
  PixelImage& buffer = window_->BackBuffer();
  Canvas canvas(buffer);
  canvas.FillRect({0, 0, buffer.Width(), buffer.Height()}, kBackground);
  canvas.Text().font = font_;
  canvas.Text().colour = kInk;
  canvas.Text().align = TextState::Align::kLeft;
  DrawTextBox(canvas,
              {kPadding, kPadding, buffer.Width() - kPadding, buffer.Height() - kPadding}, text_,
              {.wrap = true});
  window_->Present(buffer.Bounds());
}

bool PanelNotice::Pump() {
  WindowEvent event;
  while (window_->NextEvent(&event)) {
    if (event.kind == WindowEventKind::kExpose) window_->Present(event.area);
  }
  return window_->Alive();
}

}  // namespace ov
