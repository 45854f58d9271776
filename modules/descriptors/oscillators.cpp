// Plugs of the oscillators.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr PlugSpec kOscillator2[] = {
    {"Pitch", DR_IN, DT_FSAMPLE, "5", kZeroToTenRange, 1, kPitchHint},
    {"Pulse Width", DR_IN, DT_FSAMPLE, "5", "", 1,
     "Width of rectangular pulse. -10 to 10 Volts = 0 to 100%"},
    {"Waveform", DR_IN, DT_ENUM, "1", "Sine, Saw, Ramp, Triangle, Pulse,White Noise,Pink Noise", 1,
     kShapeSelectHint},
    {"Audio Out", DR_OUT, DT_FSAMPLE, "0", "", 0, ""},
    {"Sync", DR_IN, DT_FSAMPLE, "0", "100, 0, 5, -5", 1,
     "Syncs this Oscillator to an external signal, usually another oscillator to produce a "
     "gnarly sound."},
    {"Phase Mod", DR_IN, DT_FSAMPLE, "0", kZeroToTenRange, 1,
     "Varies the phase (-5 to +5 Volts), used for yamaha style frequency modulation.  Don't work "
     "on Pulse waveform."},
    {"Freq Scale", DR_PARAMETER, DT_ENUM, "0", kFreqScaleList, 0, kFreqScaleHint},
    {"PM Depth", DR_IN, DT_FSAMPLE, "5", kZeroToTenRange, 1,
     "Varies the phase modulation depth (0 to 10 Volts)"},
    {"Smooth Peaks (Gibbs Effect)", DR_PARAMETER, DT_BOOL, "1", "", 0,
     "Improves the Wave Appearance by rolling off upper harmonics, reduces wave 'brightness' "
     "though."},
    {"Sync X-Fade (Anti Alias)", DR_PARAMETER, DT_BOOL, "1", "", 0,
     "Reduces Alias noise when Syncing at Audio rates. Can be disabled to provide precise note-on "
     "phase sync (usefull for phase modulation patches)"},
};

constexpr PlugSpec kOscillatorPd[] = {
    {"Pitch", DR_IN, DT_FSAMPLE, "5", kZeroToTenRange, 1, kPitchHint},
    {"Modulation Depth", DR_IN, DT_FSAMPLE, "5", "", 1,
     "Controls Waveshape distortion. 0 to 10 Volts = 0 to 100%"},
    {"Audio Out", DR_OUT, DT_FSAMPLE, "0", "", 0, ""},
    {"Wave1", DR_IN, DT_ENUM, "0", "Saw,Square,Pulse,Dbl Sine,Saw-Pulse,Reso1,Reso2,Reso3", 1,
     kShapeSelectHint},
    {"Wave2", DR_IN, DT_ENUM, "0", "None=-1,Saw,Square,Pulse,Dbl Sine,Saw-Pulse,Reso1,Reso2,Reso3",
     1, kShapeSelectHint},
    {"Freq Scale", DR_PARAMETER, DT_ENUM, "0", kFreqScaleList, 0, kFreqScaleHint},
};

}  // namespace

constinit const PlugTable kOscillator2Plugs = kOscillator2;
constinit const PlugTable kOscillatorPdPlugs = kOscillatorPd;

}  // namespace ov
