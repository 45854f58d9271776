#include "platform/sound_player.h"

#include "platform/process_starter.h"

namespace ov {
namespace {

class SystemSoundPlayer : public SoundPlayer {
 public:
  bool Play(const std::string& path) override {
    // Players that have finished are reaped here rather than by a signal
    // handler, which belongs to the host.
    starter_.Reap();
    for (const char* program : {"paplay", "aplay"}) {
      if (starter_.Start({program, path}, "")) return true;
    }
    return false;
  }

 private:
  ProcessStarter starter_;
};

SoundPlayer* replacement = nullptr;

}  // namespace

SoundPlayer& CurrentSoundPlayer() {
  static SystemSoundPlayer system;
  return replacement != nullptr ? *replacement : system;
}

void ReplaceSoundPlayer(SoundPlayer* player) { replacement = player; }

}  // namespace ov
