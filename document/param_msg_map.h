// One facet of a panel parameter shown as a parameter of its own, so that
// a generic control can show or edit it: the parameter's name (30), its
// value text (31), its MIDI controller (32) or its NRPN number (33).
//
// A target offers renaming and MIDI assignment by also implementing
// ParameterAssignments; without it those facets read the defaults and
// take no writes.
//
// Threads: editor only, like the document.
#pragma once

#include <cstdint>
#include <string>

#include "document/generic_parameter.h"
#include "document/notifier.h"

namespace ov {

class ParameterAssignments {
 public:
  // False when the name cannot change.
  virtual bool Rename(const std::string& name) = 0;
  virtual int32_t MidiControllerId() const = 0;  // -1 none
  virtual void SetMidiControllerId(int32_t id) = 0;
  virtual int32_t Nrpn() const = 0;
  virtual void SetNrpn(int32_t nrpn) = 0;

 protected:
  ~ParameterAssignments() = default;
};

class ParamMsgMap final : public generic_parameter, private Notifiable {
 public:
  enum Facet : int32_t { kName = 30, kValueText = 31, kController = 32, kNrpn = 33 };
  ParamMsgMap(generic_parameter* target, Facet facet);
  ~ParamMsgMap() override;
  ParamMsgMap(const ParamMsgMap&) = delete;
  ParamMsgMap& operator=(const ParamMsgMap&) = delete;

  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override;
  int32_t Datatype() const override;
  bool DisplayOnly() const override;
  std::string ValueText() const override;
  // Facet 30 renames the target; 32 and 33 take a base-10 integer.
  void WriteValueText(const std::string& text) override;
  std::string ItemList() const override;
  generic_parameter* target() const { return target_; }

 private:
  // The target's notification of this facet's code is heard as ours; its
  // going (code 8) leaves the adaptor without a target.
  void OnNotify(const Notification& notification) override;
  ParameterAssignments* Assignments() const;

  generic_parameter* target_;
  Facet facet_;
  Notifier watchers_;
};

}  // namespace ov
