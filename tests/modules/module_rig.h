// The shared graph rig at 44.1 kHz for tests that build several engines in
// one test: inputs get their descriptors' defaults or a value, or a running
// source whose samples the test writes cell by cell.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "tests/engine/graph_fixture.h"

namespace ov::test {

struct ModuleRig : GraphRig {
  static constexpr float kRate = 44100.0f;

  ModuleRig() { master.SetSampleRate(kRate); }

  // Adds the module with its plugs; inputs not fed later keep their
  // descriptors' default values (set by Start).
  template <typename T>
  T& Add(std::unique_ptr<T> generator, int32_t sort_order = 10) {
    T& added = GraphRig::Add(std::move(generator), sort_order);
    modules.push_back(&added);
    return added;
  }
  void Set(ug_base& module, int32_t plug, const char* volts) {
    module.plug(plug)->SetValueFromText(volts);
  }
  // A source that runs from the start; `write(cell_start, samples)` fills
  // each cell before it is processed.
  void Stream(ug_base& module, int32_t plug,
              std::function<void(uint32_t cell_start, float* samples)> write) {
    Source& source = Feed(*module.plug(plug), 30);
    streams.push_back({&source, std::move(write)});
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
    master.Start(&top);
    for (const auto& stream : streams) stream.source->plug(0)->Transmit(0, ST_RUN);
  }
  // Runs whole cells; returns every sample of `output` (a plug's data).
  std::vector<float> Render(const UPlug& output, int32_t samples) {
    std::vector<float> kept;
    for (int32_t done = 0; done < samples; done += kCell) {
      for (const auto& stream : streams) stream.write(cell, stream.source->out);
      master.Process(kCell);
      cell += kCell;
      const float* data = output.Data();
      kept.insert(kept.end(), data, data + kCell);
    }
    return kept;
  }

  struct Stream_ {
    Source* source;
    std::function<void(uint32_t, float*)> write;
  };
  std::vector<ug_base*> modules;
  std::vector<Stream_> streams;
  uint32_t cell = 0;
};

// A gate that is high (10 V) from `rise` until `fall` (sample times).
inline std::function<void(uint32_t, float*)> GateBetween(uint32_t rise, uint32_t fall) {
  return [=](uint32_t start, float* samples) {
    for (int32_t i = 0; i < ModuleRig::kCell; ++i) {
      const uint32_t t = start + static_cast<uint32_t>(i);
      samples[i] = t >= rise && t < fall ? 1.0f : 0.0f;
    }
  };
}

inline std::function<void(uint32_t, float*)> Constant(float value) {
  return [=](uint32_t, float* samples) { std::fill_n(samples, ModuleRig::kCell, value); };
}

}  // namespace ov::test
