// `Ctl_Env_Edit`: the document half of "Multistage Env". Each patch keeps
// the shape as text, "(time,level)" per break point with "S" before the
// sustain point; the module parses the current patch's text into points,
// edits them, writes them back, and publishes them to its generators as
// an immutable segment array.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/control.h"
#include "modules/multistage_envelope.h"

namespace ov {

// One break point: level in engine units (1.0 = 10 V), time in seconds
// after the gate rises.
struct env_seg {
  float level = 0.0f;
  float time = 0.0f;
  bool operator==(const env_seg&) const = default;
};

// A parsed shape.
struct EnvelopeShape {
  static constexpr std::size_t kMaxPoints = 32767;
  std::vector<env_seg> points;
  std::optional<std::size_t> sustain;

  // Reads points while the text holds "(" before "," before ")"; what does
  // not read as a finite number is 0.
  static EnvelopeShape Parse(std::string_view text);
  std::string Text() const;
  // Each point's segment, then the two terminating items.
  ShapeSegments Segments() const;
};

class Ctl_Env_Edit;

// `parameter_cug_xtra2`: a panel parameter that reads and writes through
// two member functions of the envelope module.
class parameter_cug_xtra2 : public generic_parameter {
 public:
  using Get = float (Ctl_Env_Edit::*)() const;
  using Set = void (Ctl_Env_Edit::*)(float);
  parameter_cug_xtra2(Ctl_Env_Edit& owner, std::string name, int32_t datatype, Get get, Set set)
      : owner_(owner), name_(std::move(name)), datatype_(datatype), get_(get), set_(set) {}
  ~parameter_cug_xtra2() override;

  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override { return name_; }
  int32_t Datatype() const override { return datatype_; }
  std::string ValueText() const override;
  void WriteValueText(const std::string& text) override;
  float GetNormalised() const override { return (owner_.*get_)(); }
  void SetNormalised(float x) override { (owner_.*set_)(x); }
  float Value() const { return (owner_.*get_)(); }
  void SetValue(float x) { (owner_.*set_)(x); }

 private:
  Ctl_Env_Edit& owner_;
  std::string name_;
  int32_t datatype_;
  Get get_;
  Set set_;
  Notifier watchers_;
};

class Ctl_Env_Edit : public CControl {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  static constexpr std::string_view kDefaultShape = "(0.1,1.0)S(0.4,0.8)(1.0,0.0)";
  static constexpr float kLastTime = 999.0f;
  Ctl_Env_Edit();

  const std::vector<env_seg>& points() const { return shape_.points; }
  std::optional<std::size_t> sustain() const { return shape_.sustain; }
  std::optional<std::size_t> selected() const { return selected_; }
  const std::shared_ptr<ShapeChannel>& channel() const { return channel_; }

  // Reads the current patch's text (an empty one is given the default
  // shape) and publishes it.
  void ReadCurrentPatch();

  // The panel's edits. Moving keeps the point between its neighbours and
  // within -1..1 (the last point's level is 0) and publishes; EndDrag
  // stores the shape in the current patch.
  void SelectPoint(std::size_t index);
  void MovePoint(std::size_t index, float time, float level);
  void EndDrag();
  // "Del Segment" (not the last point), "Ins Segment" (halfway to the
  // point before) and "Sustain Seg" (toggles); each publishes and stores.
  void DeleteSegment(std::size_t index);
  void InsertSegment(std::size_t index);
  void ToggleSustain(std::size_t index);

  // "Cur Segment", "Segment Rate" (seconds) and "Segment Level" (volts).
  float CurSegment() const;
  void SetCurSegment(float index);
  float SegmentRate() const;
  void SetSegmentRate(float seconds);
  float SegmentLevel() const;
  void SetSegmentLevel(float volts);

  void InitialiseAfterLoad(bool loaded) override;
  void OnPatchChanged(int32_t patch) override;
  // The envelope's output is a signal, not a copy of what it feeds: a new
  // connection leaves the shapes as they are.
  void OnConnectionsChanged(CPlug2& /*plug*/, bool /*made*/) override {}

 protected:
  void OnGeneratorAttached(ug_base& generator) override;

 private:
  // Publishes the points and tells the running engine.
  void Publish();
  // Publishes, stores the text and tells the views (code 28).
  void Commit();
  void NotifyParameters();

  EnvelopeShape shape_;
  std::optional<std::size_t> selected_;
  std::shared_ptr<ShapeChannel> channel_ = std::make_shared<ShapeChannel>();
  // The segment parameters are the panel's alone: they act on whichever
  // point is selected, so a host or a state chunk setting them would
  // rewrite the shape in an order nobody chose.
  parameter_cug_xtra2 cur_segment_;
  parameter_cug_xtra2 segment_rate_;
  parameter_cug_xtra2 segment_level_;
};

}  // namespace ov
