// The panel parameters of a hosted plug-in: `parameter_vst`, one of the
// plug-in's own parameters read and written straight through its AEffect,
// and `parameter_vst_xtra`, the module's "Program" (the plug-in's current
// program number) and "Program Name" (that program's name, with the list
// of every program's name for choosers).
//
// Threads: editor only, like the document. The engine half follows MIDI
// controllers on its own copy of the assignments.
#pragma once

#include <cstdint>
#include <string>

#include "document/generic_parameter.h"
#include "document/notifier.h"

namespace ov {

class Ctl_VST_Plugin;

// The data type a `parameter_vst` reports: a value the plug-in shows in its
// own words, given a knob and its display text on generic panels.
inline constexpr int32_t kVstParameterDatatype = 7;

class parameter_vst : public generic_parameter {
 public:
  parameter_vst(Ctl_VST_Plugin& owner, int32_t index) : owner_(owner), index_(index) {}
  // Its watchers hear code 8 and forget it.
  ~parameter_vst() override;

  Notifier& Watchers() override { return watchers_; }
  // The plug-in's texts, cut for display.
  std::string Name() const override;
  int32_t Datatype() const override;
  bool Automatable() const override;
  std::string Label() const override;
  // What the plug-in displays for its value.
  std::string ValueText() const override;
  // A number (C locale) taken as the plug-in's value, kept within 0..1;
  // text that is no number changes nothing.
  void WriteValueText(const std::string& text) override;
  // The plug-in's own value: it is already normalised.
  float GetNormalised() const override;
  void SetNormalised(float x) override;
  std::string TextForNormalised(float x) const override;
  // The value as "%f" would print it, in the C locale.
  std::string NumericText() const;

  int32_t index() const { return index_; }
  // The MIDI controller that moves it (-1 none) and, for controllers 99
  // (NRPN) and 101 (RPN), the parameter number (-1 none).
  int32_t midi_controller() const { return midi_controller_; }
  int32_t midi_number() const { return midi_number_; }
  void SetMidiAssignment(int32_t controller, int32_t number) {
    midi_controller_ = controller;
    midi_number_ = number;
  }
  // The plug-in's value changed outside this object: its watchers hear it.
  void Changed() { watchers_.Notify(Notification(kNotifyValueChanged, this)); }

 private:
  Ctl_VST_Plugin& owner_;
  const int32_t index_;
  int32_t midi_controller_ = -1;
  int32_t midi_number_ = -1;
  Notifier watchers_;
};

class parameter_vst_xtra final : public generic_parameter {
 public:
  enum Kind : int32_t { kProgram = 0, kProgramName = 1 };

  parameter_vst_xtra(Ctl_VST_Plugin& owner, Kind kind) : owner_(owner), kind_(kind) {}
  ~parameter_vst_xtra() override;

  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override;
  int32_t Datatype() const override;
  // "Program": the current program's number; "Program Name": its name.
  std::string ValueText() const override;
  // "Program" selects the program numbered (other texts and numbers outside
  // the plug-in's programs are ignored); "Program Name" renames the current
  // program.
  void WriteValueText(const std::string& text) override;
  // "Program Name": "<name of program 0>=0" and then ",<name>" for each
  // further program; a "," or "=" inside a name shows as a blank there.
  std::string ItemList() const override;
  float GetNormalised() const override { return 0.0f; }
  void SetNormalised(float) override {}

  Kind kind() const { return kind_; }
  void Changed() { watchers_.Notify(Notification(kNotifyValueChanged, this)); }

 private:
  Ctl_VST_Plugin& owner_;
  const Kind kind_;
  Notifier watchers_;
};

}  // namespace ov
