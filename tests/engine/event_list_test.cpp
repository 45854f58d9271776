// Event ordering, replacement and the splitting of slices at event times.
#include <gtest/gtest.h>

#include "engine/event_processor.h"
#include "tests/engine/graph_fixture.h"

namespace ov::test {
namespace {

using EventListTest = GraphTest;

TEST_F(EventListTest, SameTimeChangesRunInPlugOrderAndTheLatestOfAConnectorWins) {
  Probe& probe = Add(std::make_unique<Probe>(DT_FLOAT, 4), 1);
  Source& to_plug1 = Feed(*probe.plug(1));
  Source& to_plug3 = Feed(*probe.plug(3));
  Start();
  master.Process(kCell);
  probe.changes.clear();

  to_plug3.value = 30.0f;
  to_plug3.plug(0)->Transmit(140, ST_STATIC);
  to_plug1.value = 10.0f;
  to_plug1.plug(0)->Transmit(140, ST_STATIC);
  to_plug3.value = 33.0f;
  to_plug3.plug(0)->Transmit(140, ST_STATIC);  // replaces the first
  to_plug1.value = 11.0f;
  to_plug1.plug(0)->Transmit(139, ST_STATIC);  // earlier, queued later
  EXPECT_EQ(Events(probe), 3);
  master.Process(kCell);
  EXPECT_EQ(probe.changes, (std::vector<Probe::Change>{{139, 1, ST_STATIC, 11.0f},
                                                       {140, 1, ST_STATIC, 10.0f},
                                                       {140, 3, ST_STATIC, 33.0f}}));
  EXPECT_EQ(probe.values[3], 33.0f);
}

TEST_F(EventListTest, ValuesChangedAtOneTimeAreVisibleBeforeAnyHandlerRuns) {
  Probe& probe = Add(std::make_unique<Probe>(DT_FLOAT, 2), 1);
  Source& first = Feed(*probe.plug(0));
  Source& second = Feed(*probe.plug(1));
  Start();
  master.Process(kCell);

  first.value = 1.0f;
  second.value = 2.0f;
  second.plug(0)->Transmit(150, ST_STATIC);
  first.plug(0)->Transmit(150, ST_STATIC);
  probe.changes.clear();
  master.Process(kCell);
  ASSERT_EQ(probe.changes.size(), 2u);
  EXPECT_EQ(probe.values[1], 2.0f);
  EXPECT_EQ(probe.changes[0].plug, 0);
}

class SliceSplitTest : public GraphTest {
 protected:
  SliceSplitTest() { Start(); }

  void Notify(uint32_t time) { generator.QueueEvent(time, UET_UI_NOTIFY, 9, nullptr, 0, true); }

  std::vector<RunRecord> log;
  RecordingGenerator& generator = Add(std::make_unique<RecordingGenerator>("g", log), 1);
};

TEST_F(SliceSplitTest, RunsUpToTheEventHandlesItThenRunsTheRest) {
  Notify(10);
  master.Process(64);
  EXPECT_EQ(log, (std::vector<RunRecord>{{"g", 0, 10}, {"g", 10, 54}}));
  EXPECT_EQ(generator.notifications, (std::vector<std::vector<int64_t>>{{10, 9, 0}}));
}

TEST_F(SliceSplitTest, AnEventAtTheSliceEndWaitsForTheNextSlice) {
  Notify(64);
  master.Process(64);
  EXPECT_TRUE(generator.notifications.empty());
  master.Process(64);
  EXPECT_EQ(generator.notifications, (std::vector<std::vector<int64_t>>{{64, 9, 0}}));
  EXPECT_EQ(log, (std::vector<RunRecord>{{"g", 0, 64}, {"g", 64, 64}}));
}

TEST_F(SliceSplitTest, AnEventStampedBeforeTheClockActsAtTheClock) {
  master.Process(192);
  Notify(100);
  Notify(192 - 0x80000000u);  // half the clock range back
  log.clear();
  master.Process(64);
  EXPECT_EQ(generator.notifications, (std::vector<std::vector<int64_t>>{{192, 9, 0}, {192, 9, 0}}));
  EXPECT_EQ(log, (std::vector<RunRecord>{{"g", 192, 64}}));
}

TEST_F(SliceSplitTest, RunFunctionEventsCallTheirFunctionAtTheirTime) {
  static uint32_t called_at;
  called_at = 0;
  generator.QueueRunFunction(20, [](ug_base& g) { called_at = g.Clock(); });
  master.Process(64);
  EXPECT_EQ(called_at, 20u);
}

TEST_F(SliceSplitTest, ASuspendedGeneratorIsNotWokenByEvents) {
  generator.GoToSleep();
  generator.Suspend();
  Notify(5);
  generator.QueueMidi(6, 0x90, nullptr);
  master.Process(64);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(generator.IsSleeping());

  generator.Resume();  // events pending: wakes, caught up to the clock
  master.Process(64);
  EXPECT_EQ(generator.notifications, (std::vector<std::vector<int64_t>>{{64, 9, 0}}));
}

TEST_F(SliceSplitTest, AnExhaustedPoolDropsEventsWhileRunningAndNeverGrows) {
  EventPool& pool = master.Events();
  const std::size_t capacity = pool.Capacity();
  std::size_t queued = 0;
  while (generator.QueueEvent(100, UET_UI_NOTIFY, 1, nullptr, 0, true)) ++queued;
  EXPECT_EQ(queued, capacity);
  EXPECT_EQ(pool.Capacity(), capacity);
  EXPECT_EQ(pool.Dropped(), 1u);

  master.Process(kCell);  // handling them frees the records
  EXPECT_EQ(generator.notifications.size(), capacity);
  EXPECT_TRUE(generator.QueueEvent(200, UET_UI_NOTIFY, 1, nullptr, 0, true));
}

}  // namespace
}  // namespace ov::test
