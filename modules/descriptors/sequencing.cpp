// Plugs of the drum trigger (a note source with a trigger and a velocity
// output per drum) and of the step sequencers.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr PlugSpec Out(const char* name) { return {name, DR_OUT, DT_FSAMPLE, "0", "", 0, ""}; }

constexpr char kUserNoteHint[] =
    "Set this to the MIDI note number of the percussion you want to use";

constexpr PlugSpec kDrumTrigger[] = {
    {"MIDI In", DR_IN, DT_MIDI, "", "", 0, ""},
    {"Channel", DR_IN, DT_ENUM, "-1", kChannelList, 0x3, kMidiChannel},
    {"Open HH Decay", DR_IN, DT_FSAMPLE, "5", "", 0x1,
     "Three different MIDI notes can trigger a hi-hat, but each one will vary the 'Hi Hat Decay'"},
    {"Pedal HH Decay", DR_IN, DT_FSAMPLE, "3.5", "", 0x1, ""},
    {"Close HH Decay", DR_IN, DT_FSAMPLE, "2.5", "", 0x1, ""},
    Out("Kick Trig"),
    Out("Vel"),
    Out("Snare Trig"),
    Out("Vel"),
    Out("Hi Hat Trig"),
    Out("Vel"),
    Out("Hi Hat Decay"),
    Out("Cow Bell Trig"),
    Out("Vel"),
    Out("Tom1 Trig"),
    Out("Vel"),
    Out("Tom2 Trig"),
    Out("Vel"),
    Out("Tom3 Trig"),
    Out("Vel"),
    Out("Clap Trig"),
    Out("Vel"),
    Out("Crash Trig"),
    Out("Vel"),
    Out("Tamb Trig"),
    Out("Vel"),
    Out("Ride Trig"),
    Out("Vel"),
    Out("User1 Trig"),
    Out("Vel"),
    Out("User2 Trig"),
    Out("Vel"),
    {"User1 Note #", DR_PARAMETER, DT_ENUM, "62", "range 0,127", 0, kUserNoteHint},
    {"User2 Note #", DR_PARAMETER, DT_ENUM, "64", "range 0,127", 0, ""},
    {"User3 Note #", DR_PARAMETER, DT_ENUM, "70", "range 0,127", 0, kUserNoteHint},
    {"User4 Note #", DR_PARAMETER, DT_ENUM, "37", "range 0,127", 0, ""},
    Out("User3 Trig"),
    Out("Vel"),
    Out("User4 Trig"),
    Out("Vel"),
};
static_assert(std::size(kDrumTrigger) == 40);

// "Step Sequencer" and "Drum Sequencer" share one generator.
constexpr PlugSpec kStepSequencer[] = {
    {"Channel", DR_IN, DT_ENUM, "-1", kChannelList, 3, kMidiChannel},
    {"MIDI In", DR_IN, DT_MIDI, "0", "", 0, "Used to Sync tempo to an external MIDI clock source."},
    {"Ignore Program Change", DR_PARAMETER, DT_BOOL, "0", "", 0,
     "Prevents this responding to patch changes from 'Patch Select' module"},
    {"MIDI Out", DR_OUT, DT_MIDI, "", "", 0,
     "Connect this to a Synth.  Also outputs MIDI time sync info."},
    {"Clock Sync", DR_PARAMETER, DT_ENUM, "0", "Internal,MIDI In", 0,
     "Synchronise Timing to MIDI Input, or Self-Generate Timing"},
};

}  // namespace

constinit const PlugTable kDrumTriggerPlugs = kDrumTrigger;
constinit const PlugTable kStepSequencerPlugs = kStepSequencer;

}  // namespace ov
