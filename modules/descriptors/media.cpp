// Plugs of the modules that play and record files: wave files, MIDI files
// and sound fonts.
#include "modules/descriptors/common_texts.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {
using namespace texts;

constexpr PlugSpec WaveGate(const char* default_text) {
  return {"Gate", DR_IN, DT_FSAMPLE, default_text, "", 0x1, "Triggers wave file playback"};
}
constexpr PlugSpec kPitchShift = {"Pitch Shift",
                                  DR_IN,
                                  DT_FSAMPLE,
                                  "5",
                                  kZeroToTenRange,
                                  0x1,
                                  "1 Volt per Octave, 5V = Original Pitch"};
constexpr PlugSpec kLeftOut = {"Left Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""};
constexpr PlugSpec kRightOut = {"Right Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""};
constexpr PlugSpec kWaveFile = {"File Name", DR_IN, DT_TEXT,      kWaveFileName,
                                "wav",       0x10,  kWaveFileHint};

constexpr PlugSpec kWavePlayer[] = {WaveGate("10"), kPitchShift, kLeftOut, kRightOut, kWaveFile};

// "Audio In": the wave player with a mode that could select live input.
constexpr PlugSpec kWaveIn[] = {
    WaveGate("1"),
    kPitchShift,
    kLeftOut,
    kRightOut,
    kWaveFile,
    {"Mode", DR_IN, DT_ENUM, "1", "File,Soundcard In", 0,
     "Selects either live audio or Wave file playback"},
};

constexpr PlugSpec kRecorderLeft = {"Left (Mono)", DR_IN, DT_FSAMPLE, "", "", 0x200, ""};
constexpr PlugSpec kRecorderRight = {"Right", DR_IN, DT_FSAMPLE, "", "", 0x200, ""};
constexpr PlugSpec kRecordFormat = {
    "Format", DR_PARAMETER, DT_ENUM, "0", "16 bit, 32 bit float", 0, "Sets the file format"};
constexpr char kTimeLimitHint[] = "Sets length of WAV file, in seconds";
constexpr PlugSpec kPlayWavefile = {
    "Play Wavefile", DR_PARAMETER, DT_BOOL, "0", "", 0, "Plays sound once it is written to file"};
constexpr PlugSpec kReportStats = {"Report Stats",
                                   DR_PARAMETER,
                                   DT_BOOL,
                                   "0",
                                   "",
                                   0,
                                   "After writing to File, shows efficiency statistics"};

constexpr PlugSpec kWaveRecorder[] = {
    kRecorderLeft,
    kRecorderRight,
    kWaveFile,
    kRecordFormat,
    {"Time Limit", DR_PARAMETER, DT_DOUBLE, "4", "", 0, kTimeLimitHint},
    kPlayWavefile,
    kReportStats,
};

constexpr PlugSpec kWaveOut[] = {
    kRecorderLeft,
    kRecorderRight,
    kWaveFile,
    {"Mode", DR_IN, DT_ENUM, "1", "File,Speaker,No Audio", 0,
     "'File' mode directs output to a WAV file, 'Speaker' to the default DirectSound device"},
    {"Sample Time", DR_PARAMETER, DT_DOUBLE, "4", "", 0, kTimeLimitHint},
    kPlayWavefile,
    kReportStats,
    kRecordFormat,
};

constexpr PlugSpec kMidiPlayer[] = {
    {"File Name", DR_IN, DT_TEXT, "popcorn", "mid", 0x10, "A MIDI filename(*.mid)"},
    {"Tempo", DR_IN, DT_FSAMPLE, "12", "16,5,16,5", 0x200, "10V = 100 bpm"},
    {"MIDI Out", DR_OUT, DT_MIDI, "", "", 0, ""},
    {"Ignore MIDI tempo Changes", DR_PARAMETER, DT_BOOL, "0", "", 0,
     "Tempo is usually set by the MIDI file, this setting overrides it."},
    {"Loop Mode", DR_PARAMETER, DT_BOOL, "0", "", 0,
     "Entire sequence loops from end, back to beginning"},
};

constexpr PlugSpec kMidiRecorder[] = {
    {"File Name", DR_IN, DT_TEXT, "orvane", "mid", 0x10, "A MIDI (*.mid) file."},
    {"MIDI In", DR_IN, DT_MIDI, "", "", 0, ""},
    {"Channel", DR_IN, DT_ENUM, "-1", kChannelList, 0x3, kMidiChannel},
};

// The item lists "1,2,3" stand in until the document supplies the file's.
constexpr PlugSpec kBank = {"Bank",
                            DR_IN,
                            DT_ENUM,
                            "0",
                            "1,2,3",
                            0,
                            "Provides external choice of bank. NOTE: Changing bank via external "
                            "control only works while audio engine is running"};
constexpr PlugSpec kPatch = {"Patch",
                             DR_IN,
                             DT_ENUM,
                             "0",
                             "1,2,3",
                             0,
                             "Provides external choice of patch. NOTE: Changing patch via "
                             "external control only works while audio engine is running"};

constexpr PlugSpec kSoundFontOscillator[] = {
    {"Unused", DR_PARAMETER, DT_TEXT, "", "sf2", 0x112, kSoundFontFileHint},
    kBank,
    kPatch,
    {"Gate", DR_IN, DT_FSAMPLE, "0", "", 0x1, "Triggers the sample when greater then 0 V "},
    {"Pitch", DR_IN, DT_FSAMPLE, "5", kZeroToTenRange, 0x1, kPitchHint},
    {"Velocity", DR_IN, DT_FSAMPLE, "8", kZeroToTenRange, 0x1,
     "Chooses between velocity-split samples in soundfont file (if any)"},
    {"Left (mono)", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Right", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Ignore Program Change", DR_PARAMETER, DT_BOOL, "1", "", 0, kIgnoreProgramChangeHint},
};

// No "Channel": every channel is received and filtered per channel.
constexpr PlugSpec kSoundFontPlayer[] = {
    {"MIDI In", DR_IN, DT_MIDI, "0", "", 0, ""}, kLeftOut, kRightOut, kBank, kPatch,
};

}  // namespace

constinit const PlugTable kWavePlayerPlugs = kWavePlayer;
constinit const PlugTable kWaveInPlugs = kWaveIn;
constinit const PlugTable kWaveRecorderPlugs = kWaveRecorder;
constinit const PlugTable kWaveOutPlugs = kWaveOut;
constinit const PlugTable kMidiPlayerPlugs = kMidiPlayer;
constinit const PlugTable kMidiRecorderPlugs = kMidiRecorder;
constinit const PlugTable kOscSfPlugs = kSoundFontOscillator;
constinit const PlugTable kSamplePlayer2Plugs = kSoundFontPlayer;

}  // namespace ov
