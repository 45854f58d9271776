// Plugs of the types the graph itself is made of: containers, their inner
// input/output module, and the adders that sum voices.
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

// A container plug connects to a module on the other side of the container
// boundary. The spare one is duplicated when connected and then takes the name
// of the plug it reaches; its datatype follows what it is connected to.
constexpr PlugSpec kContainer[] = {
    {"Polyphony", DR_PARAMETER, DT_ENUM, "6", "range 1,200", 0,
     "Limits the number of notes you can play at once. (Changes take effect next time you "
     "re-start the sound)"},
    {"MIDI Automation", DR_PARAMETER, DT_ENUM, "0", "Off,On Panel,On Module", 0, ""},
    {"Show Controls", DR_PARAMETER, DT_BOOL, "0", "", 0, ""},
    {"Spare", DR_CONTAINER_IO, DT_FSAMPLE, "", "", 0x0C, "Connection to a module inside"},
};

// The inside face of a container's plugs.
constexpr PlugSpec kIoMod[] = {
    {"Spare", DR_CONTAINER_IO, DT_FSAMPLE, "", "", 0x0C, "Connection to a module outside"},
};

// The engine's audio adder lists these itself; the voice combiner and the
// voice monitor are adders too. Output 0; input 1 collects every connection.
constexpr PlugSpec kAdder[] = {
    {"Signal Out", DR_OUT, DT_FSAMPLE, "0", "", 0, ""},
    {"Signals In", DR_IN, DT_FSAMPLE, "0", "", 0x80, ""},
};

}  // namespace

constinit const PlugTable kContainerPlugs = kContainer;
constinit const PlugTable kIoModPlugs = kIoMod;
constinit const PlugTable kAdderPlugs = kAdder;

}  // namespace ov
