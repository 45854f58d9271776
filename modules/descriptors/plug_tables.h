// The descriptor tables of the built-in generator classes, one per class,
// defined in the family files beside this header. Types that share a
// generator class share its table.
#pragma once

#include "modules/plug_table.h"

namespace ov {

// oscillators.cpp
extern const PlugTable kOscillator2Plugs;
extern const PlugTable kOscillatorPdPlugs;

// filters.cpp
extern const PlugTable kFilter1PolePlugs;
extern const PlugTable kFilterAllpassPlugs;
extern const PlugTable kFilterBiquadPlugs;
extern const PlugTable kFilterEqParametricPlugs;
extern const PlugTable kFilterSvPlugs;

// envelopes.cpp
extern const PlugTable kAdsrPlugs;
extern const PlugTable kEightStagePlugs;
extern const PlugTable kEnvelopeMsPlugs;

// utility.cpp
extern const PlugTable kVcaPlugs;
extern const PlugTable kPanPlugs;
extern const PlugTable kCrossFadePlugs;
extern const PlugTable kClipperPlugs;
extern const PlugTable kDelayPlugs;
extern const PlugTable kDelay2Plugs;

// logic.cpp
extern const PlugTable kLogicGatePlugs;
extern const PlugTable kLogicCounterPlugs;
extern const PlugTable kLogicDecadePlugs;
extern const PlugTable kLogicBinCountPlugs;
extern const PlugTable kLogicShiftPlugs;

// math.cpp
extern const PlugTable kMathSubPlugs;
extern const PlugTable kMathMultPlugs;
extern const PlugTable kMathDivPlugs;
extern const PlugTable kMultiplierPlugs;
extern const PlugTable kQuantiserPlugs;
extern const PlugTable kOneInOneOutPlugs;
extern const PlugTable kComparatorPlugs;
extern const PlugTable kSampleHoldPlugs;
extern const PlugTable kMonostablePlugs;
extern const PlugTable kRandomPlugs;
extern const PlugTable kVoltageToEnumPlugs;

// signal.cpp
extern const PlugTable kFeedbackDelayPlugs;
extern const PlugTable kPeakDetPlugs;
extern const PlugTable kTestTonePlugs;
extern const PlugTable kFixedValuesPlugs;
extern const PlugTable kSystemCommandPlugs;
extern const PlugTable kWaveShaperPlugs;

// meters.cpp
extern const PlugTable kLedPlugs;
extern const PlugTable kPeakMeterPlugs;
extern const PlugTable kVoltMeterPlugs;

// midi.cpp
extern const PlugTable kMidiFilterPlugs;
extern const PlugTable kMidiControllersPlugs;
extern const PlugTable kCvMidiPlugs;
extern const PlugTable kMidiKeyboardPlugs;
extern const PlugTable kMidiMonitorPlugs;
extern const PlugTable kMidiOutPlugs;
extern const PlugTable kMidiInPlugs;
extern const PlugTable kNoteSourcePlugs;
extern const PlugTable kMidiToCvPlugs;
extern const PlugTable kSamplePlayerPlugs;

// sequencing.cpp
extern const PlugTable kDrumTriggerPlugs;
extern const PlugTable kStepSequencerPlugs;

// controls.cpp
extern const PlugTable kControlCommonPlugs;
extern const PlugTable kSliderPlugs;
extern const PlugTable kComboboxPlugs;
extern const PlugTable kTextEntryPlugs;
extern const PlugTable kSwitchPlugs;
extern const PlugTable kSwitch2Plugs;

// patches.cpp
extern const PlugTable kPatchSelPlugs;
extern const PlugTable kMidiAutomatorPlugs;
extern const PlugTable kMidiAutomatorOutPlugs;
extern const PlugTable kParamTextInPlugs;
extern const PlugTable kParamFloatOutPlugs;

// media.cpp
extern const PlugTable kWavePlayerPlugs;
extern const PlugTable kWaveInPlugs;
extern const PlugTable kWaveRecorderPlugs;
extern const PlugTable kWaveOutPlugs;
extern const PlugTable kMidiPlayerPlugs;
extern const PlugTable kMidiRecorderPlugs;
extern const PlugTable kOscSfPlugs;
extern const PlugTable kSamplePlayer2Plugs;

// structure.cpp
extern const PlugTable kContainerPlugs;
extern const PlugTable kIoModPlugs;
extern const PlugTable kAdderPlugs;

// host.cpp
extern const PlugTable kVstInPlugs;
extern const PlugTable kVstOutPlugs;
extern const PlugTable kVstPluginPlugs;
extern const PlugTable kPlaceholderPlugs;

}  // namespace ov
