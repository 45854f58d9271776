// The engine halves of the meters: "LED Indicator", "Peak Meter" and "Volt
// Meter". Each measures its "Signal in", and every update interval (a
// run-function event) compares, takes the measurement over as its displayed
// value and asks its panel half to refresh. When the input stops moving and
// the display has settled, the chain of updates stops and the generator
// sleeps. They end polyphony marking and keep no voice alive.
//
// Threads: made and opened on the editor thread while audio is stopped;
// measuring and updates on the audio thread. The displayed value (and the
// volt meter's mode that goes with it) may be read by any thread while the
// generator exists.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ug_base.h"

namespace ov {

// What the meters have in common: the displayed value and the update chain.
class ug_meter : public ug_base {
 public:
  ug_meter();
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  float DisplayedValue() const { return displayed_shared_.load(std::memory_order_relaxed); }
  // Samples between updates; at least one.
  int32_t UpdateInterval() const { return interval_; }

 protected:
  static constexpr int32_t kSignalIn = 0;

  // The measuring process function for the current kind or mode.
  virtual void SelectMeasuring() = 0;
  virtual int32_t ChooseInterval() const = 0;
  // The module's own step at an update: true when the chain should go on
  // for its sake (the display changed or is still moving).
  virtual bool UpdateStep() = 0;
  // A change of "Signal in" to static or run asks for the next update.
  virtual void OnSignalChange() {}

  // The input (or what it means) changed: measure, and update an interval
  // from `time` unless an update is due already.
  void Restart(uint32_t time);
  void SetDisplayed(float value);
  float Displayed() const { return displayed_; }

  float* signal_ = nullptr;
  float measured_ = 0.0f;

 private:
  static void Update(ug_base& generator);
  void ScheduleUpdate(uint32_t time);

  float displayed_ = -1.0f;
  std::atomic<float> displayed_shared_{-1.0f};
  int32_t interval_ = 1;
  bool settled_ = false;
  bool update_scheduled_ = false;
};

// "LED Indicator" (and the base of "Peak Meter"): lit (100) from the first
// sample above "Threshold" until the first update after an interval without
// one.
class ug_led : public ug_meter {
 public:
  enum Plug : int32_t { kThreshold = 1 };
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;

 protected:
  void SelectMeasuring() override;
  int32_t ChooseInterval() const override;
  bool UpdateStep() override;
  void OnSignalChange() override { measured_ = 0.0f; }

 private:
  void Measure(int32_t position, int32_t count);

  float* threshold_ = nullptr;
};

// "Peak Meter": the signed maximum per interval, in decibels (5 V reads 90)
// or linear (x 100); the display rises at once and falls by at most 20 per
// update.
class ug_peak_meter : public ug_led {
 public:
  enum Response : int16_t { kDecibel, kLinear };
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;

  // What a maximum of `measured` (volts / 10) shows.
  static float Target(float measured, int16_t response);

 protected:
  void SelectMeasuring() override;
  bool UpdateStep() override;

 private:
  void Measure(int32_t position, int32_t count);

  int16_t response_ = kDecibel;
};

// "Volt Meter": a running mean (DC) or mean square (AC RMS) over about 1000
// samples, shown 2 or 5 times a second.
class ug_volt_meter : public ug_meter {
 public:
  enum Plug : int32_t { kMode = 1, kUpdateRate };
  enum Mode : int16_t { kDc, kAcRms };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // The mode the displayed value was measured in. Any thread.
  int16_t DisplayedMode() const { return displayed_mode_.load(std::memory_order_relaxed); }
  // The panel's text for a displayed value: volts with 3, 2 or 1 decimals.
  static std::string Text(float displayed, int16_t mode);

 protected:
  void SelectMeasuring() override;
  int32_t ChooseInterval() const override;
  bool UpdateStep() override;

 private:
  // The running mean spans about 1000 samples.
  static constexpr int32_t kMeanLength = 1000;
  // The share of a slice's summed distance that moves the mean.
  static float MeanWeight(int32_t count);
  void MeasureDc(int32_t position, int32_t count);
  void MeasureRms(int32_t position, int32_t count);

  int16_t mode_ = kDc;
  int16_t rate_ = 2;  // updates per second
  std::atomic<int16_t> displayed_mode_{kDc};
};

}  // namespace ov
