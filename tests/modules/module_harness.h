// A small engine for module tests: the module under test runs after sources
// whose blocks the test computes sample by sample, one 128-sample cell at a
// time, and whose stream states it sends at chosen times.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "tests/engine/graph_fixture.h"

namespace ov::test {

class ModuleTest : public GraphTest {
 protected:
  static constexpr double kRate = 44100.0;

  // A source feeding `input`: sample n of the engine's clock is value(n);
  // it announces `state` at time 0 and then each (time, state) of `later`.
  struct Drive {
    Source* source;
    std::function<float(int64_t)> value;
    std::vector<std::pair<uint32_t, int32_t>> transmissions;
  };

  ModuleTest() { master.SetSampleRate(static_cast<float>(kRate)); }

  Drive& DriveInput(UPlug& input, std::function<float(int64_t)> value, int32_t state = ST_RUN,
                    std::vector<std::pair<uint32_t, int32_t>> later = {}) {
    Source& source = Feed(input);
    later.insert(later.begin(), {0u, state});
    drives_.push_back({&source, std::move(value), std::move(later)});
    return drives_.back();
  }

  // Runs one cell: fills every driven block, sends the states due in it,
  // processes.
  void Step() {
    const uint32_t start = cells_ * kCell;
    for (Drive& drive : drives_) {
      for (int32_t i = 0; i < kCell; ++i) drive.source->out[i] = drive.value(start + i);
      for (const auto& [time, state] : drive.transmissions) {
        if (time >= start && time < start + kCell) drive.source->plug(0)->Transmit(time, state);
      }
    }
    master.Process(kCell);
    ++cells_;
  }

  // Runs whole cells until `samples` have passed and returns what each of
  // `outputs` produced.
  std::vector<std::vector<float>> Record(const std::vector<UPlug*>& outputs, int64_t samples) {
    std::vector<std::vector<float>> recorded(outputs.size());
    for (auto& r : recorded) r.reserve(static_cast<std::size_t>(samples + kCell));
    while (static_cast<int64_t>(recorded.front().size()) < samples) {
      Step();
      for (std::size_t o = 0; o < outputs.size(); ++o) {
        const float* data = outputs[o]->Data();
        recorded[o].insert(recorded[o].end(), data, data + kCell);
      }
    }
    for (auto& r : recorded) r.resize(static_cast<std::size_t>(samples));
    return recorded;
  }
  std::vector<float> Record(UPlug& output, int64_t samples) {
    return Record(std::vector<UPlug*>{&output}, samples).front();
  }

  uint32_t cells_ = 0;
  std::deque<Drive> drives_;  // references stay valid
};

}  // namespace ov::test
