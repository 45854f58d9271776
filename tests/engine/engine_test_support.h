// Fakes shared by the engine tests and benchmarks: a host, a generator that
// records every stretch it runs and every notification it receives, and
// small generators to build graphs with.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/audio_master.h"
#include "engine/ug_base.h"

namespace ov::test {

class FakeEngineHost : public EngineHost {
 public:
  const vst2::VstTimeInfo* HostTimeInfo(int32_t filter) override {
    last_filter = filter;
    return has_time_info ? &time_info : nullptr;
  }
  uint32_t NewTargetId() override { return next_id++; }
  void PostUserMessage(std::string_view text) override { messages.emplace_back(text); }
  const DataFiles* MediaFiles() const override { return files; }

  vst2::VstTimeInfo time_info{};
  bool has_time_info = true;
  int32_t last_filter = 0;
  uint32_t next_id = 100;
  std::vector<std::string> messages;
  const DataFiles* files = nullptr;
};

struct RunRecord {
  std::string name;
  uint32_t clock;
  int32_t frames;
  bool operator==(const RunRecord&) const = default;
};

// Runs at full rate on the run list, logging each stretch.
class RecordingGenerator : public ug_base {
 public:
  RecordingGenerator(std::string name, std::vector<RunRecord>& log, int32_t sort_order = -1)
      : name_(std::move(name)), log_(log) {
    SetSortOrder(sort_order);
    SetProcessFunction(&RecordingGenerator::Record);
  }
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<RecordingGenerator>(name_, log_);
  }

  // Runs once, at the end of the next stretch this generator processes.
  std::function<void(RecordingGenerator&)> during_next_run;
  // (clock, kind, value) of each notification.
  std::vector<std::vector<int64_t>> notifications;

  void GoToSleep() { Sleep(); }

 protected:
  void OnNotify(int32_t kind, int32_t value) override {
    notifications.push_back({Clock(), kind, value});
  }

 private:
  void Record(int32_t, int32_t frames) {
    log_.push_back({name_, Clock(), frames});
    if (during_next_run) std::exchange(during_next_run, nullptr)(*this);
  }

  std::string name_;
  std::vector<RunRecord>& log_;
};

// One output of a chosen datatype whose value and state the test drives.
// Audio sources stay on the run list doing nothing: the test writes the
// block. Control sources keep their value in `value`.
class Source : public ug_base {
 public:
  explicit Source(int32_t datatype = DT_FSAMPLE) : datatype_(datatype) {
    SetProcessFunction(&Source::DoNothing);
  }
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<Source>(datatype_);
  }
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override {
    const bool audio = datatype_ == DT_FSAMPLE;
    descriptors.emplace_back(audio ? &out : nullptr, DR_OUT, "", "Out", "0", "", 0, datatype_,
                             datatype_ == DT_FLOAT ? &value : nullptr);
  }

  float* out = nullptr;  // audio
  float value = 0.0f;    // DT_FLOAT

 private:
  int32_t datatype_;
};

// Audio in (plug 0) copied to audio out (plug 1), following its input's
// stream state the way modules do: full rate while it runs, otherwise one
// static block, then sleep.
class Follower : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<Follower>(); }
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override {
    descriptors.emplace_back(&in, DR_IN, "", "In", "0", "", 0, DT_FSAMPLE, nullptr);
    descriptors.emplace_back(&out, DR_OUT, "", "Out", "0", "", 0, DT_FSAMPLE, nullptr);
  }
  void OnStatusChange(uint32_t time, connector*, int32_t state) override {
    SetProcessFunction(&Follower::Copy);
    if (state != ST_RUN) EnterStatic();
    plug(1)->Transmit(time, state);
  }

  float* in = nullptr;
  float* out = nullptr;

 private:
  void Copy(int32_t position, int32_t count) {
    std::copy(in + position, in + position + count, out + position);
  }
};

// A generator that records what reaches its inputs: every status change and
// MIDI message, with the clock and the input's value when handled.
class Probe : public ug_base {
 public:
  struct Change {
    uint32_t clock;
    int32_t plug;
    int32_t state;
    float value;
    bool operator==(const Change&) const = default;
  };
  struct Midi {
    uint32_t clock;
    uint32_t message;
    bool operator==(const Midi&) const = default;
  };

  // `datatype` inputs, all of one kind.
  explicit Probe(int32_t datatype = DT_FLOAT, int inputs = 4)
      : datatype_(datatype), inputs_(inputs) {}
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<Probe>(datatype_, inputs_);
  }
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override {
    for (int i = 0; i < inputs_; ++i) {
      descriptors.emplace_back(nullptr, DR_IN, "", "In", "0", "", 0, datatype_,
                               datatype_ == DT_FLOAT ? &values[i] : nullptr);
    }
  }
  void OnStatusChange(uint32_t, connector* link, int32_t state) override {
    const UPlug& input = *link->Destination();
    changes.push_back(
        {Clock(), input.Number(), state, datatype_ == DT_FLOAT ? input.FloatValue() : 0.0f});
  }
  void HandleEvent(ug_event& event) override {
    if (event.kind == UET_MIDI) midi.push_back({Clock(), static_cast<uint32_t>(event.parm1)});
    ug_base::HandleEvent(event);
  }

  float values[8] = {};
  std::vector<Change> changes;
  std::vector<Midi> midi;

 private:
  int32_t datatype_;
  int inputs_;
};

}  // namespace ov::test
