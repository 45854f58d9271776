// Plugs of the modules that select patches, automate parameters over MIDI
// and expose patch memory to the engine.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr char kChannelSelection[] = "MIDI Channel selection";

constexpr PlugSpec kPatchSelect[] = {
    {"Channel", DR_IN, DT_ENUM, "-1", kChannelList, 3, kMidiChannel},
    {"MIDI In", DR_IN, DT_MIDI, "0", "", 0, ""},
    {"MIDI Out", DR_OUT, DT_MIDI, "", "", 0, "Transmits MIDI Program change messages"},
};

constexpr PlugSpec kMidiAutomator[] = {
    {"Channel", DR_IN, DT_ENUM, "-1", kChannelList, 3, kChannelSelection},
    {"MIDI In", DR_IN, DT_MIDI, "0", "", 0,
     "Use this to automate the controls from a MIDI sequence"},
    {"MIDI Out", DR_OUT, DT_MIDI, "", "", 0,
     "Sends MIDI controller messages when control is changed"},
    {"Hidden Output", DR_OUT, DT_MIDI, "0", "", 0x100,
     "Allows routing setup to position this ug correctly in sortorder"},
    {"Send All On Patch Change", DR_PARAMETER, DT_BOOL, "0", "", 0,
     "Sends all MIDI Controllers when patch changes, usefull when using OV as a front-end for "
     "imbedded VSTs"},
};

constexpr PlugSpec kMidiAutomatorOut[] = {
    {"Channel", DR_IN, DT_ENUM, "0", kChannelList, 3, kChannelSelection},
    {"Hidden Input", DR_IN, DT_MIDI, "0", "", 0, ""},
    {"MIDI Out", DR_OUT, DT_MIDI, "", "", 0, ""},
    {"Hidden Output", DR_OUT, DT_MIDI, "0", "", 0x100, ""},
};

// "Value" and "Text Out" share one text.
constexpr PlugSpec kParamTextIn[] = {
    {"Value", DR_IN, DT_TEXT, "", "", 0x8400, ""},
    {"Text Out", DR_OUT, DT_TEXT, "", "", 0, ""},
    {"File Dialog", DR_IN, DT_BOOL, "", "", 0x400, ""},
    {"Name", DR_IN, DT_TEXT, "", "", 0x400, ""},
};

constexpr PlugSpec kParamFloatOut[] = {
    {"Signal in", DR_IN, DT_FSAMPLE, "0", "", 512, kInputSignal},
    {"MIDI In", DR_IN, DT_MIDI, "0", "", 256, ""},
    {"MIDI Out", DR_OUT, DT_MIDI, "", "", 256, ""},
    {"Response", DR_PARAMETER, DT_ENUM, "4", "VU,PPM,Peak,HeadRoom, DC (Fast), DC Average", 0, ""},
    {"Update Rate", DR_PARAMETER, DT_ENUM, "10", "1 Hz=1,5 Hz=5,10 Hz=10,20 Hz=20,40 Hz=40", 0, ""},
};

}  // namespace

constinit const PlugTable kPatchSelPlugs = kPatchSelect;
constinit const PlugTable kMidiAutomatorPlugs = kMidiAutomator;
constinit const PlugTable kMidiAutomatorOutPlugs = kMidiAutomatorOut;
constinit const PlugTable kParamTextInPlugs = kParamTextIn;
constinit const PlugTable kParamFloatOutPlugs = kParamFloatOut;

}  // namespace ov
