// What the audio master needs from the application that owns it.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/vst2.h"

namespace ov {

class DataFiles;
class HostInputPort;
class HostOutputPort;
struct MidiRing;
class ModuleTables;

class EngineHost {
 public:
  virtual ~EngineHost() = default;

  // Audio thread: asks the host for its time information with the given
  // filter flags; null when there is no host or it gives none.
  virtual const vst2::VstTimeInfo* HostTimeInfo(int32_t filter) = 0;

  // Any thread: a fresh message-target identifier, unique within the
  // application (used to register the master itself).
  virtual uint32_t NewTargetId() = 0;

  // Editor thread only (engine build and start, and the editor's idle): a
  // message for the user. The audio thread never calls this; it posts
  // "mbox" through the engine-to-editor ring.
  virtual void PostUserMessage(std::string_view text) = 0;

  // The files modules open by name and write into; null when the
  // application has none. Editor thread, or the media file thread while the
  // engine runs.
  virtual const DataFiles* MediaFiles() const { return nullptr; }

  // Editor thread, audio stopped (engine open and close): the generators that
  // carry the host's audio and MIDI register here; null unregisters. An
  // application without a plug-in around it ignores them.
  virtual void SetHostInputPort(HostInputPort*) {}
  virtual void SetHostOutputPort(HostOutputPort*) {}
  // Any thread: the ring of MIDI from the platform's MIDI input that "MIDI
  // In" modules read on the audio thread; null when nothing feeds one.
  virtual const MidiRing* PlatformMidiIn() const { return nullptr; }
  // Audio thread: true unless a block since the last resume came through the
  // accumulating process call, so outputs must be added to the host's
  // buffers rather than written over them.
  virtual bool HostReplaces() const { return true; }
  // Audio thread: whether the host renders offline, faster than real time
  // (a bounce), so that the engine may wait for work it handed to another
  // thread rather than lose it. Asks the host: call it rarely.
  virtual bool RendersOffline() { return false; }
  // Editor thread (engine build and start): the shared tables of module
  // libraries, the application's own; null when it keeps none.
  virtual ModuleTables* LibraryTables() { return nullptr; }
  // Any thread: the vendor text that module libraries may show; empty
  // unless the project allows it.
  virtual std::string_view ModuleVendorText() const { return {}; }
  // The thread holding the engine gate, at a block start after
  // OvAudioMaster::RaiseHostParametersPending: host parameters that were set
  // from another thread hand their values to the engine halves that take
  // them. Allocates nothing.
  virtual void ApplyQueuedHostParameters() {}
  // The thread the host calls from: one call of the VST host's callback on
  // behalf of a module library; 0 without a host.
  virtual intptr_t CallVstHost(int32_t /*opcode*/, int32_t /*index*/, intptr_t /*value*/,
                               void* /*ptr*/, float /*opt*/) {
    return 0;
  }
};

}  // namespace ov
