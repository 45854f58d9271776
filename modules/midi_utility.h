// MIDI handled inside the patch: "MIDI Filter" passes messages inside
// channel, note and velocity windows; "Controllers" turns controllers,
// channel pressure and bend into voltages; "Trigger to MIDI" turns gate
// edges into notes; "KeyBoard" plays the notes of its on-screen keyboard;
// "MIDI Monitor" prints one line per message for its panel; "MIDI Out"
// accepts MIDI and does nothing with it; "MIDI In" sends what the
// platform's MIDI input brought (a standalone host's port; inside a host it
// stays silent).
//
// Threads: made and opened on the editor thread while audio is stopped;
// MIDI, status changes, notifications and processing on the audio thread.
// Nothing here allocates, waits or locks once opened.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/smart_output.h"
#include "engine/ug_base.h"
#include "modules/host_io.h"

namespace ov {

class ug_midi_filter : public ug_midi_device {
 public:
  enum Plug : int32_t {
    kMidiIn,
    kMidiOut,
    kChannelLo,
    kChannelHi,
    kNoteLo,
    kNoteHi,
    kVelocityLo,
    kVelocityHi
  };

  ug_midi_filter() : ug_midi_device(kMidiIn, kNoChannelPlug) {}
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;

  // Whether `word` passes the windows as they are set now.
  bool Passes(uint32_t word) const;

 protected:
  void OnMidi(uint32_t time, uint32_t word) override;

 private:
  int16_t channel_lo_ = 1;  // 1 .. 16
  int16_t channel_hi_ = 16;
  int16_t note_lo_ = 0;
  int16_t note_hi_ = 127;
  int16_t velocity_lo_ = 0;
  int16_t velocity_hi_ = 127;
};

class ug_midi_controllers : public ug_midi_device {
 public:
  enum Plug : int32_t {
    kMidiIn,
    kChannel,
    kFirstType,
    kAftertouch = kFirstType + 4,
    kBender,
    kFirstController,
  };
  static constexpr int32_t kSlots = 4;
  // A 14-bit value whose upper seven bits are 127 reads 1.0 (10 V).
  static constexpr float kControllerScale = 0.00006151575f;  // 1 / 16256

  ug_midi_controllers() : ug_midi_device(kMidiIn, kChannel) {}
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Resume() override;

 protected:
  void OnMidi(uint32_t time, uint32_t word) override;

 private:
  // The six outputs in plug order: aftertouch, bender, the four controllers.
  static constexpr int32_t kOutputs = 2 + kSlots;

  void Run(int32_t position, int32_t count);
  void SetTarget(int32_t output, uint32_t time, float value);

  std::array<int16_t, kSlots> types_ = {1, 2, 3, 4};
  std::array<uint16_t, kSlots> values_{};  // 14-bit
  std::array<smart_output, kOutputs> outputs_;
};

class ug_cv_midi : public ug_base {
 public:
  enum Plug : int32_t { kGate, kPitch, kVelocity, kChannel, kMidiOut, kFreqScale };
  enum FreqScale : int16_t { kVoltPerOctave, kVoltPerKilohertz };

  ug_cv_midi();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // The note a "Pitch" (volts / 10) stands for, 0 .. 127; anything that is
  // not a number, or no positive frequency, gives 0.
  static int32_t NoteOf(float pitch, int16_t freq_scale);
  // 1 .. 127 from a "Velocity" (volts / 10); not a number gives 1.
  static int32_t VelocityOf(float velocity);

 private:
  void Scan(int32_t position, int32_t count);
  // A change of gate level at `time`, read from block index `index`.
  void Edge(uint32_t time, int32_t index, bool high);

  float* gate_ = nullptr;
  float* pitch_ = nullptr;
  float* velocity_ = nullptr;
  int16_t channel_ = 0;
  int16_t freq_scale_ = kVoltPerOctave;
  bool gate_high_ = false;
  int32_t note_ = 0;  // of the last note-on
};

class ug_midi_keyboard : public ug_base {
 public:
  enum Plug : int32_t { kChannel, kMidiOut };
  // Notification kinds from the on-screen keyboard; the value is the key.
  static constexpr int32_t kKeyDown = 3;
  static constexpr int32_t kKeyUp = 4;
  static constexpr uint32_t kQueueWords = 256;

  ug_midi_keyboard();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnNotify(int32_t kind, int32_t value) override;

  // Keys lost to a full queue. Any thread.
  uint32_t DroppedKeys() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  void Send(int32_t position, int32_t count);

  int16_t channel_ = 0;
  std::array<uint32_t, kQueueWords> queue_{};
  uint32_t first_ = 0;
  uint32_t count_ = 0;
  std::atomic<uint32_t> dropped_{0};
};

class ug_midi_monitor : public ug_midi_device {
 public:
  enum Plug : int32_t { kMidiIn, kChannel };
  // Room for the longest line.
  static constexpr std::size_t kLineBytes = 64;

  ug_midi_monitor() : ug_midi_device(kMidiIn, kChannel) {}
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;

  // The line printed for `word`, newline included; its length.
  static std::size_t FormatLine(uint32_t word, std::array<char, kLineBytes>& line);

 protected:
  void OnMidi(uint32_t time, uint32_t word) override;
};

class ug_midi_in : public ug_base {
 public:
  static constexpr int32_t kMidiDataPlug = 0;

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Process(int32_t frames) override;
  // Only one that has a ring to read must be visited every block.
  bool CanSleep() const override { return ring_ == nullptr && ug_base::CanSleep(); }

 private:
  const MidiRing* ring_ = nullptr;
  uint32_t read_count_ = 0;  // entries of the ring taken
};

class ug_midi_out : public ug_midi_device {
 public:
  ug_midi_out() : ug_midi_device(0, kNoChannelPlug) {}
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;

 protected:
  void OnMidi(uint32_t, uint32_t) override {}
};

}  // namespace ov
