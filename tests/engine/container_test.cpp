#include <gtest/gtest.h>

#include "engine/ug_container.h"
#include "tests/engine/graph_fixture.h"

namespace ov::test {
namespace {

using ContainerTest = GraphTest;

// Far deeper than any stack would take recursively: visiting (which start
// and stop use to open and close every generator) and destruction.
TEST(ContainerNesting, DepthIsNotLimitedByTheStack) {
  constexpr int kDepth = 400000;
  auto top = std::make_unique<ug_container>();
  ug_container* inner = top.get();
  for (int depth = 1; depth < kDepth; ++depth) {
    inner = &static_cast<ug_container&>(inner->AddChild(std::make_unique<ug_container>()));
  }
  int visited = 0;
  top->VisitTree([&](ug_base& generator) {
    ++visited;
    ASSERT_EQ(generator.Container() == nullptr, visited == 1);
  });
  EXPECT_EQ(visited, kDepth);
  top.reset();
}

TEST_F(ContainerTest, ConstantSourcesShareOneInputOutputModule) {
  Follower& first = Add(std::make_unique<Follower>(), 1);
  Follower& second = Add(std::make_unique<Follower>(), 1);
  first.plug(0)->SetValueFromText("1");
  second.plug(0)->SetValueFromText("-2");
  ug_io_mod& io = top.IoModule();
  io.SetSortOrder(2);  // sources run before what they feed
  EXPECT_EQ(top.Children().size(), 3u);
  ASSERT_EQ(io.PlugCount(), 2);
  EXPECT_EQ(io.plug(1)->Data()[kCell - 1], -0.2f);

  // A connected input's text goes to its source, which announces it.
  Start();
  master.Process(kCell);
  second.plug(0)->SetValueFromText("4");
  EXPECT_EQ(io.plug(1)->Flags() & kPlugFlagStaticPending, kPlugFlagStaticPending);
  master.Process(2 * kCell);
  EXPECT_EQ(io.plug(1)->Flags() & kPlugFlagStaticPending, 0);
  for (int i = 0; i < kCell; ++i) ASSERT_EQ(second.out[i], 0.4f) << i;
  EXPECT_TRUE(second.IsSleeping());
}

}  // namespace
}  // namespace ov::test
