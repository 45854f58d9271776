// MIDI automation within a patch context (a container generator with patches
// of its own): controllers arriving at its "MIDI Automator" go to the engine
// side of its patch manager, and values its patch parameters output go back
// out as controller messages.
//
// Threads: both interfaces are called on the audio thread (or the editor
// thread while audio is stopped), and neither allocates.
#pragma once

#include <cstdint>

namespace ov {

// MIDI controller ids: 0x2000000 + controller number, 0x3000000 + RPN
// number, 0x4000000 + NRPN number; -1 none, -2 learning.
inline constexpr int32_t kControllerIdNone = -1;
inline constexpr int32_t kControllerIdLearn = -2;
inline constexpr int32_t kControllerIdPlain = 0x2000000;
inline constexpr int32_t kControllerIdRpn = 0x3000000;
inline constexpr int32_t kControllerIdNrpn = 0x4000000;

class ControllerReceiver {
 public:
  // A controller moved to `normalised` (0 to 1) at sample `time`.
  virtual void OnController(uint32_t time, int32_t id, float normalised) = 0;

 protected:
  ~ControllerReceiver() = default;
};

class AutomationSender {
 public:
  // A patch parameter with controller `id` output `normalised` at `time`;
  // `patch_change` when a patch change caused it.
  virtual void SendAutomation(uint32_t time, int32_t id, float normalised, bool patch_change) = 0;

 protected:
  ~AutomationSender() = default;
};

}  // namespace ov
