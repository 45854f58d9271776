// `ui_control2` and "Patch Parameter - Level Out" (`ui_param_float_out`):
// panel controls whose value the module keeps per patch itself. The level
// out module shows what its engine half (a level meter) reads, in volts or
// decibels, on feature plugs that bitmap controls follow.
//
// Threads: editor only. The meter's reading is written by the audio thread
// and read here, on "refr", as one atomic float.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/control.h"

namespace ov {

// A control that keeps its title when its output is first connected: it
// takes range, list and value from what it feeds, not the name.
class ui_control2 : public CControl {
 public:
  static constexpr const SerialClass& kClass = kui_control2;
  const SerialClass& GetClass() const override { return kClass; }
  explicit ui_control2(int32_t value_type = kInteger) : CControl(value_type) {}
  void OnConnectionsChanged(CPlug2& plug, bool made) override;
};

class ui_param_float_out : public ui_control2 {
 public:
  enum Scale : int32_t { kVolts = 0, kDecibels = 1, kVuStretch = 2 };
  static constexpr const SerialClass& kClass = kui_param_float_out;
  const SerialClass& GetClass() const override { return kClass; }
  ui_param_float_out() : ui_control2(kDouble) {}
  void SetUpAsNew(const Module_Info& type) override;
  void InitialiseAfterLoad(bool loaded) override;
  void OnPlugValueChanged(CPlug2& plug) override;
  // Helpers initialised before this module attach to its feature plugs'
  // variables: the features are described first, so each variable is made
  // with its feature's type and stays.
  generic_feature* PlugVariable(const CPlug2& plug) override;

  // The host's view: a readout it may record but not set. Its normalised
  // value is the reading's place between "Lo Value" and "Hi Value",
  // within 0 .. 1 (0 when they are equal or the reading is not a number);
  // the host's name is the title, which "Short Name" sets and shows.
  void CollectGenericParameters(std::vector<generic_parameter*>& out) override {
    out.push_back(this);
  }
  bool Automatable() const override { return true; }
  bool DisplayOnly() const override { return true; }
  float GetNormalised() const override;
  // The reading belongs to the engine: a host's write changes nothing.
  void SetNormalised(float) override {}

  // What a reading shows: volts (10 x level) or decibels (20 log10(level)
  // + 10, and -150 below 1e-8).
  static double Shown(float level, int32_t scale);
  // "%f" without its trailing zeros (nor then a trailing point).
  static std::string ShownText(double shown);
  // The position a scaled value gives: the three-piece decibel curve for
  // the VU stretch (not below 0), else its place between lo and hi (0 when
  // they are equal).
  static double Position(double scaled, double lo, double hi, int32_t scale);

 protected:
  void OnRefresh(ug_base& generator) override;

 private:
  void DescribeFeatures();
  // A name the project gives on "Short Name" wins; else it shows the title.
  void BindShortName();
  double Number(const char* name) const;
  void Write(const char* name, double value);
  void Scale();
  void Unscale();

  bool guard_ = false;
  bool described_ = false;
};

}  // namespace ov
