// Plugs of the filters.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr char kCutoffHint[] = "Controls the Filter's 'Cutoff'. 1 Volt per Octave";
constexpr char kSwitchableCutoffHint[] =
    "Controls the Filter's 'Cutoff'. 1 Volt per Octave or 1 Volt / kHz switchable";
constexpr char kEmphasisHint[] = "Emphasises the Cutoff frequency";

constexpr PlugSpec kSignal = {"Signal", DR_IN, DT_FSAMPLE, "0", "", 512, ""};
constexpr PlugSpec kFreqScale = {"Freq Scale",  DR_PARAMETER, DT_ENUM, "0", kFreqScaleList, 0,
                                 kFreqScaleHint};

constexpr PlugSpec kOnePole[] = {
    kSignal,
    {"Pitch", DR_IN, DT_FSAMPLE, "5", "", 1, kSwitchableCutoffHint},
    {"Output", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Freq Scale", DR_PARAMETER, DT_ENUM, "0", kFreqScaleList, 1, kFreqScaleHint},
};

constexpr PlugSpec kAllPass[] = {
    kSignal,
    {"Pitch", DR_IN, DT_FSAMPLE, "5", "", 1, kCutoffHint},
    {"Resonance", DR_IN, DT_FSAMPLE, "5", "", 1, "Controls the rollover frequency band width"},
    {"Output", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    kFreqScale,
};

// The ladder filter lists "Mode" and "Boost/Cut" without using them; the
// equaliser uses "Boost/Cut".
constexpr std::array<PlugSpec, 7> TwoPole(int32_t mode_flags, int32_t boost_cut_flags) {
  return {{
      kSignal,
      {"Pitch", DR_IN, DT_FSAMPLE, "5", "", 1, kSwitchableCutoffHint},
      {"Resonance", DR_IN, DT_FSAMPLE, "5", "", 1, kEmphasisHint},
      {"Output", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
      {"Mode", DR_IN, DT_ENUM, "0", "4 Pole LP", mode_flags, "Not used at present"},
      {"Boost/Cut", DR_IN, DT_FSAMPLE, "0", "10,-10,10,-10", boost_cut_flags,
       "For Parametric Filters, +ve = boost, -ve = cut. NOT USED AT PRESENT"},
      kFreqScale,
  }};
}
constexpr auto kBiquad = TwoPole(256, 257);
constexpr auto kEqParametric = TwoPole(0, 1);

constexpr PlugSpec kStateVariable[] = {
    kSignal,
    {"Pitch", DR_IN, DT_FSAMPLE, "5", "", 1, kCutoffHint},
    {"Resonance", DR_IN, DT_FSAMPLE, "5", "", 1, kEmphasisHint},
    {"Low Pass", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Hi Pass", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Band Pass", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Band Reject", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    kFreqScale,
};

}  // namespace

constinit const PlugTable kFilter1PolePlugs = kOnePole;
constinit const PlugTable kFilterAllpassPlugs = kAllPass;
constinit const PlugTable kFilterBiquadPlugs = kBiquad;
constinit const PlugTable kFilterEqParametricPlugs = kEqParametric;
constinit const PlugTable kFilterSvPlugs = kStateVariable;

}  // namespace ov
