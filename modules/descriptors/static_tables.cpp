// The static plug tables: float/voltage converters, patch memory and the
// panel-side value scalers.
#include "modules/descriptors/static_tables.h"

namespace ov {
namespace {

constexpr int32_t kPanelSide = kPlugPanelSide;
constexpr StaticPlugEntry kName = {u"Name", DR_IN, DT_TEXT, u"", u"", kPanelSide};
constexpr StaticPlugEntry kAnimationPosition = {
    u"Animation Position", DR_IN, DT_FLOAT, u"", u"", kPanelSide};
constexpr StaticPlugEntry kMinValue = {u"Min Value", DR_IN, DT_FLOAT, u"", u"", kPanelSide};
constexpr StaticPlugEntry kMaxValue = {u"Max Value", DR_IN, DT_FLOAT, u"", u"", kPanelSide};
constexpr StaticPlugEntry kValueIn = {u"Value In", DR_IN, DT_FLOAT, u"", u"", 0};
constexpr StaticPlugEntry kParameterOut = {u"P", DR_OUT, DT_FLOAT, u"", u"", 0x10100};

constexpr StaticPlugEntry kFloatToVolts[] = {
    {u"Smoothing", DR_IN, DT_ENUM, u"2", u"None,Fast (4 samp),Smooth (30ms)", 0},
    {u"Float In", DR_IN, DT_FLOAT, u"", u"", 0},
    {u"Volts Out", DR_OUT, DT_FSAMPLE, u"", u"", 0},
};

constexpr StaticPlugEntry kVoltsToFloat[] = {
    {u"Volts In", DR_IN, DT_FSAMPLE, u"", u"", 0x200},
    {u"Response", DR_IN, DT_ENUM, u"4",
     u"dB VU,dB PPM,dB Peak,dB HeadRoom, Volts DC (Fast), Volts DC Average, Volts RMS", 0},
    {u"Update Rate", DR_IN, DT_ENUM, u"10", u"1 Hz=1,5 Hz=5,10 Hz=10,20 Hz=20,40 Hz=40", 0},
    {u"Float Out", DR_OUT, DT_FLOAT, u"", u"", 0},
};

constexpr StaticPlugEntry kPatchMemListIn2[] = {
    kName,
    {u"Value", DR_IN, DT_ENUM, u"", u"", 0x8400},
    {u"List Out", DR_OUT, DT_ENUM, u"", u"", 0},
};

constexpr StaticPlugEntry kPatchMemFloatIn[] = {
    kName,     {u"Value", DR_IN, DT_FLOAT, u"", u"", 0x8400}, kAnimationPosition, kMinValue,
    kMaxValue, {u"Value Out", DR_OUT, DT_FLOAT, u"", u"", 0},
};

constexpr StaticPlugEntry kPatchMemListInB[] = {
    kName,
    {u"Value", DR_IN, DT_ENUM, u"", u"", 0x10400},
    {u"List Out", DR_OUT, DT_ENUM, u"", u"", kPanelSide},
};

constexpr StaticPlugEntry kPatchMemFloatOut[] = {
    kName,
    {u"Value", DR_IN, DT_FLOAT, u"", u"", 0x10400},
    kParameterOut,
    kValueIn,
    kAnimationPosition,
    kMinValue,
    kMaxValue,
};

constexpr StaticPlugEntry kPatchMemFloatOutB[] = {
    kName,
    {u"Value Out", DR_OUT, DT_FLOAT, u"", u"", kPanelSide},
    kParameterOut,
    kValueIn,
    {u"V", DR_IN, DT_FLOAT, u"", u"", 0x10500},
};

constexpr StaticPlugEntry kAnimationScaleDb[] = {
    kAnimationPosition,
    {u"Db", DR_OUT, DT_FLOAT, u"", u"", kPanelSide},
};

constexpr StaticPlugEntry kFloatScaler[] = {
    {u"Value In", DR_IN, DT_FLOAT, u"", u"", kPanelSide},
    {u"Multiply by", DR_IN, DT_FLOAT, u"", u"", kPanelSide},
    {u"Add", DR_IN, DT_FLOAT, u"", u"", kPanelSide},
    {u"Value Out", DR_OUT, DT_FLOAT, u"", u"", kPanelSide},
};

}  // namespace

constinit const StaticPlugTable kFloatToVoltsTable = kFloatToVolts;
constinit const StaticPlugTable kVoltsToFloatTable = kVoltsToFloat;
constinit const StaticPlugTable kPatchMemListIn2Table = kPatchMemListIn2;
constinit const StaticPlugTable kPatchMemFloatInTable = kPatchMemFloatIn;
constinit const StaticPlugTable kPatchMemListInBTable = kPatchMemListInB;
constinit const StaticPlugTable kPatchMemFloatOutTable = kPatchMemFloatOut;
constinit const StaticPlugTable kPatchMemFloatOutBTable = kPatchMemFloatOutB;
constinit const StaticPlugTable kAnimationScaleDbTable = kAnimationScaleDb;
constinit const StaticPlugTable kFloatScalerTable = kFloatScaler;

}  // namespace ov
