// Fakes shared by the engine tests: a host and a generator that records
// every stretch it runs and every notification it receives.
#pragma once

#include <functional>
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

  vst2::VstTimeInfo time_info{};
  bool has_time_info = true;
  int32_t last_filter = 0;
  uint32_t next_id = 100;
  std::vector<std::string> messages;
};

struct RunRecord {
  std::string name;
  uint32_t clock;
  int32_t frames;
  bool operator==(const RunRecord&) const = default;
};

class RecordingGenerator : public ug_base {
 public:
  RecordingGenerator(std::string name, std::vector<RunRecord>& log, int32_t sort_order = -1)
      : name_(std::move(name)), log_(log) {
    SetSortOrder(sort_order);
  }

  // Runs once, at the end of the next stretch this generator processes.
  std::function<void(RecordingGenerator&)> during_next_run;
  // (clock, a, b) of each notification.
  std::vector<std::vector<int64_t>> notifications;

  void GoToSleep() { Sleep(); }

 protected:
  void DoProcess(int32_t frames) override {
    log_.push_back({name_, Clock(), frames});
    if (during_next_run) std::exchange(during_next_run, nullptr)(*this);
  }
  void OnNotify(int32_t a, int32_t b) override { notifications.push_back({Clock(), a, b}); }

 private:
  std::string name_;
  std::vector<RunRecord>& log_;
};

// Stands in for the container generator: opens its children, never runs.
class TestContainer : public ug_base {
 public:
  explicit TestContainer(std::vector<ug_base*> children) : children_(std::move(children)) {}

  void VisitTree(const std::function<void(ug_base&)>& visit) override {
    visit(*this);
    for (ug_base* child : children_) child->VisitTree(visit);
  }
  void Open() override {
    for (ug_base* child : children_) child->Open();
  }
  void Close() override {
    for (ug_base* child : children_) child->Close();
  }

 protected:
  void DoProcess(int32_t) override {}

 private:
  std::vector<ug_base*> children_;
};

}  // namespace ov::test
