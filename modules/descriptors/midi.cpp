// Plugs of the MIDI modules and note sources.
#include "modules/controller_names.h"
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr PlugSpec kMidiInZero = {"MIDI In", DR_IN, DT_MIDI, "0", "", 0, ""};
constexpr PlugSpec kMidiOut = {"MIDI Out", DR_OUT, DT_MIDI, "", "", 0, ""};
constexpr PlugSpec kDeviceChannel = {"Channel",    DR_IN, DT_ENUM,     "-1",
                                     kChannelList, 0x3,   kMidiChannel};

constexpr PlugSpec kMidiFilter[] = {
    {"MIDI In", DR_IN, DT_MIDI, "", "", 0, "MIDI Input Plug"},
    {"MIDI Out", DR_OUT, DT_MIDI, "", "", 0, "MIDI Output Plug"},
    {"Channel Lo", DR_IN, DT_ENUM, "1", "range 1,16", 0x1, "MIDI Channel Low"},
    {"Channel Hi", DR_IN, DT_ENUM, "16", "range 1,16", 0x1, "MIDI Channel Hi"},
    {"Note Lo", DR_IN, DT_ENUM, "0", "range 0,127", 0x1, "Note Low"},
    {"Note Hi", DR_IN, DT_ENUM, "127", "range 0,127", 0x1, "Note Hi"},
    {"Velocity Lo", DR_IN, DT_ENUM, "0", "range 0,127", 0x1, "Velocity Low"},
    {"Velocity Hi", DR_IN, DT_ENUM, "127", "range 0,127", 0x1, "Velocity Hi"},
};

constexpr PlugSpec ControllerType(const char* default_text) {
  return {"Type",
          DR_IN,
          DT_ENUM,
          default_text,
          kControllerListText,
          0x1,
          "Choose which MIDI controller you want converted to a Voltage output"};
}
constexpr PlugSpec kControllerOut = {"Controller", DR_OUT, DT_FSAMPLE, "", "", 0, ""};

constexpr PlugSpec kControllers[] = {
    kMidiInZero,
    kDeviceChannel,
    ControllerType("1"),
    ControllerType("2"),
    ControllerType("3"),
    ControllerType("4"),
    {"Aftertouch", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Bender", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    kControllerOut,
    kControllerOut,
    kControllerOut,
    kControllerOut,
};

constexpr PlugSpec kCvMidi[] = {
    {"Gate", DR_IN, DT_FSAMPLE, "0", "", 0, "Triggers the Note on message"},
    {"Pitch", DR_IN, DT_FSAMPLE, "5", "", 0, "Sets the note pitch"},
    {"Velocity", DR_IN, DT_FSAMPLE, "5", "", 0, "Sets the note velocity"},
    {"Channel", DR_IN, DT_ENUM, "0", kChannelList, 0, kMidiChannel},
    kMidiOut,
    {"Freq Scale", DR_IN, DT_ENUM, "0", kFreqScaleList, 0, kFreqScaleHint},
};

constexpr PlugSpec kKeyboard[] = {
    {"Channel", DR_IN, DT_ENUM, "0", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16", 0x3, kMidiChannel},
    kMidiOut,
};

constexpr PlugSpec kMidiMonitor[] = {
    {"MIDI In", DR_IN, DT_MIDI, "", "", 0, "MIDI Input Plug"},
    kDeviceChannel,
};

constexpr PlugSpec kMidiOutModule[] = {kMidiInZero};

constexpr PlugSpec kMidiInModule[] = {{"MIDI Data", DR_OUT, DT_MIDI, "", "", 0, ""}};

// The note-source base: its channel is the MIDI input's channel filter.
constexpr std::array<PlugSpec, 2> kNoteSource = {{
    kMidiInZero,
    {"Channel", DR_IN, DT_ENUM, "-1", kChannelList, 0, kMidiChannel},
}};

constexpr std::array<PlugSpec, 9> kMidiToCvOwn = {{
    {"Bend Range", DR_IN, DT_ENUM, "12", "range 0,12", 0, "Maximum MIDI bender range in semitones"},
    {"Gate", DR_OUT, DT_FSAMPLE, "0", "", 0, "Use this to control an envelope (ADSR)"},
    {"Pitch", DR_OUT, DT_FSAMPLE, "0", "", 0, "Use this to control an Oscillator or Filter Pitch"},
    {"Velocity", DR_OUT, DT_FSAMPLE, "0", "", 0,
     "Provides MIDI velocity level (How fast you hit the key)"},
    {"Aftertouch", DR_OUT, DT_FSAMPLE, "0", "", 0, "Provides MIDI Aftertouch level"},
    {"Mono Mode", DR_IN, DT_ENUM, "0", "On=1,Off=0", 0,
     "Limit sound to one voice. Enables the Retrigger option"},
    {"Retrigger", DR_IN, DT_ENUM, "1", "On=1,Off=0", 0,
     "Retrigger Envelopes when playing legato (you hit a note before releasing previous). Used "
     "with Mono Mode."},
    {"Portamento Time", DR_IN, DT_FSAMPLE, "0", "", 0x202,
     "Time for pitch to slide to a new note (When you play legato)"},
    {"Mono Note Priority", DR_IN, DT_ENUM, "3", "Off,Low,High,Last", 0, ""},
}};
constexpr auto kMidiToCv = JoinPlugs(kNoteSource, kMidiToCvOwn);

// "Sample Player obsolete": a note source with a file and two silent outputs.
constexpr std::array<PlugSpec, 3> kSamplePlayerOwn = {{
    {"File Name", DR_IN, DT_TEXT, "SoundFont", "sf2", 0x10, kSoundFontFileHint},
    {"Left Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Right Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
}};
constexpr auto kSamplePlayer = JoinPlugs(kNoteSource, kSamplePlayerOwn);

}  // namespace

constinit const PlugTable kMidiFilterPlugs = kMidiFilter;
constinit const PlugTable kMidiControllersPlugs = kControllers;
constinit const PlugTable kCvMidiPlugs = kCvMidi;
constinit const PlugTable kMidiKeyboardPlugs = kKeyboard;
constinit const PlugTable kMidiMonitorPlugs = kMidiMonitor;
constinit const PlugTable kMidiOutPlugs = kMidiOutModule;
constinit const PlugTable kMidiInPlugs = kMidiInModule;
constinit const PlugTable kNoteSourcePlugs = kNoteSource;
constinit const PlugTable kMidiToCvPlugs = kMidiToCv;
constinit const PlugTable kSamplePlayerPlugs = kSamplePlayer;

}  // namespace ov
