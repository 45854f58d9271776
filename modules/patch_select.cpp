#include "modules/patch_select.h"

#include "engine/audio_master.h"
#include "engine/midi_word.h"
#include "engine/ug_container.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/plug_table.h"

namespace ov {

std::unique_ptr<ug_base> ug_patch_sel::CreateInstance() const {
  return std::make_unique<ug_patch_sel>();
}

void ug_patch_sel::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kPatchSelPlugs, {channel_, {}, {}}, descriptors);
}

void ug_patch_sel::OnMidi(uint32_t, uint32_t word) {
  if ((word & 0xF0) != midi::kProgramChange) return;
  const auto program = static_cast<uint16_t>((word >> 8) & 0x7F);
  if (program == Program()) return;
  program_.store(program, std::memory_order_release);
  SendProgramChange();
  RequestRefresh();
}

void ug_patch_sel::OnNotify(int32_t kind, int32_t value) {
  if (kind == kNotifySendProgram) {
    SendProgramChange();
    return;
  }
  ug_base::OnNotify(kind, value);
}

void ug_patch_sel::SendProgramChange() {
  if ((Flags() & UGF_OPEN) == 0 || Master() == nullptr) return;
  const uint32_t program = Program() & 0x7Fu;
  const uint32_t channel = channel_ >= 0 ? static_cast<uint32_t>(channel_) & 0x0Fu : 0u;
  SendMidi(*plug(kMidiOut), Clock(), midi::Word(midi::kProgramChange + channel, program));
  ug_container* holder = Container();
  if (holder == nullptr) return;
  const uint32_t at = Master()->SliceEnd();
  for (int32_t index = holder->VoiceCount() - 1; index >= 0; --index) {
    for (ug_base* generator : holder->voice(index).generators) {
      if ((generator->Flags() & UGF_OPEN) != 0 && generator->PatchContext() == PatchContext()) {
        generator->QueueProgramChange(at, static_cast<int32_t>(program));
      }
    }
  }
}

}  // namespace ov
