// The engine side of a panel parameter that a host sets directly: at the
// block start after a set from another thread, the host parameter hands the
// engine half its normalised value without a trip through the editor.
//
// Threads: audio (or the editor thread while audio is stopped).
#pragma once

namespace ov {

class ControlEngineHalf {
 public:
  // The host set the parameter to `normalised` (0..1); the value reaches
  // every voice copy of the module as well.
  virtual void SetNormalisedFromHost(float normalised) = 0;

 protected:
  ~ControlEngineHalf() = default;
};

}  // namespace ov
