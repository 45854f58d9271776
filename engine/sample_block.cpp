#include "engine/sample_block.h"

#include <algorithm>
#include <new>

namespace ov {

namespace {
constexpr std::align_val_t kAlignment{64};
}

USampBlock::USampBlock(int32_t cell_size) : cell_size_(std::max(cell_size, 1)) {
  const std::size_t floats = static_cast<std::size_t>(cell_size_) + kSlack;
  data_.reset(static_cast<float*>(::operator new[](floats * sizeof(float), kAlignment)));
  std::fill_n(data_.get(), floats, 0.0f);
}

void USampBlock::AlignedFree::operator()(float* data) const {
  ::operator delete[](data, kAlignment);
}

void USampBlock::Fill(float value) { FillSamples(data_.get(), 0, cell_size_, value); }

void FillSamples(float* data, int32_t first, int32_t count, float value) {
  float* out = data + first;
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    out[i] = value;
    out[i + 1] = value;
    out[i + 2] = value;
    out[i + 3] = value;
  }
  for (; i < count; ++i) out[i] = value;
}

}  // namespace ov
