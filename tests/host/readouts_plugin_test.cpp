// Engine halves reporting to their panels through the plug-in: a volt meter's
// reading reaches its document at the host's idle call, a monitor's lines its
// terminal, and a key of the on-screen keyboard reaches the host as a note in
// the next block.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "document/container.h"
#include "document/readouts.h"
#include "engine/audio_master.h"
#include "engine/ug_base.h"
#include "host/ov_vst.h"
#include "tests/host/compiled_project.h"
#include "tests/host/fake_host.h"

namespace ov::testing {
namespace {

constexpr const char* kProject = R"({
  "version": 95960, "plugin_id": "OvRd", "vendor": "Orvane", "plugin_flags": 1,
  "root": {"type": "Container", "modules": [{
    "type": "Container", "name": "main", "title": "Readouts",
    "io": [{"name": "MIDI In", "direction": "in", "datatype": "midi"},
           {"name": "Left", "direction": "out", "datatype": "audio"},
           {"name": "MIDI Out", "direction": "out", "datatype": "midi"}],
    "modules": [
      {"type": "Volt Meter", "name": "volts", "plug_values": {"Signal in": 2}},
      {"type": "KeyBoard", "name": "keys"},
      {"type": "LED Indicator", "name": "led", "plug_values": {"Signal in": 5}},
      {"type": "MIDI Monitor", "name": "monitor"}],
    "connections": ["keys.MIDI Out -> io.MIDI Out", "io.MIDI In -> monitor.MIDI In"]}]}
})";

template <typename T>
T* Find(const CContainer& container) {
  for (const auto& child : container.children()) {
    if (auto* found = dynamic_cast<T*>(child.get())) return found;
  }
  return nullptr;
}

class ReadoutsPlugin : public ::testing::Test {
 protected:
  ReadoutsPlugin() {
    effect_->dispatcher(effect_, vst2::effSetBlockSizeAndSampleRate, 0, kFrames, nullptr, 44100.0f);
    effect_->dispatcher(effect_, vst2::effMainsChanged, 0, 1, nullptr, 0);
  }
  ~ReadoutsPlugin() override {
    effect_->dispatcher(effect_, vst2::effMainsChanged, 0, 0, nullptr, 0);
  }

  void Block() {
    float* outputs[1] = {left_.data()};
    plugin_.processReplacing(nullptr, outputs, kFrames);
  }
  const CContainer& Main() { return *plugin_.App().Document()->FindMainContainer(); }

  static constexpr int32_t kFrames = 512;
  FakeHost host_;
  CompiledProject project_{Json::parse(kProject)};
  OvVst plugin_{&FakeHost::Callback, project_};
  vst2::AEffect* effect_ = plugin_.getAeffect();
  std::vector<float> left_ = std::vector<float>(kFrames);
};

TEST_F(ReadoutsPlugin, AVoltMeterShowsItsReadingAfterRenderingAndOneIdleCall) {
  ASSERT_NE(plugin_.App().Engine(), nullptr);
  const auto* meter = Find<Ctl_VoltMeter>(Main());
  const auto* led = Find<Ctl_LED>(Main());
  ASSERT_NE(meter, nullptr);
  ASSERT_NE(led, nullptr);
  for (int i = 0; i < 2 * 44100 / kFrames; ++i) Block();
  EXPECT_EQ(meter->label_text(), "");  // nothing before the idle call
  plugin_.fxIdle();
  EXPECT_EQ(meter->label_text(), "2.00");
  EXPECT_EQ(led->bitmap_value(), 1.0f);
  // Suspending stops the engine: the panels hold no generator to read.
  effect_->dispatcher(effect_, vst2::effMainsChanged, 0, 0, nullptr, 0);
  EXPECT_EQ(meter->Generator(), nullptr);
}

TEST_F(ReadoutsPlugin, TheMonitorsTerminalShowsALinePerHostMessage) {
  const auto* terminal = Find<Ctl_tty>(Main());
  ASSERT_NE(terminal, nullptr);
  vst2::VstMidiEvent note{};
  note.type = vst2::kVstMidiType;
  note.byteSize = sizeof note;
  note.deltaFrames = 10;
  note.midiData[0] = static_cast<char>(0x99);
  note.midiData[1] = 36;
  note.midiData[2] = 100;
  struct {
    int32_t numEvents = 1;
    intptr_t reserved = 0;
    vst2::VstEvent* events[1];
  } events;
  events.events[0] = reinterpret_cast<vst2::VstEvent*>(&note);
  plugin_.processEvents(reinterpret_cast<vst2::VstEvents*>(&events));
  Block();
  plugin_.fxIdle();
  EXPECT_EQ(terminal->lines(), (std::deque<std::string>{"Sound ON", "C10 Note On  ( 36,100)"}));
}

TEST_F(ReadoutsPlugin, AKeyOfTheOnScreenKeyboardReachesTheHostInTheNextBlock) {
  const CUG* keys = nullptr;
  for (const auto& child : Main().children()) {
    if (auto* module = dynamic_cast<CUG*>(child.get());
        module && module->type_key() == "KeyBoard") {
      keys = module;
    }
  }
  ASSERT_NE(keys, nullptr);
  ASSERT_NE(keys->Generator(), nullptr);
  Block();
  host_.sent_blocks.clear();
  const ug_base::NotifyMessage key{0, 0, keys->Handle(), 3, 60};
  ASSERT_TRUE(plugin_.App().Engine()->PostFromEditor(keys->Handle(), ug_base::NotifyMessage::kId,
                                                     std::as_bytes(std::span(&key, 1))));
  Block();
  std::vector<FakeHost::SentEvent> sent;
  for (const auto& block : host_.sent_blocks) sent.insert(sent.end(), block.begin(), block.end());
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bytes[0], 0x90);
  EXPECT_EQ(sent[0].bytes[1], 60);
  EXPECT_EQ(sent[0].bytes[2], 90);
  EXPECT_EQ(sent[0].delta, 0);
}

}  // namespace
}  // namespace ov::testing
