// A small engine to build graphs in by hand: a master with 128-sample cells
// (or as given) and a top container that owns every generator.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "engine/ug_container.h"
#include "tests/engine/engine_test_support.h"

namespace ov::test {

// `Host` lets a test watch what the master tells its application.
template <typename Host, int32_t kCellSize>
struct BasicGraphRig {
  static constexpr int32_t kCell = kCellSize;

  BasicGraphRig() {
    master.SetEngineBlockSize(kCell);
    top.SetMaster(&master);
  }
  ~BasicGraphRig() { master.Stop(); }
  BasicGraphRig(const BasicGraphRig&) = delete;
  BasicGraphRig& operator=(const BasicGraphRig&) = delete;

  // Adds with every plug and its buffers; `sort_order` runs higher first.
  template <typename T>
  T& Add(std::unique_ptr<T> generator, int32_t sort_order) {
    generator->SetSortOrder(sort_order);
    return top.Add(std::move(generator));
  }
  // A new source of the input's datatype, connected to it.
  Source& Feed(UPlug& input, int32_t sort_order = 3) {
    Source& source = Add(std::make_unique<Source>(input.Datatype()), sort_order);
    top.connect(source.plug(0), &input);
    return source;
  }
  void Start() { master.Start(&top); }
  int Events(const ug_base& generator) {
    int count = 0;
    for (const ug_event* e = generator.FirstEvent(); e != nullptr; e = e->next) ++count;
    return count;
  }

  Host host;
  OvAudioMaster master{host};
  ug_container top;
};

using GraphRig = BasicGraphRig<FakeEngineHost, 128>;

class GraphTest : public ::testing::Test, public GraphRig {};

}  // namespace ov::test
