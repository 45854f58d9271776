// Texts that many descriptor tables share.
#pragma once

namespace ov::texts {

inline constexpr char kChannelList[] = "All=-1,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16";
inline constexpr char kMidiChannel[] = "MIDI Channel";
inline constexpr char kFreqScaleList[] = "1 Volt/Octave, 1 Volt/kHz ";
inline constexpr char kFreqScaleHint[] =
    "Switches between 1 Volt per Octave or 1 Volt per kHz response.";
inline constexpr char kZeroToTenRange[] = "100, 0, 10, 0";
inline constexpr char kPitchHint[] = "1 Volt per Octave, 5V = Middle A";
inline constexpr char kInputSignal[] = "Input signal";
inline constexpr char kIgnoreProgramChangeHint[] =
    "Prevents this control responding to patch changes from 'Patch Select' module";
inline constexpr char kShapeSelectHint[] = "Selects different wave shapes";
inline constexpr char kGateHint[] = "Triggers the Attack phase when greater then 0 V ";
inline constexpr char kOverallLevelHint[] =
    "Controls the overall output level.  Handy for adding Velocity sensitivity";
inline constexpr char kWaveFileName[] = "Wavefile";
inline constexpr char kWaveFileHint[] =
    "Enter the .WAV filename.  Check the menu 'Audio - Preferences' for the default directory.";
inline constexpr char kSoundFontFileHint[] =
    "A Soundfont-2 (*.sf2) file. (Use a 'Audio In' module for wave files, *.wav)";

}  // namespace ov::texts
