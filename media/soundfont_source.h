// The editor side of a sound-font module as its generators see it: the
// bank it loaded and its table of channel choices.
#pragma once

#include <cstdint>

namespace ov {

class soundfont_bank;

// A channel's choice in the editor side's table.
struct SoundfontChoice {
  uint8_t bank = 0;
  uint8_t preset = 0;
  bool on = true;
};

// The editor side of a sound-font module, as its generators see it.
class SoundfontSource {
 public:
  virtual ~SoundfontSource() = default;
  // The bank now loaded with a reference taken for the caller, or null.
  // Editor thread, audio stopped.
  virtual soundfont_bank* AcquireBank() = 0;
  // The panel's channel and the table of choices. Any thread (atomics).
  virtual int32_t CurrentChannel() const = 0;
  virtual SoundfontChoice Choice(int32_t channel) const = 0;
};

}  // namespace ov
