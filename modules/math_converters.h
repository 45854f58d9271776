// Converters: "Voltage To List" (a voltage picks an item of a list),
// "FloatToVolts" (a float value as a voltage, optionally glided) and
// "VoltsToFloat" (a level reading of a signal, in dB or volts, as a float
// value at a set update rate).
//
// Threads: built and opened on the editor thread while audio is stopped;
// status changes, events and processing on the audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/smart_output.h"
#include "engine/ug_base.h"
#include "modules/list_text.h"

namespace ov {

class ug_voltage_to_enum final : public ug_base {
 public:
  enum Plug : int32_t { kSignalIn, kListOut };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void OnItemList(int32_t plug_number, std::string_view list_text) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  int16_t Value() const { return value_; }

 private:
  void Choose(uint32_t time, float x);
  void SetWindow(int64_t index);
  void Run(int32_t position, int32_t count);

  // Kept as the list (a range is computed, not stored item by item).
  std::optional<ListText> items_;
  int64_t count_ = 0;
  float* in_ = nullptr;
  int16_t value_ = 0;
  float window_low_ = 0.0f;
  float window_high_ = 0.0f;
};

class ug_float_to_volts final : public ug_base {
 public:
  enum Plug : int32_t { kSmoothing, kFloatIn, kVoltsOut };
  enum Smoothing : int16_t { kNone = 0, kFast = 1, kSmooth = 2 };

  ug_float_to_volts();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Resume() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  void Run(int32_t position, int32_t count);

  smart_output output_;
};

class ug_volts_to_float final : public ug_base {
 public:
  enum Plug : int32_t { kVoltsIn, kResponse, kUpdateRate, kFloatOut };
  enum Response : int16_t {
    kVu = 0,
    kPpm = 1,
    kPeak = 2,
    kHeadRoom = 3,
    kDcFast = 4,
    kDcAverage = 5,
    kRms = 6,
  };
  static constexpr int32_t kLongestInterval = 1 << 30;  // samples

  ug_volts_to_float();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  int32_t UpdateInterval() const { return interval_; }

 private:
  static void UpdateEvent(ug_base& module);
  void SetUpResponse();
  void SetUpInterval();
  void Update();
  void Schedule(uint32_t time);
  void TrackMeanSquare(int32_t position, int32_t count);
  void TrackPeak(int32_t position, int32_t count);
  void TrackAverage(int32_t position, int32_t count);

  float* in_ = nullptr;
  float float_out_ = 0.0f;
  int16_t response_ = kDcFast;
  int32_t interval_ = 1;
  float level_ = 0.0f;
  float mean_square_ = 0.0f;
  float attack_ = 0.0f;
  float release_ = 0.0f;
  float mean_square_coefficient_ = 0.0f;
  float last_reported_ = -1000.0f;
  bool settled_ = false;
  bool scheduled_ = false;
};

}  // namespace ov
