// "Audio Out" and "Wave Recorder": what reaches "Left (Mono)" and "Right" is
// written to a WAVE file (16-bit integer or 32-bit float) from engine start,
// for a set time, after which the module asks the engine to stop and ends
// its take. The file is completed when the engine stops; it may then be
// played once, and a rendering-speed report shown. "Audio Out" can also
// select the sound card ("Speaker") or nothing, which write nothing.
//
// The audio thread only fills a 2048-byte buffer and hands each full one to
// a lock-free ring (two seconds of sound) that the media file thread writes
// to disk; a full ring drops the buffer, counted and reported (unless the
// host renders offline: then the audio thread waits for room). The header
// is rewritten after every batch the thread writes, so a take survives a
// crash of the host with every frame that reached the disk.
//
// Threads: opened and closed on the editor thread while audio is stopped;
// status changes, processing and scheduled functions on the audio thread;
// ServeMedia on the media file thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/byte_ring.h"
#include "engine/ug_base.h"
#include "engine/media_file_thread.h"
#include "modules/plug_table.h"
#include "platform/new_file.h"

namespace ov {

class ug_wave_out : public ug_base, private MediaFileThread::Client {
 public:
  enum Plug : int32_t { kLeft, kRight, kFileName, kMode };
  enum Mode : int16_t { kModeFile, kModeSpeaker, kModeNoAudio };
  static constexpr int32_t kBufferBytes = 2048;
  static constexpr uint32_t kHeaderBytes = 44;

  ug_wave_out();
  ~ug_wave_out() override;
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Close() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  int32_t Channels() const { return channels_; }
  int32_t Bits() const { return bits_; }
  // The path of the take, once created. Editor thread.
  const std::string& Path() const { return path_; }
  // Samples between hand-overs to the media thread: one buffer's worth.
  int32_t FlushPeriod() const { return kBufferBytes * 8 / (channels_ * bits_); }
  // The sample time the stop request is scheduled for. Audio thread.
  uint32_t StopTime() const { return stop_time_; }
  uint32_t DroppedBuffers() const { return dropped_; }
  // Everything handed over has reached the media thread. Audio thread.
  bool Drained() const { return !ring_ || ring_->WritableSize() == ring_->Capacity(); }

 protected:
  // "Wave Recorder" lists its plugs in another order, without "Mode".
  ug_wave_out(bool fixed_file_mode) : fixed_file_mode_(fixed_file_mode) {}

  float* left_ = nullptr;
  float* right_ = nullptr;
  std::string file_name_;
  int16_t format_ = 0;  // 0: 16-bit integer, 1: 32-bit float
  double time_limit_ = 4.0;
  bool play_ = false;
  bool report_ = false;
  int16_t mode_ = kModeFile;

 private:
  void OpenFile();
  bool ServeMedia() override;
  // Writes what the ring holds to the file, then the header. The thread
  // that owns the file just then (media thread, or editor at close).
  bool WriteQueued();
  bool WriteHeader();
  void FinishTake();
  void ReportStats();
  static void TimeIsUp(ug_base& generator);
  void HandOver();
  template <bool kFloat, int kChannels>
  void Write(int32_t position, int32_t count);
  void ScheduleStop();

  const bool fixed_file_mode_ = false;
  int32_t channels_ = 1;
  int32_t bits_ = 16;
  std::string path_;
  NewFile file_;
  bool recording_ = false;  // audio thread: still appending to the take
  alignas(16) std::array<uint8_t, kBufferBytes> buffer_{};
  int32_t fill_ = 0;
  uint64_t bytes_handed_ = 0;  // audio thread
  uint32_t dropped_ = 0;       // audio thread
  uint32_t stop_time_ = 0;
  uint32_t started_ms_ = 0;
  std::unique_ptr<ByteRing> ring_;
  // Written by the thread that owns the file; read after it hands over.
  uint64_t bytes_written_ = 0;
  std::atomic<bool> write_failed_{false};
  bool failure_reported_ = false;  // audio thread
  bool registered_ = false;
};

class ug_wave_recorder : public ug_wave_out {
 public:
  ug_wave_recorder() : ug_wave_out(true) {}
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
};

}  // namespace ov
