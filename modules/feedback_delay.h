// "Feedback Delay": the way to close a signal loop. One module, two
// generators with no connector between them, so the graph's sort and its
// feedback search see one path ending at the input half and another
// starting at the output half. The input half copies its "Audio In" into
// the output half's "Audio Out" block, and runs after every other generator
// of the engine, so whatever reads that block reads it one engine block
// later; its stream states follow one engine block later too (event
// UET_DELAYED_STATE).
//
// The graph build makes the output half beside the module's generator and
// redirects "Audio Out" and "Delay Time Out" to it. Voice copies of either
// half find their partner among the copies of their voice; a half without
// one does nothing.
//
// Threads: built, paired, copied and opened on the editor thread while
// audio is stopped; status changes, events and processing on the audio
// thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/ug_base.h"

namespace ov {

class ug_feedback_delay_out;

class ug_feedback_delay : public ug_base {
 public:
  enum Plug : int32_t { kAudioIn, kAudioOut, kDelayTimeOut };

  std::unique_ptr<ug_base> CreateInstance() const override;
  std::unique_ptr<ug_base> Clone() override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  ug_base* DownstreamPartner() const override;
  void OnVoiceCopied(const std::function<ug_base*(const ug_base*)>& copy_of) override;

  // Links the two halves both ways (null unlinks this one). Editor thread.
  void SetPartner(ug_feedback_delay_out* partner);
  ug_feedback_delay_out* Partner() const { return partner_; }

 private:
  void Copy(int32_t position, int32_t count);
  // Copies until one engine block of the held value has crossed, then sleeps.
  void CopyCountingDown(int32_t position, int32_t count);

  float* input_ = nullptr;
  float* target_ = nullptr;  // the partner's "Audio Out" samples
  ug_feedback_delay_out* partner_ = nullptr;
  const ug_base* model_partner_ = nullptr;  // a voice copy's original's partner
  int32_t countdown_ = 0;
};

class ug_feedback_delay_out : public ug_base {
 public:
  // The unnamed first plug only keeps the outputs' numbers equal to the
  // module's.
  enum Plug : int32_t { kPlaceholder, kAudioOut, kDelayTimeOut };

  std::unique_ptr<ug_base> CreateInstance() const override;
  std::unique_ptr<ug_base> Clone() override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void HandleEvent(ug_event& event) override;
  ug_base* UpstreamPartner() const override;
  void OnVoiceCopied(const std::function<ug_base*(const ug_base*)>& copy_of) override;

  ug_feedback_delay* Partner() const { return partner_; }

  // The delay in milliseconds, as the output carries it (1.0 = 10 V).
  static float DelayTimeValue(int32_t engine_block_size, float sample_rate);

 private:
  friend class ug_feedback_delay;
  void FillDelayTime(int32_t position, int32_t count);

  float* delay_time_ = nullptr;
  ug_feedback_delay* partner_ = nullptr;
  const ug_base* model_partner_ = nullptr;
  int32_t countdown_ = 0;
};

}  // namespace ov
