// A panel parameter: one value of a document object that panel controls
// and the host show and change, whatever holds it (a plug, a control
// module, a hosted plug-in's parameter).
//
// How a widget uses it: derive from ParamWatcher (not from the parameter),
// call Watch(parameter) when the widget is bound, read GetNormalised() or
// ValueText() to draw, and write with SetNormalised() or WriteValueText().
// The parameter tells its watchers through OnParameterChanged (code 31,
// which also follows the widget's own writes), OnParameterRenamed (code
// 10), OnParameterEnabled (code 38: Enabled() may have changed) and
// OnParameterGone (code 8, after which Watched() is null).
//
// Threads: editor only, like the document.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "document/notifier.h"

namespace ov {

class ControlEngineHalf;

class generic_parameter {
 public:
  virtual ~generic_parameter() = default;

  // Where its watchers listen: codes 31 (value), 10 (name), 8 (going).
  // Whatever holds the notifier sends code 8 from its destructor, so that
  // no watcher keeps the parameter past its end.
  virtual Notifier& Watchers() = 0;

  virtual std::string Name() const = 0;
  // The datatype codes of plugs (0 enumerated, 1 text, 3 double, 4 bool,
  // 6 float, 8 integer).
  virtual int32_t Datatype() const = 0;
  virtual bool Automatable() const { return false; }
  virtual bool DisplayOnly() const { return false; }
  // Whether a panel may edit it now; a change is announced with code 38.
  virtual bool Enabled() const { return true; }
  virtual std::string Label() const { return {}; }

  // The value as text, and writing it; a write that changes the value is
  // heard by every watcher (code 31).
  virtual std::string ValueText() const = 0;
  virtual void WriteValueText(const std::string& text) = 0;
  // The item list of an enumerated parameter (list syntax), else empty.
  virtual std::string ItemList() const { return {}; }

  // The normalised view (0..1), by datatype unless a kind says otherwise:
  // enumerated: the current item's position / (count - 1), set picks item
  // floor((count - 0.00001) x); double (volts): value x 0.1, set writes
  // 10 x; float: the value itself, set writes x; bool: 1 for the text "1",
  // set writes "0" below 0.5 and "1" from it; any other: 0, set does
  // nothing. A value outside 0..1 is taken as the
  // nearest bound, NaN and infinities as 0.
  virtual float GetNormalised() const;
  virtual void SetNormalised(float x);
  // The text a normalised value would show: the item's text (enumerated,
  // item trunc(count x) kept within the list), "true" above 0.5 else
  // "false" (bool), otherwise the current value text.
  virtual std::string TextForNormalised(float x) const;

  // The running engine's half that takes this parameter's normalised value
  // directly (a control module's generator), or null: no engine, or the
  // value goes through the editor side.
  virtual ControlEngineHalf* EngineHalf() const { return nullptr; }
};

// Follows one generic parameter (or none). Derive from it and override
// the handlers; the watcher stops listening when destroyed.
class ParamWatcher {
 public:
  ParamWatcher();
  virtual ~ParamWatcher();
  ParamWatcher(const ParamWatcher&) = delete;
  ParamWatcher& operator=(const ParamWatcher&) = delete;

  // Stops following the one before; null follows nothing.
  void Watch(generic_parameter* parameter);
  generic_parameter* Watched() const { return parameter_; }

 protected:
  virtual void OnParameterChanged() {}
  virtual void OnParameterRenamed(std::string_view /*name*/) {}
  virtual void OnParameterEnabled() {}
  // The parameter is being destroyed; it is already forgotten.
  virtual void OnParameterGone() {}

 private:
  // A member rather than a base, so that a visual object (itself a
  // listener of its module) can watch a parameter too.
  class Listener : public Notifiable {
   public:
    explicit Listener(ParamWatcher& owner) : owner_(owner) {}
    void OnNotify(const Notification& notification) override;

   private:
    ParamWatcher& owner_;
  };

  Listener listener_;
  generic_parameter* parameter_ = nullptr;
};

}  // namespace ov
