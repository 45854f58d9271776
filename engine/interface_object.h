// Plug descriptors: how a module type declares its plugs. A generator lists
// its descriptors in plug order; plug numbers are positions in that list.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace ov {

enum PlugDirection : int32_t {
  DR_IN = 0,
  DR_OUT = 1,
  DR_CONTAINER_IO = 2,
  DR_PARAMETER = 3,
};

enum PlugDatatype : int32_t {
  DT_ENUM = 0,  // 16-bit list index
  DT_TEXT = 1,
  DT_MIDI = 2,
  DT_DOUBLE = 3,
  DT_BOOL = 4,
  DT_FSAMPLE = 5,  // audio: a sample block per engine cell
  DT_FLOAT = 6,
  DT_INT = 8,
};

// Descriptor flag bits.
enum DescriptorFlag : int32_t {
  kPlugNonLinearAudioIn = 0x00001,     // every non-linear audio input gets it
  kPlugTakesPartnerName = 0x00004,     // an auto-duplicating plug takes its partner's name
  kPlugAutoDuplicate = 0x00008,        // connecting it adds a fresh plug
  kPlugSettableOutput = 0x00020,       // output whose document value reaches the generator
  kPlugSkippedByClones = 0x00040,      // clones skip it
  kPlugCollectsConnections = 0x00080,  // input that collects all its connections itself
  kPlugLinearInput = 0x00200,
  kPlugPanelSide = 0x00400,       // panel-side plug
  kPlugAutoList = 0x00800,        // item list built from the module's plugs ("{AUTO}")
  kPlugPatchStored = 0x08000,     // with 0x400: stored per patch
  kPlugPatchParameter = 0x10000,  // input registered as a patch parameter
};

struct InterfaceObject {
  // An audio input that is not linear always gets kPlugNonLinearAudioIn.
  InterfaceObject(float** buffer_member, int32_t direction, std::string hint, std::string name,
                  std::string default_text, std::string list_text, int32_t flags, int32_t datatype,
                  void* value_member)
      : buffer_member(buffer_member),
        direction(direction),
        hint(std::move(hint)),
        name(std::move(name)),
        default_text(std::move(default_text)),
        list_text(std::move(list_text)),
        flags(flags),
        datatype(datatype),
        value_member(value_member) {
    if (direction == DR_IN && datatype == DT_FSAMPLE &&
        (flags & (kPlugLinearInput | kPlugNonLinearAudioIn)) == 0) {
      this->flags |= kPlugNonLinearAudioIn;
    }
  }

  float** buffer_member;  // receives the plug's sample data address at open
  int32_t direction;
  std::string hint;
  std::string name;
  std::string default_text;
  std::string list_text;
  int32_t flags;
  int32_t datatype;
  void* value_member;  // the generator's member variable for this plug
};

}  // namespace ov
