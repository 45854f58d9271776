// The editor base that the dispatcher forwards window operations to.
// Thread: editor (the host's user-interface thread).
#pragma once

#include <cstdint>

#include "platform/vst2.h"

namespace ov {

class AudioEffect;

class AEffEditor {
 public:
  explicit AEffEditor(AudioEffect* effect) : effect_(effect) {}
  virtual ~AEffEditor() = default;

  // Stores a pointer to the editor's rectangle in *rect; true when it did.
  virtual bool getRect(vst2::ERect** rect) = 0;
  // `window` is the host's parent window (an X11 Window id on Linux).
  virtual bool open(void* window) = 0;
  virtual void close() = 0;
  virtual void idle() {}
  // Key events: answers 1 when the editor used the key.
  virtual int32_t onKeyDown(int32_t character, int32_t virtual_key, int32_t modifiers) {
    (void)character, (void)virtual_key, (void)modifiers;
    return 0;
  }
  virtual int32_t onKeyUp(int32_t character, int32_t virtual_key, int32_t modifiers) {
    (void)character, (void)virtual_key, (void)modifiers;
    return 0;
  }
  virtual bool setKnobMode(int32_t mode) {
    (void)mode;
    return false;
  }
  virtual bool isOpen() const = 0;

 protected:
  AudioEffect* effect_;
};

}  // namespace ov
