// What the audio master needs from the application that owns it.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/vst2.h"

namespace ov {

class EngineHost {
 public:
  virtual ~EngineHost() = default;

  // Audio thread: asks the host for its time information with the given
  // filter flags; null when there is no host or it gives none.
  virtual const vst2::VstTimeInfo* HostTimeInfo(int32_t filter) = 0;

  // Any thread: a fresh message-target identifier, unique within the
  // application (used to register the master itself).
  virtual uint32_t NewTargetId() = 0;

  // Editor thread only, while audio is stopped (engine build and start): a
  // message for the user. The audio thread never calls this.
  virtual void PostUserMessage(std::string_view text) = 0;
};

}  // namespace ov
