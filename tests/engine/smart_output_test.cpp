#include "engine/smart_output.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "tests/engine/graph_fixture.h"

namespace ov::test {
namespace {

// One audio output driven by a smart_output; targets arrive as events so they
// land at their sample time inside a slice. Sleeps when the helper allows.
class Stepper : public ug_base {
 public:
  static constexpr int32_t kDefaultLength = -100;

  Stepper(int32_t mode, int32_t length) : mode_(mode), length_(length) {
    smart.init(mode, length);
    SetProcessFunction(&Stepper::Run);
  }
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<Stepper>(mode_, length_);
  }
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override {
    descriptors.emplace_back(&out, DR_OUT, "", "Out", "0", "", 0, DT_FSAMPLE, nullptr);
  }
  void SetUpBuffers() override {
    ug_base::SetUpBuffers();
    smart.attach(*plug(0));
  }
  void Target(uint32_t time, float value, int32_t length = kDefaultLength) {
    QueueEvent(time, UET_SET_PLUG_VALUE, length, nullptr, std::bit_cast<int32_t>(value), true);
  }
  void HandleEvent(ug_event& event) override {
    if (event.kind != UET_SET_PLUG_VALUE) return ug_base::HandleEvent(event);
    const float value = std::bit_cast<float>(event.parm3);
    if (event.parm1 == kDefaultLength) {
      smart.set_target(Clock(), value);
    } else {
      smart.set_target(Clock(), value, event.parm1);
    }
    SetProcessFunction(&Stepper::Run);
  }

  smart_output smart;
  float* out = nullptr;

 private:
  void Run(int32_t position, int32_t count) {
    bool can_sleep = true;
    smart.process(position, count, can_sleep);
    if (!can_sleep) return;
    SetProcessFunction(&Stepper::SleepWhenIdle);
    SleepWhenIdle(position, count);
  }

  int32_t mode_;
  int32_t length_;
};

class SmartOutputTest : public GraphTest {
 protected:
  // Opens the stepper and lets its first block fill and its owner sleep.
  Stepper& StartSettled(int32_t mode, int32_t length) {
    stepper = &Add(std::make_unique<Stepper>(mode, length), 2);
    top.connect(stepper->plug(0), probe.plug(0));
    Start();
    master.Process(3 * kCell);
    EXPECT_TRUE(stepper->IsSleeping());
    probe.changes.clear();
    return *stepper;
  }
  Probe::Change Sent(uint32_t time, int32_t state) { return {time, 0, state, 0.0f}; }

  Probe& probe = Add(std::make_unique<Probe>(DT_FSAMPLE, 1), 1);
  Stepper* stepper = nullptr;
};

constexpr uint32_t kAt = 3 * 128 + 10;  // a set time inside the fourth cell

TEST_F(SmartOutputTest, FreshHelperFillsOneWholeBlockThenLetsItsOwnerSleep) {
  stepper = &Add(std::make_unique<Stepper>(smart_output::kLinear, 4), 2);
  float* block = stepper->plug(0)->Data();  // the buffer member is set at open
  std::fill(block, block + kCell, 9.0f);
  Start();
  master.Process(kCell);
  for (int i = 0; i < kCell; ++i) ASSERT_EQ(stepper->out[i], 0.0f) << i;
  EXPECT_FALSE(stepper->IsSleeping());
  master.Process(kCell);
  EXPECT_TRUE(stepper->IsSleeping());
}

TEST_F(SmartOutputTest, LinearRampOfFourRunsThenHoldsTheTargetForABlock) {
  Stepper& s = StartSettled(smart_output::kLinear, 4);
  s.Target(kAt, 0.5f);
  master.Process(kCell);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(s.out[i], 0.0f) << i;
  EXPECT_EQ(s.out[10], 0.125f);
  EXPECT_EQ(s.out[11], 0.25f);
  EXPECT_EQ(s.out[12], 0.375f);
  EXPECT_EQ(s.out[13], 0.5f);
  EXPECT_EQ(probe.changes,
            (std::vector<Probe::Change>{Sent(kAt, ST_RUN), Sent(kAt + 3, ST_STATIC)}));
  EXPECT_TRUE(s.smart.steady());

  // The samples before the ramp still hold 0 until one more block is written.
  EXPECT_FALSE(s.IsSleeping());
  master.Process(kCell);
  for (int i = 0; i < kCell; ++i) ASSERT_EQ(s.out[i], 0.5f) << i;
  master.Process(kCell);
  EXPECT_TRUE(s.IsSleeping());
}

TEST_F(SmartOutputTest, SameTargetWhileSteadySendsAndWritesNothing) {
  Stepper& s = StartSettled(smart_output::kLinear, 4);
  s.Target(kAt, 0.5f);
  master.Process(3 * kCell);
  ASSERT_TRUE(s.IsSleeping());
  probe.changes.clear();

  s.out[20] = 9.0f;  // would be overwritten by any fill
  s.Target(kAt + 3 * kCell, 0.5f);
  master.Process(kCell);
  EXPECT_TRUE(probe.changes.empty());
  EXPECT_EQ(s.out[20], 9.0f);
  EXPECT_TRUE(s.IsSleeping());
}

TEST_F(SmartOutputTest, NewTargetDuringARampStartsFromWhereTheRampHadGot) {
  Stepper& s = StartSettled(smart_output::kLinear, 8);
  s.Target(kAt, 0.8f);          // 0.1 a sample
  s.Target(kAt + 4, 0.0f, 4);  // after 0.1 .. 0.4, the ramp stands at 0.5
  master.Process(kCell);
  EXPECT_FLOAT_EQ(s.out[10], 0.1f);
  EXPECT_FLOAT_EQ(s.out[13], 0.4f);
  EXPECT_FLOAT_EQ(s.out[14], 0.375f);
  EXPECT_FLOAT_EQ(s.out[16], 0.125f);
  EXPECT_EQ(s.out[17], 0.0f);
  EXPECT_EQ(s.out[18], 0.0f);
  // The output was already running: the second ramp's run is not sent again.
  EXPECT_EQ(probe.changes,
            (std::vector<Probe::Change>{Sent(kAt, ST_RUN), Sent(kAt + 7, ST_STATIC)}));
}

TEST_F(SmartOutputTest, SmoothRampOfEightIsAnSCurveEndingExactlyOnTarget) {
  Stepper& s = StartSettled(smart_output::kSmooth, 8);
  s.Target(kAt, 1.0f);
  master.Process(kCell);
  const float* ramp = s.out + 9;  // ramp[k] is sample k of 8
  for (int k = 1; k <= 8; ++k) {
    const double x = k / 8.0;
    EXPECT_NEAR(ramp[k], 3 * x * x - 2 * x * x * x, 1e-6) << k;
  }
  EXPECT_EQ(ramp[8], 1.0f);
  EXPECT_EQ(s.out[18], 1.0f);
  float step[9];
  for (int k = 1; k <= 8; ++k) step[k] = ramp[k] - ramp[k - 1];
  EXPECT_LT(step[1], 0.05f);
  for (int k = 1; k < 4; ++k) EXPECT_LT(step[k], step[k + 1]) << k;
  for (int k = 5; k < 8; ++k) EXPECT_GT(step[k], step[k + 1]) << k;
  EXPECT_EQ(probe.changes,
            (std::vector<Probe::Change>{Sent(kAt, ST_RUN), Sent(kAt + 7, ST_STATIC)}));
}

TEST_F(SmartOutputTest, JumpAndLengthBelowOneWriteTheTargetAtOnceSendingOnlyStatic) {
  Stepper& s = StartSettled(smart_output::kJump, 4);
  s.Target(kAt, 0.7f);
  master.Process(kCell);
  EXPECT_EQ(s.out[9], 0.0f);
  EXPECT_EQ(s.out[10], 0.7f);
  EXPECT_EQ(probe.changes, (std::vector<Probe::Change>{Sent(kAt, ST_STATIC)}));

  Stepper& linear = *stepper;
  linear.smart.init(smart_output::kLinear, 4);
  linear.smart.attach(*linear.plug(0));
  probe.changes.clear();
  linear.Target(kAt + kCell + 5, 0.3f, 0);
  master.Process(kCell);
  EXPECT_EQ(linear.out[14], 0.0f);
  EXPECT_EQ(linear.out[15], 0.3f);
  EXPECT_EQ(probe.changes, (std::vector<Probe::Change>{Sent(kAt + kCell + 5, ST_STATIC)}));
}

TEST_F(SmartOutputTest, RearmFillsAgainOnlyWhileFillingWasDue) {
  Stepper& s = StartSettled(smart_output::kLinear, 4);
  s.smart.rearm();  // filled: nothing to do
  s.Wake();
  master.Process(kCell);
  EXPECT_TRUE(s.IsSleeping());

  s.Target(kAt + kCell, 0.5f, 1);
  master.Process(kCell);      // the jump, then a full block still to fill
  master.Process(kCell / 2);  // half of it written
  s.smart.rearm();
  std::fill(s.out, s.out + kCell, 9.0f);
  master.Process(kCell);
  for (int i = 0; i < kCell; ++i) ASSERT_EQ(s.out[i], 0.5f) << i;
  EXPECT_FALSE(s.IsSleeping());
  master.Process(kCell);
  EXPECT_TRUE(s.IsSleeping());
}

}  // namespace
}  // namespace ov::test
