// "MIDI Recorder": every channel message that reaches "MIDI In" (through
// the "Channel" filter) is written to a format-0 Standard MIDI File timed in
// milliseconds from engine start, all on channel 1. The take is created in
// the library folder when the engine opens, never replacing a file (the
// name gets "-2", "-3", ... instead); the audio thread only hands each
// message's bytes to a lock-free ring that the media file thread writes,
// and the header and end of track are rewritten after every batch, so the
// file on disk is complete at all times.
//
// Threads: opened and closed on the editor thread while audio is stopped;
// MIDI on the audio thread; ServeMedia on the media file thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/byte_ring.h"
#include "engine/media_file_thread.h"
#include "modules/host_io.h"
#include "platform/new_file.h"

namespace ov {

class ug_midi_recorder : public ug_midi_device, private MediaFileThread::Client {
 public:
  enum Plug : int32_t { kFileName, kMidiIn, kChannel };
  // "MThd" and its 8 bytes, "MTrk" and its length.
  static constexpr uint32_t kHeaderBytes = 24;
  // Minutes of dense MIDI: the media thread empties it every few milliseconds.
  static constexpr uint32_t kRingBytes = 1u << 18;

  ug_midi_recorder();
  ~ug_midi_recorder() override;
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Close() override;

  // The take's path, once created. Editor thread.
  const std::string& Path() const { return path_; }
  // Everything handed over has reached the media thread. Audio thread.
  bool Drained() const { return !ring_ || ring_->WritableSize() == ring_->Capacity(); }

 protected:
  void OnMidi(uint32_t time, uint32_t word) override;

 private:
  bool ServeMedia() override;
  // Writes what the ring holds, then the end of track and the header. The
  // thread that owns the file just then (media thread, or editor at close).
  bool WriteQueued();
  bool WriteHeaderAndEnd();
  void Fail();

  std::string file_name_;
  std::string path_;
  NewFile file_;
  std::unique_ptr<ByteRing> ring_;
  bool recording_ = false;  // audio thread
  uint64_t last_ms_ = 0;    // audio thread: the time of the last message written
  uint32_t dropped_ = 0;    // audio thread
  bool failure_reported_ = false;
  // Written by the thread that owns the file; read after it hands over.
  uint64_t bytes_written_ = 0;
  std::atomic<bool> write_failed_{false};
  bool registered_ = false;
};

}  // namespace ov
