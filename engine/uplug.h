// Plugs, the engine-side ends of a module's connections, and the connectors
// between them.
//
// Threads: plugs and connectors are made, connected and set from text on the
// editor thread while audio is stopped; values, states and transmit are used
// on the audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/interface_object.h"
#include "engine/sample_block.h"
#include "engine/ug_event.h"

namespace ov {

class ug_base;
class UPlug;

// Plug flag bits (not the descriptor's).
enum PlugFlag : int32_t {
  kPlugFlagNonLinear = 0x02,      // the descriptor lacks kPlugLinearInput
  kPlugFlagVoiceReached = 0x04,   // reached by polyphony marking
  kPlugFlagCollects = 0x10,       // collects every connection itself: no adder, no block
  kPlugFlagStaticPending = 0x20,  // value set from outside, static transmission due
  kPlugFlagOwnsStorage = 0x40,
  kPlugFlagPatchBound = 0x80,  // descriptor flags 0x18000 present
};

// The storage of MIDI plugs: senders find their connectors through the cells.
struct MidiOutputCell {
  UPlug* plug = nullptr;
};
struct MidiInputCell {
  UPlug* plug = nullptr;
  int16_t channel = -1;  // -1 takes every channel
};

// One connection from an output to an input. Belongs to its two plugs:
// deleted by Disconnect or when either plug is destroyed.
class connector {
 public:
  // Adds a new connector to both plugs' lists.
  static connector* Connect(UPlug& source, UPlug& destination);
  // Removes it from both lists and deletes it.
  void Disconnect();

  UPlug* Source() const { return source_; }
  UPlug* Destination() const { return destination_; }

 private:
  connector(UPlug& source, UPlug& destination) : source_(&source), destination_(&destination) {}

  UPlug* source_;
  UPlug* destination_;
};

class UPlug {
 public:
  // Owned text storage is reserved to this many bytes, so copies on the audio
  // thread need not allocate; longer text is cut there.
  static constexpr std::size_t kTextCapacity = 256;

  // From a descriptor: its value and buffer members, direction, datatype, and
  // the plug flags its descriptor flags give.
  UPlug(ug_base& owner, int32_t number, const InterfaceObject& descriptor);
  // From direction and datatype alone (spare plugs, constant sources, clone
  // copies), with plug flags given.
  UPlug(ug_base& owner, int32_t number, int32_t direction, int32_t datatype, int32_t flags);
  ~UPlug();
  UPlug(const UPlug&) = delete;
  UPlug& operator=(const UPlug&) = delete;

  static int32_t FlagsFromDescriptor(int32_t descriptor_flags);

  ug_base& Owner() const { return *owner_; }
  int32_t Number() const { return number_; }  // index in the owner's plug array
  int32_t Direction() const { return direction_; }
  int32_t Datatype() const { return datatype_; }
  bool IsInput() const { return direction_ == DR_IN || direction_ == DR_PARAMETER; }
  bool IsAudio() const { return datatype_ == DT_FSAMPLE; }
  int32_t Flags() const { return flags_; }
  void SetFlags(int32_t flags) { flags_ = flags; }
  float** BufferMember() const { return buffer_member_; }

  // Where connections to this plug are really made (an adder's input).
  UPlug* Redirect() const { return redirect_; }
  void SetRedirect(UPlug* plug) { redirect_ = plug; }
  const std::vector<connector*>& Connectors() const { return connectors_; }

  // Stream status: the last state sent (outputs) or received (inputs).
  int32_t State() const { return state_; }
  void SetState(int32_t state) { state_ = state; }

  // Creates the plug's own storage for a cell of `cell_size` samples. Editor
  // thread.
  void SetUpStorage(int32_t cell_size);

  // Audio: the output's block, or the block of the input's source; null for
  // an unconnected input or one that collects its connections.
  USampBlock* Block() const;
  float* Data() const;
  // What the owner reads: the block its bound member points at (which may be
  // a default block of its own), else Data().
  const float* Samples() const;
  // The sample of Samples() at the owner's clock; 0 with no samples. Audio
  // thread.
  float ValueAtClock() const;
  // Audio input: reads the block of `source` (set by connecting).
  void SetSourceBlock(USampBlock* block) { source_block_ = block; }

  // Control values, by datatype.
  int16_t EnumValue() const { return Ref<int16_t>(); }
  bool BoolValue() const { return Ref<bool>(); }
  float FloatValue() const { return Ref<float>(); }
  int32_t IntValue() const { return Ref<int32_t>(); }
  double DoubleValue() const { return Ref<double>(); }
  const std::string& TextValue() const { return Ref<std::string>(); }
  MidiOutputCell& MidiOutput() const { return Ref<MidiOutputCell>(); }
  MidiInputCell& MidiInput() const { return Ref<MidiInputCell>(); }
  bool HasValue() const { return value_ != nullptr; }
  // A MIDI input takes only channel `channel` (0-15) from then on, or every
  // channel for -1; other plugs ignore it.
  void SetChannelFilter(int16_t channel) {
    if (Datatype() == DT_MIDI && HasValue()) MidiInput().channel = channel;
  }

  // Enum, bool, float and integer values as one 32-bit word, the way a
  // status change carries them; other datatypes give 0. Audio thread.
  int32_t Snapshot() const;
  void ApplySnapshot(int32_t word);
  // Enum, bool, float, integer, text and double: takes the source's value.
  void CopyValueFrom(const UPlug& source);
  // Text plugs: takes `text`, cut to the reserved capacity (so the audio
  // thread never allocates). Other datatypes: nothing.
  void SetTextValue(std::string_view text);

  // Output: sends `state` at `time` to every connected input (as a status
  // change queued on its owner). A static is sent once per sample time and
  // leaves the plug in stop. Audio thread.
  void Transmit(uint32_t time, int32_t state);

  // Document values. An output takes the value, then transmits static when
  // its owner is notified. An input sets its source, or gets a constant source
  // on its container's input/output module. MIDI plugs are skipped. Text is
  // read per datatype; audio as volts (x 0.1). Editor thread, audio stopped.
  void SetValueFromText(std::string_view text);

 private:
  friend class connector;

  template <typename T>
  T& Ref() const {
    return *static_cast<T*>(value_);
  }
  void StoreText(std::string_view text);
  void StoreNumber(double value);

  ug_base* owner_;
  int32_t number_;
  void* value_ = nullptr;
  float** buffer_member_ = nullptr;
  int32_t direction_;
  int32_t datatype_;
  int32_t flags_;
  UPlug* redirect_ = nullptr;
  std::vector<connector*> connectors_;
  int32_t state_ = ST_STOP;
  uint32_t last_static_time_ = 0;
  bool has_static_time_ = false;  // no static sent since the last other state

  // Own storage; value_ designates one of these unless the module gave a
  // member.
  std::unique_ptr<USampBlock> block_;   // audio output
  USampBlock* source_block_ = nullptr;  // audio input
  std::unique_ptr<std::string> text_;
  MidiOutputCell midi_output_;
  MidiInputCell midi_input_;
  double double_ = 0.0;
  union {
    int16_t enum_value;
    bool bool_value;
    float float_value;
    int32_t int_value;
  } scalar_{};
};

}  // namespace ov
