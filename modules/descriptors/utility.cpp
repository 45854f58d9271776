// Plugs of the level, pan, clipping and delay modules.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

constexpr char kPanRange[] = "5,-5,5,-5";
constexpr char kFadeLawList[] = "Equal Intensity (0dB), Equal Power(+3dB), Sqr Root";
constexpr char kFadeLawHint[] = "Chooses different cross fade laws";

constexpr PlugSpec kVca[] = {
    {"Signal", DR_IN, DT_FSAMPLE, "0", "", 0x200,
     "The 2 inputs are Multiplied (Ring Modulated). Then 'normalised' eg 5V multiplied by 2 V = "
     "1V, (5 * 2 ) / 10 "},
    {"Volume", DR_IN, DT_FSAMPLE, "8", "", 0x1, ""},
    {"Output", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Response Curve", DR_IN, DT_ENUM, "1", "Exponential=1,Linear,Decibel,Decibel (old)=0", 0,
     "In db mode: 10V to 2V gives 0 to -40db, 2V to 0v gives -40db to -70db (silence)"},
};

constexpr PlugSpec kPan[] = {
    {"Input", DR_IN, DT_FSAMPLE, "0", "", 0x200, "Audio signal input"},
    {"Pan", DR_IN, DT_FSAMPLE, "0", kPanRange, 0x1, "-5V = Left, +5V = Right"},
    {"Left Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Right Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Volume", DR_IN, DT_FSAMPLE, "8", "", 0x1,
     "Controls the Volume of the input signal. 10 V = original volume, 0 V = silence"},
    {"Fade Law", DR_PARAMETER, DT_ENUM, "1", kFadeLawList, 0, kFadeLawHint},
};

constexpr PlugSpec kCrossFade[] = {
    {"Input A", DR_IN, DT_FSAMPLE, "0", "", 0x200, ""},
    {"Input B", DR_IN, DT_FSAMPLE, "0", "", 0x200, ""},
    {"Mix", DR_IN, DT_FSAMPLE, "0", kPanRange, 0x1,
     "Varies the mix from +5V - Input A, to -5V - Input B"},
    {"Signal Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Fade Law", DR_PARAMETER, DT_ENUM, "1", kFadeLawList, 0, kFadeLawHint},
};

constexpr PlugSpec kClipper[] = {
    {"Signal In", DR_IN, DT_FSAMPLE, "0", "", 0x1, ""},
    {"Hi Limit", DR_IN, DT_FSAMPLE, "5", "", 0x1, "Clips any input signal above this voltage"},
    {"Lo Limit", DR_IN, DT_FSAMPLE, "-2", "-100, 0, 0, -10", 0x1,
     "Clips any input signal below this voltage"},
    {"Signal Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
};

constexpr PlugSpec kDelaySignalIn = {"Signal In", DR_IN, DT_FSAMPLE, "", "", 0x200, ""};
constexpr PlugSpec kDelaySignalOut = {"Signal Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""};
constexpr PlugSpec kDelayInterpolate = {
    "Interpolate Output",
    DR_PARAMETER,
    DT_BOOL,
    "0",
    "",
    0,
    "Provides smoother modulation of delay time, but increases CPU load"};
constexpr PlugSpec kDelayFeedback = {"Feedback", DR_IN, DT_FSAMPLE, "0", "10,0,10,0", 0x1, ""};
constexpr char kDelayTimeName[] = "Delay Time (secs)";
constexpr char kDelayTimeHint[] = "Max delay time in Seconds. Limited to maximum 10s.";

// "Delay2" differs in the modulation's scale and the default time.
constexpr PlugSpec kDelay[] = {
    kDelaySignalIn,
    {"Modulation", DR_IN, DT_FSAMPLE, "5", kPanRange, 0x1,
     "Varies the delay time dynamically ( -5V to +5V )"},
    kDelaySignalOut,
    {kDelayTimeName, DR_PARAMETER, DT_FLOAT, "0.25", "", 0, kDelayTimeHint},
    kDelayInterpolate,
    kDelayFeedback,
};

constexpr PlugSpec kDelay2[] = {
    kDelaySignalIn,
    {"Modulation", DR_IN, DT_FSAMPLE, "10", "10,0,10,0", 0x1,
     "Varies the delay time dynamically ( 0 to 10V )"},
    kDelaySignalOut,
    {kDelayTimeName, DR_PARAMETER, DT_FLOAT, "1.0", "", 0, kDelayTimeHint},
    kDelayInterpolate,
    kDelayFeedback,
};

}  // namespace

constinit const PlugTable kVcaPlugs = kVca;
constinit const PlugTable kPanPlugs = kPan;
constinit const PlugTable kCrossFadePlugs = kCrossFade;
constinit const PlugTable kClipperPlugs = kClipper;
constinit const PlugTable kDelayPlugs = kDelay;
constinit const PlugTable kDelay2Plugs = kDelay2;

}  // namespace ov
