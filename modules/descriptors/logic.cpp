// Plugs of the logic modules: gates, counters and the shift register. ("NOT Gate"
// has the one-in, one-out plugs of the math modules.)
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

constexpr PlugSpec kClock = {"Clock", DR_IN, DT_FSAMPLE, "", "", 0x1, ""};
constexpr PlugSpec kReset = {"Reset", DR_IN, DT_FSAMPLE, "", "", 0x1, ""};

constexpr PlugSpec Bit(const char* name) { return {name, DR_OUT, DT_FSAMPLE, "", "", 0, ""}; }

// Every connection to "Input" adds a further "Input".
constexpr PlugSpec kGate[] = {
    {"Output", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Input", DR_IN, DT_FSAMPLE, "", "", 0x49, ""},
};

// One more "Out" per connection.
constexpr PlugSpec kStepCounter[] = {
    kClock,
    kReset,
    {"Out", DR_OUT, DT_FSAMPLE, "", "", 0x8, ""},
};

constexpr PlugSpec kDecadeCounter[] = {
    kClock,    kReset,    Bit("B0"), Bit("B1"), Bit("B2"), Bit("B3"),
    Bit("B4"), Bit("B5"), Bit("B6"), Bit("B7"), Bit("B8"), Bit("B9"),
};

constexpr PlugSpec kBinaryCounter[] = {
    kClock,    kReset,    Bit("B0"), Bit("B1"), Bit("B2"),
    Bit("B3"), Bit("B4"), Bit("B5"), Bit("B6"), Bit("B7"),
};

constexpr PlugSpec kData = {"Input", DR_IN, DT_FSAMPLE, "", "", 0x1, ""};

constexpr PlugSpec kShiftRegister[] = {
    kClock,    kData,     kReset,    Bit("B0"), Bit("B1"), Bit("B2"), Bit("B3"),
    Bit("B4"), Bit("B5"), Bit("B6"), Bit("B7"), Bit("B8"), Bit("B9"),
};

}  // namespace

constinit const PlugTable kLogicGatePlugs = kGate;
constinit const PlugTable kLogicCounterPlugs = kStepCounter;
constinit const PlugTable kLogicDecadePlugs = kDecadeCounter;
constinit const PlugTable kLogicBinCountPlugs = kBinaryCounter;
constinit const PlugTable kLogicShiftPlugs = kShiftRegister;

}  // namespace ov
