// Plugs of the feedback delay, the wave shapers and the small signal
// utilities.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr PlugSpec kFeedbackDelay[] = {
    {"Audio In", DR_IN, DT_FSAMPLE, "0", "", 0x200, ""},
    {"Audio Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Delay Time Out", DR_OUT, DT_FSAMPLE, "", "", 0,
     "The delay in milliseconds that this module adds to the signal (OUTPUT ONLY)."},
};

constexpr PlugSpec kPeakDetector[] = {
    {"Signal in", DR_IN, DT_FSAMPLE, "0", "", 0x1, kInputSignal},
    {"Attack", DR_IN, DT_FSAMPLE, "8", "", 0x1,
     "Rate at which current_level rises to track input level"},
    {"Decay", DR_IN, DT_FSAMPLE, "7", "", 0x1,
     "Rate at which current_level falls to track input level"},
    {"Signal Out", DR_OUT, DT_FSAMPLE, "0", "", 0, "current_level Signal"},
};

constexpr PlugSpec kTestTone[] = {
    {"Signal Out", DR_OUT, DT_FSAMPLE, "0", "", 0, "Output Signal"},
};

// The output repeats: one per preset value.
constexpr PlugSpec kFixedValues[] = {
    {"Spare Value", DR_OUT, DT_FSAMPLE, "0", "", 0x6C, "Pre-Set Voltage"},
};

constexpr PlugSpec kSystemCommand[] = {
    {"Trigger in", DR_IN, DT_FSAMPLE, "0", "", 0x1,
     "Whenever this input exceeds 3.33 Volts, the DOS command is executed."},
    {"Command", DR_IN, DT_TEXT, "", "", 0, "The DOS command to execute."},
};

// Both wave shapers; "shape" is the curve, stored per patch.
constexpr PlugSpec kWaveShaper[] = {
    {"Signal In", DR_IN, DT_FSAMPLE, "0", "", 0x1, ""},
    {"Signal Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Ignore Program Change", DR_PARAMETER, DT_BOOL, "0", "", 0x100, kIgnoreProgramChangeHint},
    {"shape", DR_IN, DT_TEXT, "", "", 0x8500, ""},
};

}  // namespace

constinit const PlugTable kFeedbackDelayPlugs = kFeedbackDelay;
constinit const PlugTable kPeakDetPlugs = kPeakDetector;
constinit const PlugTable kTestTonePlugs = kTestTone;
constinit const PlugTable kFixedValuesPlugs = kFixedValues;
constinit const PlugTable kSystemCommandPlugs = kSystemCommand;
constinit const PlugTable kWaveShaperPlugs = kWaveShaper;

}  // namespace ov
