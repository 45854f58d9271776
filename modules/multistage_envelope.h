// "Multistage Env": an envelope whose segments come from break points drawn
// on its panel. The document publishes the shape as an immutable segment
// array; each segment moves the level to its point's own level (the last
// one too, which need not be 0) at a fixed slope.
//
// Threads: made, given its shapes and opened on the editor thread while
// audio is stopped; messages, notifications, gate samples and status
// changes on the audio thread, where nothing allocates.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "modules/envelopes.h"
#include "modules/shared_snapshot.h"

namespace ov {

// One break point's segment, in engine units (1.0 = 10 V) and level units
// per second.
struct ShapeSegment {
  enum Kind : int32_t { kPoint = 0, kSustain = 1, kLast = 2 };
  float level = 0.0f;
  float rate = 10.0f;
  int32_t kind = kLast;
  bool operator==(const ShapeSegment&) const = default;
};
// A published shape: the points' segments, then two terminating items, so
// an envelope resting one past its end segment still reads an item.
using ShapeSegments = std::vector<ShapeSegment>;
using ShapeChannel = SharedSnapshot<ShapeSegments>;

// "envs": the model's shape channel has a newer array; the model and each
// voice copy take it.
inline constexpr uint32_t kMsgShapePublished = MessageId("envs");

class ug_envelope_ms : public ug_envelope_base {
 public:
  enum Plug : int32_t { kGate, kOverallLevel, kSignalOut, kIgnoreProgramChange };
  // A new array was published.
  static constexpr int32_t kNotifyNewShape = 7;

  ug_envelope_ms();
  std::unique_ptr<ug_base> CreateInstance() const override;
  std::unique_ptr<ug_base> Clone() override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  void OnMessage(uint32_t message_id, MessageReader& payload) override;
  void OnNotify(int32_t kind, int32_t value) override;

  // The document's shapes. Editor thread, audio stopped.
  void AttachShapes(std::shared_ptr<ShapeChannel> channel);
  int32_t SustainIndex() const { return sustain_segment_; }
  int32_t EndIndex() const { return end_segment_; }

 protected:
  void BeginSegment() override;

 private:
  // Takes the newest published array and finds its sustain and end.
  void TakeNewestShape();

  std::shared_ptr<ShapeChannel> channel_;
  ShapeChannel::Hold shape_;
  const ShapeSegment* segments_ = nullptr;
  bool ignore_program_change_ = false;
  bool order_lowered_ = false;  // a voice copy lowers its sort order once
};

}  // namespace ov
