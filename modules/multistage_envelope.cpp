#include "modules/multistage_envelope.h"

#include <algorithm>
#include <array>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

constexpr float kQuickReleaseStep = 0.06666667f;
// What an envelope plays before any shape is published: it rests at 0.
constexpr std::array<ShapeSegment, 2> kNoShape = {ShapeSegment{}, ShapeSegment{}};

}  // namespace

ug_envelope_ms::ug_envelope_ms() : ug_envelope_base(kGate, kOverallLevel, kSignalOut) {
  segments_ = kNoShape.data();
  segment_count_ = 1;
}

std::unique_ptr<ug_base> ug_envelope_ms::CreateInstance() const {
  return std::make_unique<ug_envelope_ms>();
}

std::unique_ptr<ug_base> ug_envelope_ms::Clone() {
  std::unique_ptr<ug_base> copy = ug_envelope_base::Clone();
  if (channel_) static_cast<ug_envelope_ms&>(*copy).AttachShapes(channel_);
  return copy;
}

void ug_envelope_ms::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kEnvelopeMsPlugs, {gate_, overall_, output_, ignore_program_change_}, descriptors);
}

void ug_envelope_ms::AttachShapes(std::shared_ptr<ShapeChannel> channel) {
  // Voice copies made before the document attached read the model's shapes.
  for (ug_base* copy = this; copy != nullptr; copy = copy->NextClone()) {
    auto& envelope = static_cast<ug_envelope_ms&>(*copy);
    envelope.channel_ = channel;
    envelope.shape_.Attach(channel);
  }
}

void ug_envelope_ms::TakeNewestShape() {
  shape_.Refresh();
  const ShapeSegments* shape = shape_.get();
  segments_ = shape != nullptr && shape->size() >= 2 ? shape->data() : kNoShape.data();
  int32_t sustain = -1;
  int32_t end = 0;
  while (segments_[end].kind != ShapeSegment::kLast) {
    if (segments_[end].kind == ShapeSegment::kSustain) sustain = end;
    ++end;
  }
  end_segment_ = static_cast<int16_t>(end);
  segment_count_ = static_cast<int16_t>(end + 1);
  sustain_segment_ = static_cast<int16_t>(sustain < 0 ? end : sustain);
}

void ug_envelope_ms::Open() {
  // A voice copy runs after the voice's other generators of the model's
  // order (its note source's copy among them), so its gate is current.
  if ((Flags() & UGF_CLONE) != 0 && !order_lowered_) {
    SetSortOrder(SortOrder() - 1);
    order_lowered_ = true;
  }
  TakeNewestShape();
  ug_envelope_base::Open();
  // Rest on the terminating item past the end until a shape arrives.
  increment_ = 0.0f;
  current_segment_ = static_cast<int16_t>(end_segment_ + 1);
  BeginSegment();
}

void ug_envelope_ms::BeginSegment() {
  const ShapeSegment& item = segments_[std::max<int32_t>(current_segment_, 0)];
  target_ = item.level;
  ChooseProcessFunction();
  const bool overall_streams = Streams(OverallPlug());
  int32_t state = ST_RUN;
  if (increment_ == 0.0f) {
    if (overall_streams) {
      SetRoutine(&ug_envelope_ms::HoldTimesOverall);
    } else {
      overall_value_ = ValueNow(OverallPlug());
      SetRoutine(&ug_envelope_ms::HoldConstant);
      rest_countdown_ = Master()->EngineBlockSize();
      // The new constant is announced as one, so readers take it.
      state = ST_STATIC;
    }
  } else if (quick_release_) {
    increment_ = level_ * kQuickReleaseStep;
    target_ = 0.0f;
    StartRamp(overall_streams);
  } else {
    increment_ = item.rate / Master()->SampleRate();
    StartRamp(overall_streams);
  }
  TransmitOutput(state);
}

void ug_envelope_ms::OnStatusChange(uint32_t, connector* link, int32_t state) {
  SyncPosition();
  if (link->Destination() == &GatePlug()) {
    if (state == ST_RUN) {
      ChooseProcessFunction();
    } else {
      GateEdge(ValueNow(GatePlug()));
    }
  }
  BeginSegment();
}

void ug_envelope_ms::OnMessage(uint32_t message_id, MessageReader& payload) {
  if (message_id != kMsgShapePublished) {
    ug_envelope_base::OnMessage(message_id, payload);
    return;
  }
  for (ug_base* copy = this; copy != nullptr; copy = copy->NextClone()) {
    copy->ReceiveNotify(kNotifyNewShape, 0);
  }
}

void ug_envelope_ms::OnNotify(int32_t kind, int32_t value) {
  if (kind != kNotifyNewShape) {
    ug_envelope_base::OnNotify(kind, value);
    return;
  }
  SyncPosition();
  TakeNewestShape();
  current_segment_ = std::min(current_segment_, end_segment_);
  // A sustain level edited during the hold is glided to at the sustain
  // point's rate; a running segment restarts from the level reached.
  if (current_segment_ == sustain_segment_ && target_ != segments_[current_segment_].level) {
    increment_ = 1.0f;
    ChooseProcessFunction();
  }
  if (current_segment_ < end_segment_ || level_ != 0.0f) BeginSegment();
}

}  // namespace ov
