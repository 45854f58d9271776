#include "document/envelope_shape.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "patches/message_hub.h"

namespace ov {
namespace {

// The shortest time between points that the slope divides by.
constexpr float kMinSpan = 0.0001f;

float ReadNumber(std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  const float value = std::strtof(copy.c_str(), &end);
  return end != copy.c_str() && std::isfinite(value) ? value : 0.0f;
}

std::string Format(float value, const char* format) {
  char text[64];
  std::snprintf(text, sizeof text, format, static_cast<double>(value));
  return text;
}

}  // namespace

EnvelopeShape EnvelopeShape::Parse(std::string_view text) {
  EnvelopeShape shape;
  while (!text.empty() && shape.points.size() < kMaxPoints) {
    const std::size_t open = text.find('(');
    const std::size_t comma = text.find(',');
    const std::size_t close = text.find(')');
    if (close == std::string_view::npos || close == 0) break;
    if (open == std::string_view::npos || !(open < comma && comma < close)) break;
    if (text.front() == 'S') shape.sustain = shape.points.size();
    shape.points.push_back({ReadNumber(text.substr(comma + 1, close - comma - 1)),
                            ReadNumber(text.substr(open + 1, comma - open - 1))});
    text.remove_prefix(close + 1);
  }
  return shape;
}

std::string EnvelopeShape::Text() const {
  std::string text;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (sustain == i) text += 'S';
    text += "(" + Format(points[i].time, "%f") + "," + Format(points[i].level, "%f") + ")";
  }
  return text;
}

ShapeSegments EnvelopeShape::Segments() const {
  ShapeSegments segments;
  segments.reserve(points.size() + 2);
  env_seg previous;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const env_seg& point = points[i];
    const float span = std::max(std::fabs(point.time - previous.time), kMinSpan);
    const int32_t kind = i + 1 == points.size() ? ShapeSegment::kLast
                         : sustain == i         ? ShapeSegment::kSustain
                                                : ShapeSegment::kPoint;
    segments.push_back({point.level, std::fabs(point.level - previous.level) / span, kind});
    previous = point;
  }
  segments.push_back({});
  segments.push_back({});
  return segments;
}

parameter_cug_xtra2::~parameter_cug_xtra2() {
  watchers_.Notify(Notification(kNotifyPlugDestroyed, this));
}

std::string parameter_cug_xtra2::ValueText() const {
  return datatype_ == DT_INT ? std::to_string(static_cast<int32_t>(Value()))
                             : Format(Value(), "%.3f");
}

void parameter_cug_xtra2::WriteValueText(const std::string& text) { SetValue(ReadNumber(text)); }

constinit const SerialClass Ctl_Env_Edit::kClass{"Ctl_Env_Edit", 1, false,
                                                 &MakeObject<Ctl_Env_Edit>, &kCtl_SelfDrawing};

Ctl_Env_Edit::Ctl_Env_Edit()
    : CControl(kText),
      cur_segment_(*this, "Cur Segment", DT_INT, &Ctl_Env_Edit::CurSegment,
                   &Ctl_Env_Edit::SetCurSegment),
      segment_rate_(*this, "Segment Rate", DT_FLOAT, &Ctl_Env_Edit::SegmentRate,
                    &Ctl_Env_Edit::SetSegmentRate),
      segment_level_(*this, "Segment Level", DT_FLOAT, &Ctl_Env_Edit::SegmentLevel,
                     &Ctl_Env_Edit::SetSegmentLevel) {}

void Ctl_Env_Edit::ReadCurrentPatch() {
  if (ValueText(-1).empty()) SetValueText(-1, std::string(kDefaultShape));
  const std::optional<std::size_t> selected = selected_;
  shape_ = EnvelopeShape::Parse(ValueText(-1));
  selected_ = selected && *selected < shape_.points.size() ? selected : std::nullopt;
  Publish();
}

void Ctl_Env_Edit::Publish() {
  channel_->Publish(std::make_unique<const ShapeSegments>(shape_.Segments()));
  if (ug_base* generator = Generator(); generator != nullptr && Hub() != nullptr) {
    Hub()->PostToEngine(generator->TargetId(), kMsgShapePublished, MessageWriter());
  }
}

void Ctl_Env_Edit::Commit() {
  Publish();
  SetValueText(-1, shape_.Text());
  Notify(Notification(kNotifyContentsChanged, this));
}

void Ctl_Env_Edit::NotifyParameters() {
  for (parameter_cug_xtra2* parameter : {&cur_segment_, &segment_rate_, &segment_level_}) {
    parameter->Watchers().Notify(Notification(kNotifyValueChanged, parameter));
  }
}

void Ctl_Env_Edit::SelectPoint(std::size_t index) {
  if (index >= shape_.points.size()) return;
  selected_ = index;
  NotifyParameters();
}

void Ctl_Env_Edit::MovePoint(std::size_t index, float time, float level) {
  std::vector<env_seg>& points = shape_.points;
  if (index >= points.size() || !std::isfinite(time) || !std::isfinite(level)) return;
  const bool last = index + 1 == points.size();
  const float earliest = index == 0 ? 0.0f : points[index - 1].time;
  const float latest = last ? kLastTime : points[index + 1].time;
  points[index].time = std::clamp(time, earliest, std::max(earliest, latest));
  points[index].level = last ? 0.0f : std::clamp(level, -1.0f, 1.0f);
  Publish();
  NotifyParameters();
}

void Ctl_Env_Edit::EndDrag() {
  SetValueText(-1, shape_.Text());
  Notify(Notification(kNotifyContentsChanged, this));
}

void Ctl_Env_Edit::DeleteSegment(std::size_t index) {
  std::vector<env_seg>& points = shape_.points;
  if (index + 1 >= points.size()) return;  // never the last point
  points.erase(points.begin() + static_cast<std::ptrdiff_t>(index));
  if (shape_.sustain == index) {
    shape_.sustain.reset();
  } else if (shape_.sustain && *shape_.sustain > index) {
    --*shape_.sustain;
  }
  selected_.reset();
  Commit();
  NotifyParameters();
}

void Ctl_Env_Edit::InsertSegment(std::size_t index) {
  std::vector<env_seg>& points = shape_.points;
  if (index >= points.size() || points.size() >= EnvelopeShape::kMaxPoints) return;
  const env_seg before = index == 0 ? env_seg{} : points[index - 1];
  const env_seg middle{(before.level + points[index].level) * 0.5f,
                       (before.time + points[index].time) * 0.5f};
  points.insert(points.begin() + static_cast<std::ptrdiff_t>(index), middle);
  if (shape_.sustain && *shape_.sustain >= index) ++*shape_.sustain;
  if (selected_ && *selected_ >= index) ++*selected_;
  Commit();
}

void Ctl_Env_Edit::ToggleSustain(std::size_t index) {
  if (index >= shape_.points.size()) return;
  if (shape_.sustain == index) {
    shape_.sustain.reset();
  } else {
    shape_.sustain = index;
  }
  Commit();
}

float Ctl_Env_Edit::CurSegment() const { return selected_ ? static_cast<float>(*selected_) : 0.0f; }

void Ctl_Env_Edit::SetCurSegment(float index) {
  if (!std::isfinite(index) || index < 0.0f || index >= static_cast<float>(shape_.points.size())) {
    return;
  }
  selected_ = static_cast<std::size_t>(index);
  Notify(Notification(kNotifyContentsChanged, this));
}

float Ctl_Env_Edit::SegmentRate() const {
  if (!selected_) return 0.0f;
  const float before = *selected_ == 0 ? 0.0f : shape_.points[*selected_ - 1].time;
  return shape_.points[*selected_].time - before;
}

void Ctl_Env_Edit::SetSegmentRate(float seconds) {
  if (!selected_ || !std::isfinite(seconds)) return;
  const float before = *selected_ == 0 ? 0.0f : shape_.points[*selected_ - 1].time;
  shape_.points[*selected_].time = before + seconds;
  Publish();
  SetValueText(-1, shape_.Text());
}

float Ctl_Env_Edit::SegmentLevel() const {
  return selected_ ? shape_.points[*selected_].level * 10.0f : 0.0f;
}

void Ctl_Env_Edit::SetSegmentLevel(float volts) {
  if (!selected_ || !std::isfinite(volts)) return;
  if (*selected_ + 1 == shape_.points.size()) return;  // the last point's level stays
  env_seg& point = shape_.points[*selected_];
  if (point.level == volts * 0.1f) return;
  point.level = volts * 0.1f;
  Commit();
}

void Ctl_Env_Edit::InitialiseAfterLoad(bool loaded) {
  CControl::InitialiseAfterLoad(loaded);
  // The panel shows what the engine will be given, before one runs.
  const std::string text = ValueText(-1);
  shape_ = EnvelopeShape::Parse(text.empty() ? kDefaultShape : text);
}

void Ctl_Env_Edit::OnPatchChanged(int32_t patch) {
  CControl::OnPatchChanged(patch);
  ReadCurrentPatch();
}

void Ctl_Env_Edit::OnGeneratorAttached(ug_base& generator) {
  auto* envelope = dynamic_cast<ug_envelope_ms*>(&generator);
  if (envelope == nullptr) return;
  // Published before the generators open, so they start with this shape.
  ReadCurrentPatch();
  envelope->AttachShapes(channel_);
}

}  // namespace ov
