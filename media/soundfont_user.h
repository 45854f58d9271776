// What both sound-font generators share: the bank they hold a reference to,
// starting a zone for a key and velocity, and advancing and interpolating
// through its sample data. Also the editor side's face towards them
// (SoundfontSource) and the hand-over of a newly loaded bank.
//
// Banks change hands without the audio thread reading the document: the
// editor side writes a referenced bank into the model generator's hand-over
// ring and notifies kind 9; the model passes it to every voice copy. A bank
// whose last reference goes on the audio thread is deleted by the media
// file thread.
//
// Threads: Open, Close and SetSource on the editor thread (audio stopped);
// starting, advancing and notifications on the audio thread (or the editor
// thread while audio is stopped); ServeMedia on the media file thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/byte_ring.h"
#include "engine/lookup_table.h"
#include "engine/media_file_thread.h"
#include "media/soundfont_bank.h"
#include "media/soundfont_source.h"

namespace ov {

class ug_soundfont_user : private MediaFileThread::Client {
 public:
  // Notification kinds from the editor side.
  static constexpr int32_t kNotifyChoices = 1;
  static constexpr int32_t kNotifyNewBank = 9;
  // Faster than this would let the position fraction overflow.
  static constexpr uint64_t kMaxIncrement = uint64_t{128} << 24;

  enum class Start { kNoZone, kRom, kPlaying };

  ug_soundfont_user();
  ~ug_soundfont_user() override;

  void SetSource(SoundfontSource* source) { source_ = source; }
  SoundfontSource* Source() const { return source_; }
  soundfont_bank* Bank() const { return bank_; }
  // Editor side: hands `bank` (one reference taken for the hand-over) to
  // the model; false when the ring is full, and the reference is given back.
  bool HandOver(soundfont_bank* bank);
  // 1 when the last note found only a ROM sample. Any thread.
  uint8_t StatusFlag() const { return status_flag_->load(std::memory_order_relaxed); }

  // Samples × 2^24 per output sample for `octaves` above the sample's own
  // pitch and rate; computed wide and kept to 0 .. kMaxIncrement.
  static uint32_t IncrementFor(double octaves, double sample_rate, double engine_rate);
  // The interpolation of one output sample, as the generators compute it.
  static float Interpolate(const float* rows, std::span<const float> data, int64_t position,
                           uint32_t fraction);

 protected:
  // Editor thread: takes the source's bank (channel 9 on the drum bank),
  // fetches the interpolation table and joins the media thread.
  void OpenUser();
  // A voice copy shares its model's source and status flag.
  void CopyUserSetup(const ug_soundfont_user& model) {
    source_ = model.source_;
    status_flag_ = model.status_flag_;
  }
  void CloseUser();
  // The model on kind 9: every generator of the chain drops its bank and
  // takes the one handed over. Audio thread.
  void TakeHandedBank();
  // Kinds 1 and 9: the first `channels` channels take the source's choices,
  // or the handed bank is taken; false for any other kind. The generator
  // then asks for a refresh. Audio thread.
  bool TakeNotification(int32_t kind, int32_t channels);
  void ReplaceBank(soundfont_bank* bank);
  // The generator after this one on the voice copy chain, or null.
  virtual ug_soundfont_user* NextUser() const = 0;
  // The bank changes under a sounding note.
  virtual void OnBankGone() = 0;

  Start StartZone(int32_t channel, int32_t key, int32_t velocity);
  // Advances one output sample; false when the sound ended at it.
  bool Advance();
  // The read pointer reached the current end: loops, or ends the sound
  // (false).
  bool Wrap();
  // Renders up to `count` output samples at the current increment, each
  // scaled by `level`, which grows by `step` before every sample; stereo
  // sends the secondary to `left` and the primary to `right`, mono the
  // primary to both. Answers the samples rendered: fewer than `count` when
  // the sound ended at the one after them.
  template <bool kStereo>
  int32_t RenderRun(float* left, float* right, int32_t count, float& level, float step);
  // Primary and secondary values at the current position.
  float Primary() const { return Interpolate(rows_, data_, read_, fraction_); }
  float Secondary() const {
    return Interpolate(rows_, data_, read_ + secondary_offset_, fraction_);
  }
  void SetStatusFlag(uint8_t value) { status_flag_->store(value, std::memory_order_relaxed); }

  bool zone_playing_ = false;
  const SfSampleHeader* primary_ = nullptr;
  const SfSampleHeader* secondary_ = nullptr;
  std::array<int16_t, kZoneGenerators> gens_{};  // the zone started, copied
  int32_t mode_ = 0;
  bool loop_released_ = false;
  int64_t start_ = 0, loop_start_ = 0, loop_end_ = 0, end_ = 0, current_end_ = 0;
  int64_t read_ = 0;
  int64_t secondary_offset_ = 0;
  uint32_t fraction_ = 0;
  uint32_t increment_ = 0;

 private:
  bool ServeMedia() override;
  void ReleaseBank();
  // Gives back one reference; the last one deletes the bank off the audio
  // thread.
  void Retire(soundfont_bank* bank);

  SoundfontSource* source_ = nullptr;
  soundfont_bank* bank_ = nullptr;
  std::span<const float> data_;
  std::shared_ptr<const ULookup> table_;
  const float* rows_ = nullptr;
  std::atomic<uint8_t> own_flag_{0};
  std::atomic<uint8_t>* status_flag_ = &own_flag_;  // the model's, for copies
  bool registered_ = false;
  // Editor side to audio thread: banks handed over; audio thread to the
  // media thread: banks to delete.
  ByteRing handover_{8 * sizeof(soundfont_bank*)};
  ByteRing retired_{32 * sizeof(soundfont_bank*)};
  std::array<soundfont_bank*, 4> unretired_{};  // the full ring's: deleted at close
};

}  // namespace ov
