// Plugs of the meters.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr PlugSpec kSignalIn = {"Signal in", DR_IN, DT_FSAMPLE, "0", "", 0x200, kInputSignal};
constexpr PlugSpec kMidiIn = {"MIDI In", DR_IN, DT_MIDI, "", "", 0x100, ""};
constexpr PlugSpec kMidiOut = {"MIDI Out", DR_OUT, DT_MIDI, "", "", 0x100, ""};

constexpr PlugSpec kLed[] = {
    kSignalIn,
    {"Threshold", DR_IN, DT_FSAMPLE, "3.333", kZeroToTenRange, 0x200,
     "Voltage where light switches on"},
    {"Appearance", DR_PARAMETER, DT_ENUM, "0", "LED", 0, "Not currently Used"},
    kMidiIn,
    kMidiOut,
};

constexpr PlugSpec kPeakMeter[] = {
    kSignalIn,
    {"Response", DR_IN, DT_ENUM, "0", "Decibel, Linear", 0, ""},
    kMidiIn,
    kMidiOut,
};

constexpr PlugSpec kVoltMeter[] = {
    kSignalIn,
    {"Mode", DR_PARAMETER, DT_ENUM, "0", "DC,AC RMS", 0,
     "Choose between DC Average Voltage, or AC RMS Voltage Readout"},
    {"Update Rate", DR_PARAMETER, DT_ENUM, "0", "Regular=2, Fast=5", 0,
     "Chooses how often the display is updated"},
    kMidiIn,
    kMidiOut,
};

}  // namespace

constinit const PlugTable kLedPlugs = kLed;
constinit const PlugTable kPeakMeterPlugs = kPeakMeter;
constinit const PlugTable kVoltMeterPlugs = kVoltMeter;

}  // namespace ov
