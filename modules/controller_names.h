// The names of the 128 MIDI controllers, as list texts and panels show them.
#pragma once

#include <array>
#include <string>

namespace ov {

// The controller choice list of control modules and the "Controllers"
// module: every controller with its name, plus "<none>" (-1).
inline constexpr char kControllerListText[] =
    "<none>=-1,0 - Bank Select,1 - Mod Wheel,2 - Breath,3,4 - Foot pedal,5 - Portamento Time,"
    "6 - Data Entry Slider,7 - Volume,8 - Balance,9,10 - Pan,11 - Expression,"
    "12 - Effect 1 Control,13 - Effect 2 Control,14,15,16 - General Purpose Slider,"
    "17 - General Purpose Slider,18 - General Purpose Slider,19 - General Purpose Slider,20,"
    "21,22,23,24,25,26,27,28,29,30,31,32,33 - Mod Wheel LSB=33,34 - Breath LSB,35 - LSB,"
    "36 - Foot LSB,37 - Portamento Time LSB,38 - Data Entry Slider LSB,39 - Volume LSB,"
    "40 - Balance LSB,41,42 - Pan LSB=42,43 - Expression LSB,44 - Effect 1 LSB,"
    "45 - Effect 2 LSB,46,47,48 - General Purpose LSB=48,49 - General Purpose LSB,"
    "50 - General Purpose LSB,51 - General Purpose LSB,52,53,54,55,56,57,58,59,60,61,62,63,"
    "64 - Hold Pedal=64,65 - Portamento,66 - Sustenuto,67 - Soft pedal,68 - Legato,"
    "69 - Hold 2 Pedal,70 - Sound Variation,71 - Sound Timbre,72 - Release Time,"
    "73 - Attack Time,74 - Sound Brightness,75 - Sound Control,76 - Sound Control,"
    "77 - Sound Control,78 - Sound Control,79 - Sound Control,80 - General Purpose button,"
    "81 - General Purpose button,82 - General Purpose button,83 - General Purpose button,84,"
    "85,86,87,88,89,90,91 - Effects Level,92 - Tremelo Level,93 - Chorus Level,"
    "94 - Celeste level,95 - phaser level,96 - Data button Increment,"
    "97 - data button decrement,98/99 - NRPN=99,100/101 - RPN=101,102=102,103,104,105,106,"
    "107,108,109,110,111,112,113,114,115,116,117,118,119,120 - All sound off,"
    "121 - All controllers off,122 - local keybord on/off,123 - All notes off,124 - Omni Off,"
    "125 - Omni on,126 - Monophonic,127 - Polyphonic";

// Entry n is the label of controller n in kControllerListText, or n written
// right-aligned in three characters when the list gives no label for it.
// Built on first use and kept for the life of the process; any thread.
const std::array<std::string, 128>& ControllerNames();

}  // namespace ov
