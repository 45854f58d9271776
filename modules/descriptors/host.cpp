// Plugs of the modules that meet the host or other plug-ins: the host's
// audio and MIDI, hosted VST plug-ins and external module libraries.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

// "Audio" repeats once per host channel.
constexpr PlugSpec kVstIn[] = {
    {"MIDI Out", DR_OUT, DT_MIDI, "0", "", 0, ""},
    {"Audio", DR_OUT, DT_FSAMPLE, "", "", 0x08, ""},
};

constexpr PlugSpec kVstOut[] = {
    {"MIDI In", DR_IN, DT_MIDI, "0", "", 0, ""},
    {"Audio", DR_IN, DT_FSAMPLE, "", "", 0x248, ""},
};

// The audio plugs repeat once per channel of the hosted plug-in.
constexpr PlugSpec kVstPlugin[] = {
    {"MIDI In", DR_IN, DT_MIDI, "", "", 0, "MIDI Input Plug"},
    {"Channel", DR_IN, DT_ENUM, "-1", kChannelList, 3, kMidiChannel},
    {"MIDI Out", DR_OUT, DT_MIDI, "", "", 0, "MIDI Output Plug"},
    {"Signal in", DR_IN, DT_FSAMPLE, "0", "", 65, ""},
    {"Signal Out", DR_OUT, DT_FSAMPLE, "", "", 64, ""},
    {"ProcessReplacing Fix", DR_PARAMETER, DT_BOOL, "0", "", 0,
     "Some Plugins malfunction in 'ProcessReplacing' mode. This works around the 'bug'"},
    {"Data Alignment Fix", DR_PARAMETER, DT_BOOL, "0", "", 0,
     "Some Plugins expect audio aligned in memory. This fixes the problem (with some performance "
     "overhead)"},
    {"MIDI Automation", DR_PARAMETER, DT_BOOL, "0", "", 0,
     "Enables Automation of incoming MIDI to plugin's paramters"},
};

// Stand-ins for plugs whose real list is not known: a module of an external
// library that is not loaded, or of a type this library keeps only so that
// projects using it still load.
constexpr PlugSpec kPlaceholder = {"", DR_CONTAINER_IO, DT_FSAMPLE, "0", "", 0x44, ""};
constexpr PlugSpec kPlaceholders[] = {
    kPlaceholder, kPlaceholder, kPlaceholder, kPlaceholder, kPlaceholder,
    kPlaceholder, kPlaceholder, kPlaceholder, kPlaceholder, kPlaceholder,
    kPlaceholder, kPlaceholder, kPlaceholder, kPlaceholder, kPlaceholder,
    kPlaceholder, kPlaceholder, kPlaceholder, kPlaceholder, kPlaceholder,
};

}  // namespace

constinit const PlugTable kVstInPlugs = kVstIn;
constinit const PlugTable kVstOutPlugs = kVstOut;
constinit const PlugTable kVstPluginPlugs = kVstPlugin;
constinit const PlugTable kPlaceholderPlugs = kPlaceholders;

}  // namespace ov
