// The media modules' types: the file players and recorders and the SoundFont
// players, registered under the numbers old documents know them by.
#include "media/media_types.h"

#include <memory>

#include "media/midi_player.h"
#include "media/midi_recorder.h"
#include "media/soundfont_osc.h"
#include "media/soundfont_player.h"
#include "media/wave_player.h"
#include "media/wave_recorder.h"
#include "modules/module_info.h"

namespace ov {
namespace {

struct MediaType {
  const char* key;
  int32_t legacy_number;
  int32_t module_flags;
  const char* document_class;
  uint32_t category_resource;
  std::unique_ptr<ug_base> (*make)();
};

template <typename Generator>
std::unique_ptr<ug_base> Make() {
  return std::make_unique<Generator>();
}

constexpr uint32_t kWaveformCategory = 32820;

const MediaType kMediaTypes[] = {
    {"Audio Out", 1, 0x108, "", 0, &Make<ug_wave_out>},
    {"MIDI Player", 8, 0x100, "", 0, &Make<ug_midi_player>},
    {"Sample Player obsolete", 27, 0x168, "", 0, &Make<ug_sample_player>},
    {"Audio In", 29, 0x108, "", 0, &Make<ug_wave_in>},
    {"MIDI Recorder", 81, 0x100, "", 0, &Make<ug_midi_recorder>},
    {"Soundfont Oscillator", 114, 0x180, "Cosc_sf", kWaveformCategory, &Make<ug_osc_sf>},
    {"Soundfont Player", 86, 0x1e0, "Ctl_SamplePlay2", 0, &Make<ug_sample_player2>},
    {"Wave Player", 122, 0x100, "", 0, &Make<ug_wave_player>},
    {"Wave Recorder", 123, 0x100, "", 0, &Make<ug_wave_recorder>},
};

}  // namespace

void RegisterMediaModules(ModuleRegistry& registry) {
  for (const MediaType& type : kMediaTypes) {
    registry.RegisterModule(std::make_unique<Module_Info>(
        type.key, "", 0, type.category_resource, type.document_class, type.make,
        type.module_flags, type.legacy_number));
  }
}

}  // namespace ov
