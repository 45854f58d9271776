// The graph rig for module tests, at 44.1 kHz: modules run after sources
// whose blocks the test computes cell by cell (sample by sample from a value
// function, or a whole cell from a write callback) and whose stream states
// it sends at chosen times.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "tests/engine/graph_fixture.h"

namespace ov::test {

struct ModuleRig : GraphRig {
  static constexpr double kRate = 44100.0;

  // Fills a source's block for the cell that starts at `cell_start`.
  using Write = std::function<void(uint32_t cell_start, float* samples)>;
  struct Drive {
    Source* source;
    Write write;
    std::vector<std::pair<uint32_t, int32_t>> transmissions;  // (time, state)
  };

  ModuleRig() { master.SetSampleRate(static_cast<float>(kRate)); }

  // Adds the module with its plugs; the inputs still unconnected at Start get
  // their descriptors' default values, as a built patch has them.
  template <typename T>
  T& Add(std::unique_ptr<T> generator, int32_t sort_order = 10) {
    T& added = GraphRig::Add(std::move(generator), sort_order);
    modules.push_back(&added);
    return added;
  }
  // Adds the module with its plugs and nothing else: unconnected inputs keep
  // what the module starts with.
  template <typename T>
  T& AddRaw(std::unique_ptr<T> generator, int32_t sort_order) {
    return GraphRig::Add(std::move(generator), sort_order);
  }

  void Set(ug_base& module, int32_t plug, const char* volts) {
    module.plug(plug)->SetValueFromText(volts);
  }

  // A source feeding `input`: sample n of the engine's clock is value(n);
  // it announces `state` at time 0 and then each (time, state) of `later`.
  Drive& DriveInput(UPlug& input, std::function<float(int64_t)> value, int32_t state = ST_RUN,
                    std::vector<std::pair<uint32_t, int32_t>> later = {}) {
    later.insert(later.begin(), {0u, state});
    Write write = [value = std::move(value)](uint32_t start, float* samples) {
      for (int32_t i = 0; i < kCell; ++i) samples[i] = value(start + i);
    };
    return AddDrive(Feed(input), std::move(write), std::move(later));
  }
  // A source that runs from the start; `write` fills each cell before it is
  // processed.
  Drive& Stream(ug_base& module, int32_t plug, Write write) {
    return AddDrive(Feed(*module.plug(plug), 30), std::move(write), {{0u, ST_RUN}});
  }

  void Start() {
    for (ug_base* module : modules) {
      std::vector<InterfaceObject> descriptors;
      module->ListPlugs(descriptors);
      for (int32_t i = 0; i < module->PlugCount() && i < static_cast<int32_t>(descriptors.size());
           ++i) {
        UPlug& input = *module->plug(i);
        if (input.IsInput() && input.Connectors().empty() && input.Datatype() != DT_MIDI) {
          input.SetValueFromText(descriptors[static_cast<size_t>(i)].default_text);
        }
      }
    }
    GraphRig::Start();
  }

  // Runs one cell: fills every driven block, sends the states due in it,
  // processes. Counts from time 0 again after a restart once `cells` is reset.
  void Step() {
    const uint32_t start = cells * kCell;
    for (Drive& drive : drives) {
      drive.write(start, drive.source->out);
      for (const auto& [time, state] : drive.transmissions) {
        if (time >= start && time < start + kCell) drive.source->plug(0)->Transmit(time, state);
      }
    }
    master.Process(kCell);
    ++cells;
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

  std::vector<ug_base*> modules;  // given defaults by Start
  std::deque<Drive> drives;       // references stay valid
  uint32_t cells = 0;             // cells run since time 0

 private:
  Drive& AddDrive(Source& source, Write write,
                  std::vector<std::pair<uint32_t, int32_t>> transmissions) {
    return drives.emplace_back(Drive{&source, std::move(write), std::move(transmissions)});
  }
};

class ModuleTest : public ::testing::Test, public ModuleRig {};

// A gate that is high (10 V) from `rise` until `fall` (sample times).
inline ModuleRig::Write GateBetween(uint32_t rise, uint32_t fall) {
  return [=](uint32_t start, float* samples) {
    for (int32_t i = 0; i < ModuleRig::kCell; ++i) {
      const uint32_t t = start + static_cast<uint32_t>(i);
      samples[i] = t >= rise && t < fall ? 1.0f : 0.0f;
    }
  };
}

inline ModuleRig::Write Constant(float value) {
  return [=](uint32_t, float* samples) { std::fill_n(samples, ModuleRig::kCell, value); };
}

}  // namespace ov::test
