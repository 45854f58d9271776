// Plugs of the panel control modules and the routing switches.
#include "modules/controller_names.h"
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr char kShowTitleHint[] = "Leaves control's title blank on Control Panel";
constexpr char kAppearanceHint[] = "Sets the appearance of the control";

// Every control generator lists these first: its MIDI controller plugs.
constexpr std::array<PlugSpec, 6> kControlCommon = {{
    {"Channel", DR_IN, DT_ENUM, "-1", kChannelList, 259, kMidiChannel},
    {"MIDI In", DR_IN, DT_MIDI, "0", "", 256, ""},
    {"MIDI Out", DR_OUT, DT_MIDI, "", "", 256, ""},
    {"MIDI Controller ID", DR_PARAMETER, DT_ENUM, "-1", kControllerListText, 1,
     "Sets which MIDI controller this sends/responds to"},
    {"Ignore Program Change", DR_PARAMETER, DT_BOOL, "0", "", 0, kIgnoreProgramChangeHint},
    {"MIDI NRPN", DR_PARAMETER, DT_ENUM, "0", "range 0,16255", 0,
     "Used with Controller 99 and 101 to provide user definable controllers"},
}};

constexpr std::array<PlugSpec, 6> kSliderOwn = {{
    {"Signal Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Lo Value", DR_PARAMETER, DT_FLOAT, "0", "", 0, "Minimum output value"},
    {"Hi Value", DR_PARAMETER, DT_FLOAT, "10", "", 0, "Maximum output value"},
    {"Appearance", DR_PARAMETER, DT_ENUM, "1",
     "None=-1,Plain Slider, Vert Slider, Horiz Slider, Knob, Button, Button (toggle),Plain "
     "Button, Small Knob, Small Button, Small Button (Toggle)",
     0, kAppearanceHint},
    {"Show Readout", DR_PARAMETER, DT_BOOL, "1", "", 0, "Adds text readout of value"},
    {"Show Title On Panel", DR_PARAMETER, DT_BOOL, "1", "", 0, kShowTitleHint},
}};

constexpr std::array<PlugSpec, 3> kComboboxOwn = {{
    {"Choice", DR_OUT, DT_ENUM, "", "", 0, "Connect this to any input needing a list of values"},
    {"Appearance", DR_PARAMETER, DT_ENUM, "0",
     "Combo Box=0, LED Stack, Labeled LED Stack, Selector, Button Stack, Rotary Switch, Rotary "
     "(No Text), Up/Down Select",
     0, kAppearanceHint},
    {"Show Title On Panel", DR_PARAMETER, DT_BOOL, "1", "", 0, kShowTitleHint},
}};

constexpr std::array<PlugSpec, 2> kTextEntryOwn = {{
    {"Text Out", DR_OUT, DT_TEXT, "0", "", 0, ""},
    {"Show Title On Panel", DR_PARAMETER, DT_BOOL, "1", "", 0, kShowTitleHint},
}};

constexpr auto kSlider = JoinPlugs(kControlCommon, kSliderOwn);
constexpr auto kCombobox = JoinPlugs(kControlCommon, kComboboxOwn);
constexpr auto kTextEntry = JoinPlugs(kControlCommon, kTextEntryOwn);

// The choice list is the names of whatever the spare plugs connect to.
constexpr PlugSpec kSwitchChoice = {
    "Choice",
    DR_IN,
    DT_ENUM,
    "0",
    "{AUTO}",
    0,
    "Chooses which output to route the input signal to.  Connect to a 'List Entry' module."};

constexpr PlugSpec kSwitch[] = {
    kSwitchChoice,
    {"Input", DR_IN, DT_FSAMPLE, "0", "", 512, ""},
    {"Spare Output", DR_OUT, DT_FSAMPLE, "", "", 76, ""},
};

constexpr PlugSpec kSwitch2[] = {
    kSwitchChoice,
    {"Output", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Spare Input", DR_IN, DT_FSAMPLE, "", "", 588, ""},
};

}  // namespace

constinit const PlugTable kControlCommonPlugs = kControlCommon;
constinit const PlugTable kSliderPlugs = kSlider;
constinit const PlugTable kComboboxPlugs = kCombobox;
constinit const PlugTable kTextEntryPlugs = kTextEntry;
constinit const PlugTable kSwitchPlugs = kSwitch;
constinit const PlugTable kSwitch2Plugs = kSwitch2;

}  // namespace ov
