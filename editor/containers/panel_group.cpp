#include "editor/containers/panel_group.h"

#include <algorithm>

#include "document/panel_objects.h"
#include "editor/canvas.h"
#include "editor/skins/skin_drawing.h"
#include "editor/skins/skin_list.h"
#include "editor/skins/text_painter.h"
#include "editor/view_root.h"
#include "editor/widgets/widget_text.h"

namespace ov {
namespace {

constexpr std::string_view kTitleFont = "panel_group";

// The "lines" image taken apart: a cell of four corners, the horizontal
// line below it and the vertical one right of it, each with end caps of
// `caps` pixels around a part that repeats.
struct LineParts {
  int32_t fw = 0, fh = 0;  // the cell
  int32_t thick = 0;       // of the lines
  int32_t caps = 0;
};

LineParts PartsOf(const SkinImage& image) {
  LineParts parts;
  parts.fw = image.description.frame_size.x;
  parts.fh = image.description.frame_size.y;
  parts.thick = image.pixels.width - parts.fw;
  parts.caps = std::max(image.description.segment_count, 0);
  return parts;
}

// Repeats source columns [from, to) of the strip starting at row `y` (rows
// `height`) along x from `start` up to `end`, the last copy cut short. A
// part of no width repeats nothing.
void RepeatAcross(Canvas& canvas, const SkinPixels& image, int32_t from, int32_t to, int32_t y,
                  int32_t height, int32_t start, int32_t end, int32_t at_y) {
  const int32_t step = to - from;
  if (step <= 0 || height <= 0) return;
  for (int32_t x = start; x < end; x += step) {
    const int32_t width = std::min(step, end - x);
    DrawTransparent(canvas, image, {from, y, from + width, y + height}, {x, at_y});
  }
}

void RepeatDown(Canvas& canvas, const SkinPixels& image, int32_t from, int32_t to, int32_t x,
                int32_t width, int32_t start, int32_t end, int32_t at_x) {
  const int32_t step = to - from;
  if (step <= 0 || width <= 0) return;
  for (int32_t y = start; y < end; y += step) {
    const int32_t height = std::min(step, end - y);
    DrawTransparent(canvas, image, {x, from, x + width, from + height}, {at_x, y});
  }
}

}  // namespace

CPanelBoxWnd::CPanelBoxWnd(CPanelBox2& box) : box_(box) {
  SetFlags(kVoOwned | 0x620);
  BindToModule(&box);
}

int32_t CPanelBoxWnd::TitleHeight() const { return ExtentIn(*this, {kTitleFont}, "Ag").y; }

bool CPanelBoxWnd::ContainsPoint(Point p) const {
  const Rect client = ClientRect();
  if (!RectContains(client, p)) return false;
  if (lines_ == nullptr) return false;
  const LineParts parts = PartsOf(*lines_);
  // The band reaches from the edge past the frame's line into the group.
  const int32_t band = std::max(parts.fw - parts.thick - 4, 1);
  const int32_t e = TitleHeight();
  const Rect inner{band, band + e / 4, client.right - band, client.bottom - band};
  return !RectContains(inner, p);
}

void CPanelBoxWnd::Open() {
  COrvaneViewBase* root = Root();
  Skin* skin = GetSkin();
  lines_ = nullptr;
  if (root != nullptr && root->Skins() != nullptr && skin != nullptr) {
    lines_ = root->Skins()->Image(*skin, "lines", SkinMode::kColour);
  }
  if (lines_ == nullptr || !lines_->HasPixels()) {
    lines_ = nullptr;
    return;
  }
  CPaintObject::Open();
}

void CPanelBoxWnd::Close() {
  CPaintObject::Close();
  lines_ = nullptr;
}

void CPanelBoxWnd::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyRenamed && notification.subject == &box_) {
    InvalidateAll();
    return;
  }
  CPaintObject::OnNotify(notification);
}

void CPanelBoxWnd::Draw(Canvas& canvas) {
  if (lines_ == nullptr) return;
  const SkinPixels& image = lines_->pixels;
  const LineParts p = PartsOf(*lines_);
  if (p.fw <= 0 || p.fh <= 0 || p.fw > image.width || p.fh > image.height) return;
  const int32_t hw = p.fw / 2;
  const int32_t hh = p.fh / 2;
  const int32_t t = p.thick;
  const int32_t g = p.caps;
  const int32_t e = TitleHeight();
  const Rect c = ClientRect();
  // The top line runs through the middle of the title.
  const Rect f{c.left + t / 2, c.top + t / 2 + e / 2, c.right - t / 2, c.bottom - t / 2};
  DrawTransparent(canvas, image, {0, 0, hw, hh}, {f.left, f.top});
  DrawTransparent(canvas, image, {hw + 1, 0, hw + 1 + hw, hh}, {f.right - hw, f.top});
  DrawTransparent(canvas, image, {0, hh + 1, hw, hh + 1 + hh}, {f.left, f.bottom - hh});
  DrawTransparent(canvas, image, {hw + 1, hh + 1, hw + 1 + hw, hh + 1 + hh},
                  {f.right - hw, f.bottom - hh});
  // Without room for line strips (or with caps eating the cell) only the
  // corners are drawn.
  const bool strips = t > 0 && p.fh + t <= image.height && p.fw + t <= image.width;
  if (!strips) return;
  const int32_t top_end = f.right - hw;
  int32_t top_start = f.left + hw;
  const std::string& title = box_.title();
  if (!title.empty()) {
    const int32_t cap = std::min(g, p.fw);
    DrawTransparent(canvas, image, {p.fw - cap, p.fh, p.fw, p.fh + t}, {top_start, f.top});
    const int32_t title_x = f.left + hw + 2 * g;
    int32_t title_width = 0;
    {
      WidgetTextScope scope(canvas, *this, {kTitleFont});
      canvas.Text().opaque = false;
      canvas.Text().colour = CategoryColour(*this, kTitleFont);
      if (canvas.Text().font != nullptr) {
        title_width = TextExtent(*canvas.Text().font, title).x;
        DrawTextLine(canvas, {title_x, 0}, title);
      }
    }
    const int32_t after = title_x + title_width + g;
    const int32_t cap_end = std::min(after + cap, top_end);
    if (cap_end > after) {
      DrawTransparent(canvas, image, {0, p.fh, cap_end - after, p.fh + t}, {after, f.top});
    }
    top_start = std::max(after + cap, top_start);
  }
  RepeatAcross(canvas, image, g, p.fw - g, p.fh, t, top_start, top_end, f.top);
  RepeatAcross(canvas, image, g, p.fw - g, p.fh, t, f.left + hw, f.right - hw, f.bottom - t);
  RepeatDown(canvas, image, g, p.fh - g, p.fw, t, f.top + hh, f.bottom - hh, f.left);
  RepeatDown(canvas, image, g, p.fh - g, p.fw, t, f.top + hh, f.bottom - hh, f.right - t);
}

}  // namespace ov
