// Plugs of the math and conversion modules.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr PlugSpec kOutputZero = {"Output", DR_OUT, DT_FSAMPLE, "0", "", 0, ""};
constexpr PlugSpec kSecondInput = {"Input 2", DR_IN, DT_FSAMPLE, "8", "", 0x1, ""};

constexpr PlugSpec kSubtract[] = {
    {"Input 1", DR_IN, DT_FSAMPLE, "8", "", 0x1, "Input 2 is Subtracted from Input 1"},
    kSecondInput,
    kOutputZero,
};

constexpr PlugSpec kMultiply[] = {
    {"Input 1", DR_IN, DT_FSAMPLE, "8", "", 0x200, "The 2 inputs are Multiplied"},
    kSecondInput,
    kOutputZero,
};

constexpr PlugSpec kDivide[] = {
    {"Input 1", DR_IN, DT_FSAMPLE, "8", "", 0x200, "Input 1 is Divided by Input 2"},
    kSecondInput,
    kOutputZero,
};

constexpr PlugSpec kMultiplier[] = {
    {"Input 1", DR_IN, DT_FSAMPLE, "8", "", 0x200,
     "The 2 inputs are Multiplied. Then 'normalised' eg 5V multiplied by 2 V = 1V, (5 * 2 ) / 10 "},
    {"Input 2", DR_IN, DT_FSAMPLE, "8", "", 0x200, ""},
    kOutputZero,
};

constexpr PlugSpec kQuantiser[] = {
    {"Signal In", DR_IN, DT_FSAMPLE, "0", "", 0x1, ""},
    {"Step Size", DR_IN, DT_FSAMPLE, "1", "", 0x1, "Quantisation step size in Volts"},
    {"Signal Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
};

// Ceil, Floor, Inverter, Rectifier and the denormal utilities.
constexpr PlugSpec kOneInOneOut[] = {
    {"Signal in", DR_IN, DT_FSAMPLE, "0", "", 0x1, ""},
    {"Signal Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
};

constexpr PlugSpec kComparator[] = {
    {"Input A", DR_IN, DT_FSAMPLE, "8", "", 0x1,
     "The 2 inputs are compared.  The output goes either high or low depending"},
    {"Input B", DR_IN, DT_FSAMPLE, "8", "", 0x1, ""},
    kOutputZero,
    {"Hi Out Val", DR_PARAMETER, DT_DOUBLE, "5", "", 0, ""},
    {"Lo Out Val", DR_PARAMETER, DT_DOUBLE, "-5", "", 0, ""},
};

constexpr PlugSpec kSampleHold[] = {
    {"Audio", DR_IN, DT_FSAMPLE, "8", "", 0x200, ""},
    {"Hold", DR_IN, DT_FSAMPLE, "8", "", 0x1, "Freezes input signal on leading edge"},
    kOutputZero,
};

constexpr PlugSpec kMonostable[] = {
    {"Signal in", DR_IN, DT_FSAMPLE, "0", "", 0x1, ""},
    {"Pulse Length", DR_IN, DT_FSAMPLE, "0.1", "", 0x1, "10 Volt = 1 Second"},
    {"Signal Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
};

constexpr PlugSpec kRandom[] = {
    {"Trigger in", DR_IN, DT_BOOL, "1", "", 0x1, ""},
    {"Output", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
};

constexpr PlugSpec kVoltageToEnum[] = {
    {"Signal in", DR_IN, DT_FSAMPLE, "0", "", 0x200, kInputSignal},
    {"List Out", DR_OUT, DT_ENUM, "0", "", 0, ""},
};

}  // namespace

constinit const PlugTable kMathSubPlugs = kSubtract;
constinit const PlugTable kMathMultPlugs = kMultiply;
constinit const PlugTable kMathDivPlugs = kDivide;
constinit const PlugTable kMultiplierPlugs = kMultiplier;
constinit const PlugTable kQuantiserPlugs = kQuantiser;
constinit const PlugTable kOneInOneOutPlugs = kOneInOneOut;
constinit const PlugTable kComparatorPlugs = kComparator;
constinit const PlugTable kSampleHoldPlugs = kSampleHold;
constinit const PlugTable kMonostablePlugs = kMonostable;
constinit const PlugTable kRandomPlugs = kRandom;
constinit const PlugTable kVoltageToEnumPlugs = kVoltageToEnum;

}  // namespace ov
