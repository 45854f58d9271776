#include "platform/sound_player.h"

#include <spawn.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace ov {
namespace {

class SystemSoundPlayer : public SoundPlayer {
 public:
  bool Play(const std::string& path) override {
    // Players that have finished are reaped here rather than by a signal
    // handler, which belongs to the host.
    std::erase_if(children_, [](pid_t child) { return waitpid(child, nullptr, WNOHANG) != 0; });
    for (const char* program : {"paplay", "aplay"}) {
      std::string name(program);
      std::string file(path);
      char* argv[] = {name.data(), file.data(), nullptr};
      pid_t child = 0;
      if (posix_spawnp(&child, program, nullptr, nullptr, argv, environ) == 0) {
        children_.push_back(child);
        return true;
      }
    }
    return false;
  }

 private:
  std::vector<pid_t> children_;
};

SoundPlayer* replacement = nullptr;

}  // namespace

SoundPlayer& CurrentSoundPlayer() {
  static SystemSoundPlayer system;
  return replacement != nullptr ? *replacement : system;
}

void ReplaceSoundPlayer(SoundPlayer* player) { replacement = player; }

}  // namespace ov
