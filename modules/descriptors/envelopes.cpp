// Plugs of the envelopes.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr PlugSpec kGate = {"Gate", DR_IN, DT_FSAMPLE, "1", "", 1, kGateHint};
constexpr PlugSpec kOverallLevel = {"Overall Level",  DR_IN, DT_FSAMPLE, "10", "", 1,
                                    kOverallLevelHint};
constexpr PlugSpec kSignalOut = {"Signal Out", DR_OUT, DT_FSAMPLE, "0", "", 0, ""};

constexpr PlugSpec kAdsr[] = {
    kGate,
    {"Attack", DR_IN, DT_FSAMPLE, "0", "", 1,
     "Controls the rate of the attack, 0 V is quickest, 10 V slowest"},
    {"Decay", DR_IN, DT_FSAMPLE, "5", "", 1, "The Decay rate"},
    {"Sustain", DR_IN, DT_FSAMPLE, "7", "", 1,
     "The 'hold' level, while the gate is high (key is down)"},
    {"Release", DR_IN, DT_FSAMPLE, "4", "", 1, "The Release rate"},
    kOverallLevel,
    kSignalOut,
};

constexpr char kRateHint[] = "Segment rate ( 0 - fastest, 10 - slowest )";
constexpr char kLevelHint[] = "End level    (0 - 10V)";

constexpr PlugSpec kEightStage[] = {
    kGate,
    {"Rate 0", DR_IN, DT_FSAMPLE, "2", "", 1, kRateHint},
    {"Level 0", DR_IN, DT_FSAMPLE, "10", "", 1, kLevelHint},
    {"Rate 1", DR_IN, DT_FSAMPLE, "5", "", 1, kRateHint},
    {"Level 1", DR_IN, DT_FSAMPLE, "6", "", 1, kLevelHint},
    {"Rate 2", DR_IN, DT_FSAMPLE, "6", "", 1, kRateHint},
    {"Level 2", DR_IN, DT_FSAMPLE, "8", "", 1, kLevelHint},
    {"Rate 3", DR_IN, DT_FSAMPLE, "3", "", 1, kRateHint},
    {"Level 3", DR_IN, DT_FSAMPLE, "2", "", 1, kLevelHint},
    {"Rate 4", DR_IN, DT_FSAMPLE, "6", "", 1, kRateHint},
    {"Level 4", DR_IN, DT_FSAMPLE, "0", "", 1, kLevelHint},
    {"Rate 5", DR_IN, DT_FSAMPLE, "6", "", 1, kRateHint},
    {"Level 5", DR_IN, DT_FSAMPLE, "0", "", 1, kLevelHint},
    {"Rate 6", DR_IN, DT_FSAMPLE, "6", "", 1, kRateHint},
    {"Level 6", DR_IN, DT_FSAMPLE, "0", "", 1, kLevelHint},
    {"Rate 7", DR_IN, DT_FSAMPLE, "6", "", 1, kRateHint},
    {"Level 7", DR_IN, DT_FSAMPLE, "0", "", 1, kLevelHint},
    kOverallLevel,
    kSignalOut,
    // "None" is 10, a segment that never occurs, so nothing holds.
    {"Sus Seg", DR_IN, DT_ENUM, "2", "None=10,0=0,1,2,3,4,5,6,7", 0,
     "Which segment to 'hold' at until key is released"},
    {"End Seg", DR_IN, DT_ENUM, "4", "range 0,7", 0,
     "Which segment to stop at, subsequent segments are ignored."},
};

constexpr PlugSpec kMultistage[] = {
    kGate,
    kOverallLevel,
    kSignalOut,
    {"Ignore Program Change", DR_PARAMETER, DT_BOOL, "0", "", 0, kIgnoreProgramChangeHint},
};

}  // namespace

constinit const PlugTable kAdsrPlugs = kAdsr;
constinit const PlugTable kEightStagePlugs = kEightStage;
constinit const PlugTable kEnvelopeMsPlugs = kMultistage;

}  // namespace ov
