// "Audio In" and "Wave Player": a WAVE file played through the patch. A
// rising "Gate" starts the file from its beginning, "Pitch Shift" sets the
// speed (volts per octave, 5 V the file's own pitch, corrected for its
// sample rate), an 8-tap windowed-sinc interpolator resamples it, and a
// sampler loop is sustained while the gate stays above 0 V. "Audio In" can
// also select live input, which the plug-in does not have: it is silent then.
//
// The file is read whole into memory when the engine opens; the audio
// thread copies it through the same 4096-sample buffer a disk stream would
// use. A new "File Name" while the engine runs is loaded by the media file
// thread and taken over at the next process call; the module stays silent
// until the gate rises again.
//
// Threads: opened and closed on the editor thread while audio is stopped;
// status changes and processing on the audio thread; ServeMedia on the media
// file thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/byte_ring.h"
#include "engine/lookup_table.h"
#include "engine/ug_base.h"
#include "engine/media_file_thread.h"
#include "media/wave_data.h"
#include "modules/plug_table.h"

namespace ov {

class DataFiles;

class ug_wave_in : public ug_base, private MediaFileThread::Client {
 public:
  enum Plug : int32_t { kGate, kPitchShift, kLeftOut, kRightOut, kFileName, kMode };
  static constexpr int32_t kBufferSamples = 4096;
  static constexpr int32_t kHistoryFrames = 8;
  // Faster than this would skip over the taps the interpolator reads.
  static constexpr uint32_t kMaxIncrement = 32u << 24;

  ug_wave_in();
  ~ug_wave_in() override;
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Close() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // Frames × 2^24 per output sample for a "Pitch Shift" value (volts / 10).
  // Audio thread.
  uint32_t Increment(float pitch) const;
  bool Playing() const { return playing_; }
  const WaveData* Wave() const { return wave_ ? wave_.get() : nullptr; }
  // A file is there and no other is being loaded. Audio thread.
  bool FileReady() const { return wave_ && wave_current_; }

 protected:
  void ListPlugs(PlugTable table, std::vector<InterfaceObject>& descriptors);

 private:
  using Renderer = void (ug_wave_in::*)(int32_t position, int32_t count);
  // A file loaded on the media thread, handed to the audio thread, and
  // handed back holding the file it replaced, to be freed there.
  struct Load {
    std::shared_ptr<const WaveData> wave;
    std::string message;
    bool cant_open = false;
  };

  void LoadNow();
  void ShowLoadMessage(const Load& load);
  bool ServeMedia() override;
  void TakeLoadedFile();
  void RequestLoad(const std::string& name);
  void StopPlaying();
  void StartPlayback(int32_t index);
  bool FillBuffer();
  void GateProcess(int32_t position, int32_t count);
  template <int kChannels>
  void Render(int32_t position, int32_t count);
  void RenderSilent(int32_t position, int32_t count);
  void EndAt(int32_t index, int32_t end);
  uint32_t TimeAt(int32_t index) const;

  float* gate_ = nullptr;
  float* pitch_ = nullptr;
  float* left_ = nullptr;
  float* right_ = nullptr;
  std::string file_name_;
  int16_t mode_ = 0;

  std::shared_ptr<const ULookup> table_;
  std::shared_ptr<const WaveData> wave_;
  std::string open_name_;      // the name wave_ (or the load asked for) came from
  bool wave_current_ = false;  // false while a new file is being loaded
  int32_t pending_loads_ = 0;  // asked of the media thread, not yet taken
  bool file_mode_ = true;
  bool cant_open_shown_ = false;
  const DataFiles* files_ = nullptr;
  bool registered_ = false;

  alignas(16) std::array<float, kBufferSamples> buffer_{};
  int32_t channels_ = 1;
  int32_t read_ = 0;            // frame index of s(0) in the buffer
  int32_t end_mark_ = 0;        // frames: a tap would leave the buffer from here
  uint64_t read_position_ = 0;  // bytes from the data start
  uint32_t fraction_ = 0;       // low 24 bits: fraction of a frame
  uint32_t increment_ = 0;
  bool playing_ = false;
  Renderer renderer_ = &ug_wave_in::RenderSilent;
  int32_t silent_countdown_ = 0;
  int32_t gate_state_ = ST_STOP;
  bool gate_high_ = false;

  // Audio thread to media thread: names to load (length, then bytes);
  // media thread to audio thread: Load records; and back, to be freed.
  ByteRing requests_{4 * (UPlug::kTextCapacity + sizeof(uint32_t))};
  ByteRing loaded_{16 * sizeof(Load*)};
  ByteRing retired_{64 * sizeof(Load*)};
  Load* unsent_ = nullptr;  // media thread: a load the full ring did not take
};

class ug_wave_player : public ug_wave_in {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
};

}  // namespace ov
