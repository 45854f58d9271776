// One plug's signal for one engine-block cell.
#pragma once

#include <cstdint>
#include <memory>

namespace ov {

// Holds the cell's samples plus 16 floats of slack, 64-byte aligned and
// zeroed, so loops of up to sixteen at a time (the widest lane kernels) may
// run past the cell end. Index i is the
// sample at cell position i. Threads: created on the editor thread; filled
// and read on the audio thread.
class USampBlock {
 public:
  static constexpr int32_t kSlack = 16;

  explicit USampBlock(int32_t cell_size);

  float* Data() { return data_.get(); }
  const float* Data() const { return data_.get(); }
  int32_t CellSize() const { return cell_size_; }

  // Sets every sample of the cell.
  void Fill(float value);
  void FillZero() { Fill(0.0f); }

 private:
  struct AlignedFree {
    void operator()(float* data) const;
  };

  int32_t cell_size_;
  std::unique_ptr<float[], AlignedFree> data_;
};

// Writes `value` into data[first], ..., data[first + count - 1], four at a
// time. Audio thread.
void FillSamples(float* data, int32_t first, int32_t count, float value);

}  // namespace ov
