// "Patch Select": program changes between MIDI and the patches. A program
// change on "MIDI In" selects that patch (through the module's document
// half at the editor's next idle); a patch selected anywhere goes out as a
// program change on "MIDI Out" and reaches the voices of the module's patch
// context, whose control generators take their value for it.
//
// Threads: made and opened on the editor thread while audio is stopped;
// MIDI, notifications and sending on the audio thread, allocating nothing.
// The program is shared: the editor thread writes it before notifying, the
// audio thread writes it before asking for a refresh, and each side acts
// only on the message that follows the other's write.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "modules/host_io.h"

namespace ov {

class ug_patch_sel : public ug_midi_device {
 public:
  enum Plug : int32_t { kChannel, kMidiIn, kMidiOut };
  // Notification kind: send the program (a change made on the editor side).
  static constexpr int32_t kNotifySendProgram = 5;

  ug_patch_sel() : ug_midi_device(kMidiIn, kChannel) {}
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void OnNotify(int32_t kind, int32_t value) override;

  // Any thread.
  uint16_t Program() const { return program_.load(std::memory_order_acquire); }
  // Editor thread; a notification of kind kNotifySendProgram follows.
  void SetProgram(uint16_t program) { program_.store(program, std::memory_order_release); }

 protected:
  void OnMidi(uint32_t time, uint32_t word) override;

 private:
  // The program on "MIDI Out" and to the patch context's voices; only
  // while open.
  void SendProgramChange();

  std::atomic<uint16_t> program_{0};
};

}  // namespace ov
