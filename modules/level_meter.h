// The engine half of "Patch Parameter - Level Out": a level meter that
// smooths its input (VU, PPM, peak, headroom or DC), reads the level a few
// times a second and, when the reading moved, asks its panel half to
// refresh. It ticks only while its input runs or its reading still moves.
//
// Threads: made and opened on the editor thread while audio is stopped;
// measuring and ticks on the audio thread. The reading (DisplayedValue) may
// be read by any thread while the generator exists.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "modules/meters.h"

namespace ov {

class ug_param_float_out : public ug_meter {
 public:
  enum Plug : int32_t { kMidiIn = 1, kMidiOut, kResponse, kUpdateRate };
  enum Response : int16_t { kVu, kPpm, kPeak, kHeadRoom, kDcFast, kDcAverage };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // Samples between ticks at `sample_rate` for an update rate of `rate`
  // per second: trunc(sample_rate / (rate + 0.03)), at least 1.
  static int32_t TickInterval(float sample_rate, int32_t rate);
  // The smoothed level, as the next tick would read it.
  float Level() const { return level_; }

 protected:
  void SelectMeasuring() override;
  int32_t ChooseInterval() const override;
  bool UpdateStep() override;

 private:
  void ChooseCoefficients();
  void MeasureRms(int32_t position, int32_t count);
  void MeasurePeak(int32_t position, int32_t count);
  void MeasureAverage(int32_t position, int32_t count);

  int16_t response_ = kDcFast;
  int16_t rate_ = 10;
  float attack_ = 0.0f;
  float release_ = 0.0f;
  float mean_square_coefficient_ = 0.0f;
  float mean_square_ = 0.0f;
  float level_ = 0.0f;
};

}  // namespace ov
