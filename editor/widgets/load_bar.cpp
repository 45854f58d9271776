#include "editor/widgets/load_bar.h"

#include <cmath>

#include "editor/canvas.h"

namespace ov {

void CMyCpuLoadWnd::SetValue(float value) {
  if (!std::isfinite(value)) value = 0;
  value = std::fmin(std::fmax(value, 0.0f), 100.0f);
  if (value == value_) return;
  value_ = value;
  InvalidateAll();
}

void CMyCpuLoadWnd::Draw(Canvas& canvas) {
  canvas.FillRect(ClientRect(), SystemColourValue(SystemColour::kButtonFace));
  const auto v = static_cast<int32_t>(value_);
  const auto red = static_cast<uint8_t>((v + 155) % 256);
  const auto green = static_cast<uint8_t>(((255 - 2 * v) % 256 + 256) % 256);
  // Columns 0 to v lit, v + 1 to 100 dark; rows 7 to 14.
  canvas.FillRect({0, 7, v + 1, 15}, MakeColour(red, green, 0));
  if (v + 1 < 100) canvas.FillRect({v + 1, 7, 101, 15}, MakeColour(0, 0, 0));
}

}  // namespace ov
