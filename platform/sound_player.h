// Playing a sound file once, without waiting for it: the desktop's own
// player program ("paplay", else "aplay") started directly, with no shell.
// Tests put a fake in its place.
// Thread: editor.
#pragma once

#include <string>

namespace ov {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // False when no player could be started.
  virtual bool Play(const std::string& path) = 0;
};

// The player in use: the system's, unless replaced.
SoundPlayer& CurrentSoundPlayer();
// Replaces it until called again with null (tests). Editor thread.
void ReplaceSoundPlayer(SoundPlayer* player);

}  // namespace ov
