// VST Input and VST Output against the host's buffers: audio copied in,
// written over or added into the host's outputs as the first block decides,
// non-finite samples kept from the host, MIDI passed on and collected.
#include "modules/host_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

#include "tests/engine/graph_fixture.h"

namespace ov::test {
namespace {

class PortHost : public FakeEngineHost {
 public:
  void SetHostInputPort(HostInputPort* port) override { input = port; }
  void SetHostOutputPort(HostOutputPort* port) override { output = port; }
  bool HostReplaces() const override { return replaces; }

  HostInputPort* input = nullptr;
  HostOutputPort* output = nullptr;
  bool replaces = true;
};

// VST Input's two audio channels feeding VST Output's, a probe on the
// input's MIDI and a MIDI source on the output's, in 64-sample cells.
struct HostIoRig : BasicGraphRig<PortHost, 64> {
  static constexpr int32_t kFrames = 100;  // spans two cells

  HostIoRig() {
    in = &Add(std::make_unique<ug_vst_in>(), 20);
    out = &Add(std::make_unique<ug_vst_out>(), 0);
    probe = &Add(std::make_unique<Probe>(DT_MIDI, 1), 0);
    top.connect(in->plug(ug_vst_in::kMidiOutPlug), probe->plug(0));
    midi = &Feed(*out->plug(0), 30);
    for (int32_t channel = 1; channel <= 2; ++channel) {
      top.connect(in->plug(channel), out->plug(channel));
    }
    for (int32_t channel = 0; channel < 2; ++channel) {
      inputs[channel].resize(kFrames);
      outputs[channel].assign(kFrames, 7.0f);
      for (int32_t i = 0; i < kFrames; ++i) inputs[channel][i] = 0.01f * i - channel;
    }
  }
  // Plugs as the graph builder makes them: the listed ones, then a second
  // host channel made from direction and datatype.
  template <typename T>
  T& Add(std::unique_ptr<T> generator, int32_t sort_order) {
    generator->SetSortOrder(sort_order);
    T& added = static_cast<T&>(top.AddChild(std::move(generator)));
    added.CreatePlugs();
    if constexpr (std::is_same_v<T, ug_vst_in>) added.AddPlug(DR_OUT, DT_FSAMPLE);
    if constexpr (std::is_same_v<T, ug_vst_out>) added.AddPlug(DR_IN, DT_FSAMPLE);
    added.SetUpBuffers();
    return added;
  }
  // One host block, the way the plug-in runs it.
  void Block() {
    float* in_pointers[2] = {inputs[0].data(), inputs[1].data()};
    float* out_pointers[2] = {outputs[0].data(), outputs[1].data()};
    host.input->SetHostInputs(in_pointers, 2);
    host.output->SetHostOutputs(out_pointers, 2);
    master.Process(kFrames);
  }

  ug_vst_in* in = nullptr;
  ug_vst_out* out = nullptr;
  Probe* probe = nullptr;
  Source* midi = nullptr;
  std::vector<float> inputs[2];
  std::vector<float> outputs[2];
};

TEST(HostIo, PortsRegisterWhileTheEngineRuns) {
  HostIoRig rig;
  rig.Start();
  EXPECT_EQ(rig.host.input, rig.in);
  EXPECT_EQ(rig.host.output, rig.out);
  rig.master.Stop();
  EXPECT_EQ(rig.host.input, nullptr);
  EXPECT_EQ(rig.host.output, nullptr);
}

TEST(HostIo, ReplacingCopiesHostAudioThroughAndKeepsNonFiniteSamplesFromTheHost) {
  HostIoRig rig;
  rig.inputs[0][5] = std::numeric_limits<float>::quiet_NaN();
  rig.inputs[1][70] = std::numeric_limits<float>::infinity();
  rig.inputs[1][71] = -std::numeric_limits<float>::infinity();
  rig.Start();
  rig.Block();
  for (int32_t channel = 0; channel < 2; ++channel) {
    for (int32_t i = 0; i < HostIoRig::kFrames; ++i) {
      const float sent = rig.inputs[channel][i];
      ASSERT_EQ(rig.outputs[channel][i], std::isfinite(sent) ? sent : 0.0f) << channel << ":" << i;
    }
  }
}

// An input that does not run holds one value, which the host receives made
// finite, bit for bit (a -0 stays -0), across cells.
TEST(HostIo, AStillInputReachesTheHostAsItsFiniteValue) {
  const float values[] = {0.25f, -0.0f, 0.0f, std::numeric_limits<float>::quiet_NaN(),
                          -std::numeric_limits<float>::infinity()};
  for (const float value : values) {
    BasicGraphRig<PortHost, 64> rig;
    ug_vst_out& out = rig.Add(std::make_unique<ug_vst_out>(), 0);
    Source& still = rig.Feed(*out.plug(1));
    rig.Start();
    std::fill_n(still.out, 64, value);
    std::vector<float> host(100, 7.0f);
    float* pointers[] = {host.data()};
    rig.host.output->SetHostOutputs(pointers, 1);
    rig.master.Process(100);
    const float expected = std::isfinite(value) ? value : 0.0f;
    for (int32_t i = 0; i < 100; ++i) {
      ASSERT_EQ(std::bit_cast<uint32_t>(host[i]), std::bit_cast<uint32_t>(expected))
          << value << " at " << i;
    }
  }
}

TEST(HostIo, TheFirstBlockDecidesBetweenAddingAndReplacingForTheRun) {
  HostIoRig adding;
  adding.host.replaces = false;
  adding.Start();
  adding.Block();
  EXPECT_EQ(adding.outputs[0][10], 7.0f + adding.inputs[0][10]);
  EXPECT_EQ(adding.outputs[1][99], 7.0f + adding.inputs[1][99]);
  // A replacing call later in the run still adds.
  adding.host.replaces = true;
  adding.outputs[0].assign(HostIoRig::kFrames, 1.0f);
  adding.Block();
  EXPECT_EQ(adding.outputs[0][0], 1.0f + adding.inputs[0][0]);

  HostIoRig replacing;
  replacing.Start();
  replacing.Block();
  replacing.host.replaces = false;
  replacing.Block();
  EXPECT_EQ(replacing.outputs[0][42], replacing.inputs[0][42]);
}

TEST(HostIo, HostMidiGoesOutOnTheInputAndOutgoingMidiIntoTheRing) {
  HostIoRig rig;
  rig.Start();
  rig.host.input->DeliverHostMidi(rig.host.input->SampleTime() + 10, 0x643C90);
  rig.midi->SendMidi(*rig.midi->plug(0), 20, 0x40B0);
  rig.Block();
  EXPECT_EQ(rig.probe->midi, (std::vector<Probe::Midi>{{10, 0x643C90}}));
  const MidiRing& ring = rig.host.output->MidiOut();
  ASSERT_EQ(ring.written.load(), 1u);
  EXPECT_EQ(ring.At(0).time, 20u);
  EXPECT_EQ(ring.At(0).word, 0x40B0u);
  EXPECT_EQ(rig.host.output->SampleTime(), static_cast<uint32_t>(HostIoRig::kFrames));
}

}  // namespace
}  // namespace ov::test
