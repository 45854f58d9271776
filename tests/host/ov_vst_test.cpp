#include "host/ov_vst.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <thread>

#include "engine/audio_master.h"
#include "modules/module_info.h"
#include "tests/document/document_test_support.h"
#include "tests/host/fake_host.h"

namespace ov {
namespace {

using testing::FakeHost;
using testing::FakeInputPort;
using testing::FakeOutputPort;
using testing::FakeProject;
using testing::SynthFacts;

intptr_t Dispatch(OvVst& plugin, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f) {
  vst2::AEffect* effect = plugin.getAeffect();
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

TEST(PluginEntry, RefusesHostsWithoutVersionOrProject) {
  FakeHost host;
  FakeProject project;
  host.version = 0;
  EXPECT_EQ(CreatePlugin(&FakeHost::Callback, project), nullptr);
  EXPECT_EQ(CreatePlugin(nullptr, project), nullptr);

  host.version = 2400;
  project.facts.reset();
  EXPECT_EQ(CreatePlugin(&FakeHost::Callback, project), nullptr);
}

TEST(PluginEntry, EffCloseDestroysTheObjectAndAnswersOne) {
  struct Probe : OvVst {
    Probe(ProjectSource& source, bool& destroyed)
        : OvVst(&FakeHost::Callback, source), destroyed_(destroyed) {}
    ~Probe() override { destroyed_ = true; }
    bool& destroyed_;
  };
  FakeHost host;
  FakeProject project;
  bool destroyed = false;
  auto* plugin = new Probe(project, destroyed);
  vst2::AEffect* effect = plugin->getAeffect();
  effect->dispatcher(effect, vst2::effMainsChanged, 0, 1, nullptr, 0);
  EXPECT_EQ(effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0), 1);
  EXPECT_TRUE(destroyed);
}

TEST(PluginRecord, ReportsTheProjectsShape) {
  FakeHost host;
  FakeProject project;
  project.facts = SynthFacts();
  project.facts->can_mono = true;
  OvVst plugin(&FakeHost::Callback, project);
  const vst2::AEffect& e = *plugin.getAeffect();
  EXPECT_EQ(e.magic, vst2::kEffectMagic);
  EXPECT_EQ(e.numInputs, 0);
  EXPECT_EQ(e.numOutputs, 2);
  EXPECT_EQ(e.numParams, 0);
  EXPECT_EQ(e.numPrograms, 1);  // no program selection in the project
  EXPECT_EQ(e.flags, vst2::effFlagsProgramChunks | vst2::effFlagsCanReplacing |
                         vst2::effFlagsCanMono | vst2::effFlagsIsSynth);
  EXPECT_EQ(e.uniqueID, vst2::FourCC('O', 'v', 'T', 's'));
  EXPECT_EQ(Dispatch(plugin, vst2::effGetPlugCategory), vst2::kPlugCategSynth);
  EXPECT_EQ(host.Count(vst2::audioMasterNeedIdle), 1);
}

TEST(PluginRecord, ProgramCountIsBoundedByThePatches) {
  FakeHost host;
  FakeProject project;
  project.facts->has_program_selection = true;
  project.facts->program_count = 5000;
  OvVst plugin(&FakeHost::Callback, project);
  EXPECT_EQ(plugin.getAeffect()->numPrograms, 128);

  Dispatch(plugin, vst2::effSetProgram, 0, 7);
  EXPECT_EQ(Dispatch(plugin, vst2::effGetProgram), 7);
  Dispatch(plugin, vst2::effSetProgram, 0, -1);
  Dispatch(plugin, vst2::effSetProgram, 0, 128);
  EXPECT_EQ(Dispatch(plugin, vst2::effGetProgram), 7);
}

TEST(PluginRecord, UniqueIdPacksFourSignedCharactersPaddedWithBlanks) {
  EXPECT_EQ(OvVst::PackUniqueId("ab"), ('a' << 24) + ('b' << 16) + (' ' << 8) + ' ');
  EXPECT_EQ(OvVst::PackUniqueId("abcdef"), vst2::FourCC('a', 'b', 'c', 'd'));
  // A character above 127 counts as negative and borrows from the one before.
  EXPECT_EQ(static_cast<uint32_t>(OvVst::PackUniqueId("a\xE9")), 0x60E92020u);
  EXPECT_EQ(static_cast<uint32_t>(OvVst::PackUniqueId("\xFF\xFF\xFF\xFF")), 0xFEFEFEFFu);

  FakeHost host;
  FakeProject project;
  OvVst unset(&FakeHost::Callback, project);
  EXPECT_EQ(unset.getAeffect()->uniqueID, 0x20202020);
}

TEST(OutputPins, OddCountsAreNeverStereo) {
  FakeHost host;
  FakeProject project;
  project.facts->plugin_options = kOptionStereoPairs;
  project.facts->audio_outputs = {"One", "Two", "Three"};
  OvVst plugin(&FakeHost::Callback, project);
  for (int32_t i = 0; i < 3; ++i) {
    vst2::VstPinProperties pin;
    ASSERT_EQ(Dispatch(plugin, vst2::effGetOutputProperties, i, 0, &pin), 1);
    EXPECT_EQ(pin.flags, vst2::kVstPinIsActive);
  }
  vst2::VstPinProperties pin;
  std::memset(&pin, 0x55, sizeof pin);
  EXPECT_EQ(Dispatch(plugin, vst2::effGetOutputProperties, 3, 0, &pin), 0);
  EXPECT_EQ(Dispatch(plugin, vst2::effGetOutputProperties, -1, 0, &pin), 0);
  EXPECT_EQ(pin.label[0], 0);  // cleared even when there is no such output
  EXPECT_EQ(Dispatch(plugin, vst2::effGetInputProperties, 0, 0, &pin), 0);
}

TEST(OutputPins, StereoPairsAndBoundedLabels) {
  FakeHost host;
  FakeProject project;
  project.facts->plugin_options = kOptionStereoPairs;
  project.facts->audio_outputs = {std::string(100, 'L'), "Right"};
  OvVst plugin(&FakeHost::Callback, project);
  vst2::VstPinProperties pin;
  ASSERT_EQ(Dispatch(plugin, vst2::effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, vst2::kVstPinIsActive | vst2::kVstPinIsStereo);
  EXPECT_EQ(std::string(pin.label), std::string(63, 'L'));
  EXPECT_EQ(std::string(pin.shortLabel), std::string(7, 'L'));

  project.facts->plugin_options = 0;
  OvVst plain(&FakeHost::Callback, project);
  ASSERT_EQ(Dispatch(plain, vst2::effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_EQ(pin.flags, vst2::kVstPinIsActive);
}

TEST(Texts, AreBoundedAndTerminated) {
  FakeHost host;
  FakeProject project;
  project.facts->title = std::string(80, 'T');
  project.facts->vendor = std::string(200, 'V');
  project.facts->plugin_options = kOptionProjectVendor;
  OvVst plugin(&FakeHost::Callback, project);

  char buffer[256];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(Dispatch(plugin, vst2::effGetVendorString, 0, 0, buffer), 1);
  EXPECT_EQ(std::strlen(buffer), 63u);
  EXPECT_EQ(buffer[64], '#');  // nothing written past the host's 64 bytes

  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(Dispatch(plugin, vst2::effGetEffectName, 0, 0, buffer), 1);
  EXPECT_EQ(std::strlen(buffer), 31u);
  EXPECT_EQ(buffer[32], '#');

  EXPECT_EQ(Dispatch(plugin, vst2::effGetProductString, 0, 0, buffer), 1);
  EXPECT_STREQ(buffer, "");

  project.facts->plugin_options = 0;
  OvVst fixed_vendor(&FakeHost::Callback, project);
  Dispatch(fixed_vendor, vst2::effGetVendorString, 0, 0, buffer);
  EXPECT_STREQ(buffer, "Orvane");
}

TEST(CanDo, ComparesWholeTexts) {
  FakeHost host;
  FakeProject project;
  project.facts->midi_output_visible = true;
  OvVst plugin(&FakeHost::Callback, project);
  char receive[] = "receiveVstMidiEvent", send[] = "sendVstMidiEvent",
       longer[] = "sendVstMidiEventList", time[] = "sendVstTimeInfo", other[] = "bypass";
  EXPECT_EQ(Dispatch(plugin, vst2::effCanDo, 0, 0, receive), -1);
  EXPECT_EQ(Dispatch(plugin, vst2::effCanDo, 0, 0, send), 1);
  EXPECT_EQ(Dispatch(plugin, vst2::effCanDo, 0, 0, longer), 0);
  EXPECT_EQ(Dispatch(plugin, vst2::effCanDo, 0, 0, time), -1);
  EXPECT_EQ(Dispatch(plugin, vst2::effCanDo, 0, 0, other), 0);
  EXPECT_EQ(Dispatch(plugin, vst2::effCanDo, 0, 0, nullptr), 0);
}

TEST(Dispatcher, AnswersTheFixedOperations) {
  FakeHost host;
  FakeProject project;
  OvVst plugin(&FakeHost::Callback, project);
  EXPECT_EQ(Dispatch(plugin, vst2::effIdentify), vst2::FourCC('N', 'v', 'E', 'f'));
  EXPECT_EQ(Dispatch(plugin, vst2::effGetVstVersion), 2300);
  EXPECT_EQ(Dispatch(plugin, vst2::effGetVendorVersion), OV_VENDOR_VERSION);  // the build's version
  EXPECT_EQ(Dispatch(plugin, vst2::effKeysRequired), 1);
  EXPECT_EQ(Dispatch(plugin, vst2::effGetNumProgramCategories), 1);
  EXPECT_EQ(Dispatch(plugin, vst2::effConnectInput), 1);
  EXPECT_EQ(Dispatch(plugin, vst2::effConnectOutput), 1);
  EXPECT_EQ(Dispatch(plugin, vst2::effGetCurrentMidiProgram), -1);
  EXPECT_EQ(Dispatch(plugin, vst2::effGetPlugCategory), 0);
  EXPECT_EQ(Dispatch(plugin, vst2::effIdle), 1);
  EXPECT_EQ(Dispatch(plugin, vst2::effEditOpen), 0);  // no editor
  EXPECT_EQ(Dispatch(plugin, vst2::effGetChunk), 0);
  EXPECT_EQ(Dispatch(plugin, 4242), 0);
  EXPECT_EQ(Dispatch(plugin, vst2::effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f), 1);
  EXPECT_EQ(plugin.getBlockSize(), 256);
  EXPECT_EQ(plugin.getSampleRate(), 96000.0f);
}

// Resume and suspend ---------------------------------------------------------

class Running : public ::testing::Test {
 protected:
  Running() : plugin(&FakeHost::Callback, project_with(SynthFacts())) {}

  static FakeProject& project_with(ProjectFacts facts) {
    static FakeProject project;
    project.facts = std::move(facts);
    return project;
  }

  void Render(int32_t frames) {
    std::vector<float> left(static_cast<size_t>(frames), 1.0f), right(left);
    float* outputs[] = {left.data(), right.data()};
    plugin.processReplacing(nullptr, outputs, frames);
    last_left = left;
  }

  FakeHost host;
  OvVst plugin;
  std::vector<float> last_left;
};

TEST_F(Running, ResumeStartsTheEngineAndSuspendStopsIt) {
  EXPECT_EQ(plugin.App().Engine(), nullptr);
  Dispatch(plugin, vst2::effSetBlockSize, 0, 441);
  Dispatch(plugin, vst2::effMainsChanged, 0, 1);
  ASSERT_NE(plugin.App().Engine(), nullptr);
  EXPECT_EQ(plugin.App().Engine()->EngineBlockSize(), 63);
  EXPECT_EQ(host.Count(vst2::audioMasterWantMidi), 1);
  Dispatch(plugin, vst2::effMainsChanged, 0, 0);
  EXPECT_EQ(plugin.App().Engine(), nullptr);
}

TEST_F(Running, ZeroBlockSizeStillGivesAWorkingEngine) {
  Dispatch(plugin, vst2::effSetBlockSize, 0, 0);
  Dispatch(plugin, vst2::effMainsChanged, 0, 1);
  EXPECT_EQ(plugin.App().Engine()->EngineBlockSize(), 128);
  Render(64);
  EXPECT_EQ(plugin.App().Engine()->SampleClock(), 64u);
}

TEST_F(Running, OnlyAChangedSampleRateRestartsTheEngine) {
  Dispatch(plugin, vst2::effSetSampleRate, 0, 0, nullptr, 48000.0f);
  Dispatch(plugin, vst2::effMainsChanged, 0, 1);
  Render(100);
  Dispatch(plugin, vst2::effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(plugin.App().Engine()->SampleClock(), 100u);

  Dispatch(plugin, vst2::effSetSampleRate, 0, 0, nullptr, 44100.0f);
  ASSERT_NE(plugin.App().Engine(), nullptr);
  EXPECT_EQ(plugin.App().Engine()->SampleClock(), 0u);
  EXPECT_EQ(plugin.App().Engine()->SampleRate(), 44100.0f);
}

TEST_F(Running, ProcessOnlyWhileActive) {
  Render(32);
  EXPECT_EQ(last_left[0], 1.0f);  // untouched before resume
  Dispatch(plugin, vst2::effMainsChanged, 0, 1);
  Render(32);
  EXPECT_EQ(last_left[0], 0.0f);  // a replacing call leaves silence

  std::vector<float> left(32, 1.0f), right(32, 1.0f);
  float* outputs[] = {left.data(), right.data()};
  plugin.getAeffect()->process(plugin.getAeffect(), nullptr, outputs, 32);
  EXPECT_EQ(left[0], 1.0f);  // an accumulating call adds nothing
  EXPECT_FALSE(plugin.IsReplacing());
  Dispatch(plugin, vst2::effMainsChanged, 0, 1);
  EXPECT_TRUE(plugin.IsReplacing());
}

TEST_F(Running, HostMidiIsStampedFromTheBlockStart) {
  FakeInputPort input;
  plugin.SetHostInputPort(&input);
  Dispatch(plugin, vst2::effMainsChanged, 0, 1);
  input.time = 0xFFFFFFF0u;  // stamps wrap with the sample clock

  vst2::VstMidiEvent on{}, early{}, late{}, sysex{};
  on.type = early.type = late.type = vst2::kVstMidiType;
  on.deltaFrames = 10;
  on.midiData[0] = static_cast<char>(0x90);
  on.midiData[1] = 60;
  on.midiData[2] = 100;
  early.deltaFrames = -5;
  early.midiData[0] = static_cast<char>(0xB0);
  early.midiData[1] = static_cast<char>(0xFF);
  late.deltaFrames = 64;
  late.midiData[0] = static_cast<char>(0x80);
  sysex.type = vst2::kVstSysExType;
  struct {
    int32_t numEvents;
    intptr_t reserved;
    vst2::VstEvent* events[4];
  } block{4,
          0,
          {reinterpret_cast<vst2::VstEvent*>(&on), reinterpret_cast<vst2::VstEvent*>(&sysex),
           reinterpret_cast<vst2::VstEvent*>(&early), reinterpret_cast<vst2::VstEvent*>(&late)}};
  Dispatch(plugin, vst2::effProcessEvents, 0, 0, &block);
  Render(64);

  ASSERT_EQ(input.received.size(), 3u);
  EXPECT_EQ(input.received[0].first, 0xFFFFFFF0u + 10);
  EXPECT_EQ(input.received[0].second, 0x643C90u);
  EXPECT_EQ(input.received[1].first, 0xFFFFFFF0u);
  EXPECT_EQ(input.received[1].second, 0x00FFB0u);
  EXPECT_EQ(early.deltaFrames, 0);  // clamped in the host's own event
  // An event past the block plays on its last frame.
  EXPECT_EQ(input.received[2].first, 0xFFFFFFF0u + 63);
  EXPECT_EQ(late.deltaFrames, 63);

  Render(64);  // events are consumed by one block only
  EXPECT_EQ(input.received.size(), 3u);
}

TEST_F(Running, MidiOutIsSentWithTheBlockItFallsIn) {
  FakeOutputPort output;
  plugin.SetHostOutputPort(&output);
  Dispatch(plugin, vst2::effMainsChanged, 0, 1);

  output.ring.Write(5, 0x7F3C90);   // note on, block 1
  output.ring.Write(70, 0x0005C3);  // program change, block 2
  output.time = 64;                 // sample time after the first block
  Render(64);
  output.time = 128;
  Render(64);

  ASSERT_EQ(host.sent_blocks.size(), 2u);
  ASSERT_EQ(host.sent_blocks[0].size(), 1u);
  EXPECT_EQ(host.sent_blocks[0][0].delta, 5);
  EXPECT_EQ(host.sent_blocks[0][0].bytes[2], 0x7F);
  ASSERT_EQ(host.sent_blocks[1].size(), 1u);
  EXPECT_EQ(host.sent_blocks[1][0].delta, 70 - 64);
  EXPECT_EQ(host.sent_blocks[1][0].bytes[0], 0xC3);
  EXPECT_EQ(host.sent_blocks[1][0].bytes[1], 0x05);
  EXPECT_EQ(host.sent_blocks[1][0].bytes[2], 0xFF);
}

TEST_F(Running, AnOverfullMidiRingLosesItsOldestEntriesOnly) {
  FakeOutputPort output;
  plugin.SetHostOutputPort(&output);
  Dispatch(plugin, vst2::effMainsChanged, 0, 1);

  // 450 notes in one block: the ring keeps the newest 400.
  for (uint32_t i = 0; i < 450; ++i) output.ring.Write(i % 64, 0x7F0090 | (i % 128) << 8);
  output.time = 64;
  Render(64);

  ASSERT_EQ(host.sent_blocks.size(), 1u);
  ASSERT_EQ(host.sent_blocks[0].size(), 400u);
  EXPECT_EQ(host.sent_blocks[0].front().bytes[1], 50);
  EXPECT_EQ(host.sent_blocks[0].back().bytes[1], 449 % 128);
  // Nothing is left over for the next block.
  output.time = 128;
  Render(64);
  EXPECT_EQ(host.sent_blocks.size(), 1u);
}

TEST_F(Running, TimeInformationIsAskedOfTheHost) {
  host.time.tempo = 90.0;
  const vst2::VstTimeInfo* info = plugin.App().HostTimeInfo(vst2::kVstTempoValid);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->tempo, 90.0);
  EXPECT_EQ(host.last_time_filter, vst2::kVstTempoValid);
  host.gives_time = false;
  EXPECT_EQ(plugin.App().HostTimeInfo(0), nullptr);
}

// A block that arrives while the editor thread drains the engine's queue is
// not rendered, and a replacing call still leaves silence.
TEST_F(Running, ABlockArrivingDuringAnEditorDrainIsSilence) {
  FakeOutputPort output;
  plugin.SetHostOutputPort(&output);  // the engine's output module owns the buffers
  Dispatch(plugin, vst2::effMainsChanged, 0, 1);
  struct Interrupting : dsp_msg_target {
    void OnMessage(uint32_t, MessageReader&) override { during(); }
    std::function<void()> during;
  } target;
  target.during = [&] { Render(32); };
  OvAudioMaster& engine = *plugin.App().Engine();
  engine.RegisterTarget(target, 12345);
  // No block yet since resume: the editor drains on its own thread.
  ASSERT_TRUE(engine.PostFromEditor(12345, MessageId("ping"), {}));
  EXPECT_EQ(engine.SkippedBlocks(), 1u);
  ASSERT_EQ(last_left.size(), 32u);
  EXPECT_EQ(last_left[0], 0.0f);
  plugin.SetHostOutputPort(nullptr);
}

// The audio thread keeps calling process while the user-interface thread
// restarts and stops the engine: the handshake must never let the engine be
// torn down under a running process call (the sanitizer build catches it).
TEST_F(Running, SuspendWaitsForARunningProcessCall) {
  Dispatch(plugin, vst2::effMainsChanged, 0, 1);
  std::atomic<bool> stop{false};
  // Relaxed on purpose: counting blocks must not order the two threads, or
  // it would hide a handshake that fails to.
  std::atomic<uint32_t> blocks{0};
  std::thread audio([&] {
    std::vector<float> left(256), right(256);
    float* outputs[] = {left.data(), right.data()};
    while (!stop.load(std::memory_order_relaxed)) {
      plugin.processReplacing(nullptr, outputs, 256);
      blocks.fetch_add(1, std::memory_order_relaxed);
    }
  });
  for (int i = 0; i < 200; ++i) {
    Dispatch(plugin, vst2::effMainsChanged, 0, i % 2);
    // Each engine renders a few blocks before it is torn down.
    const uint32_t seen = blocks.load(std::memory_order_relaxed);
    while (i % 2 == 1 && blocks.load(std::memory_order_relaxed) < seen + 3)
      std::this_thread::yield();
  }
  stop = true;
  audio.join();
  Dispatch(plugin, vst2::effMainsChanged, 0, 0);
  EXPECT_EQ(plugin.App().Engine(), nullptr);
}

// Exceptions stop at the host boundary ----------------------------------------

// Where the "Faulty" module throws.
enum class Fault { kNone, kOpen, kProcess, kAlways };
Fault g_fault = Fault::kNone;

class FaultyGenerator final : public ug_base {
 public:
  FaultyGenerator() { SetProcessFunction(&FaultyGenerator::Run); }
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<FaultyGenerator>();
  }
  void Open() override {
    ug_base::Open();
    if (g_fault == Fault::kOpen) throw std::runtime_error("cannot open");
    if (g_fault == Fault::kAlways) throw 42;  // not even a std::exception
  }

 private:
  void Run(int32_t, int32_t) {
    if (g_fault == Fault::kProcess) throw std::runtime_error("cannot run");
  }
};

const ModuleRegistry& FaultyModules() {
  static ModuleRegistry registry;
  if (registry.FindModule("Faulty") == nullptr) {
    registry.RegisterModule(std::make_unique<Module_Info>(
        "Faulty", "", 0, 0, "", [] { return std::make_unique<FaultyGenerator>(); }, 0, -1));
  }
  return registry;
}

// A synth whose main container holds one "Faulty" module; loading it throws
// when `throw_on_load` is set.
class FaultyProject final : public ProjectSource {
 public:
  std::optional<ProjectFacts> Load(MessageSink& messages) override {
    messages.SetLogToStderr(false);
    if (throw_on_load) throw std::bad_alloc();
    return SynthFacts();
  }
  ProjectHoldings TakeHoldings() override {
    ProjectHoldings holdings;
    holdings.document = std::make_unique<COrvaneDocBase>();
    auto root = testing::NewObject<CContainer>("Container");
    auto* main = testing::Add<CContainer>(*root, "Container");
    main->AddChild(CreateDocumentObject(FaultyModules(), "Faulty"));
    holdings.document->SetRoot(std::move(root));
    return holdings;
  }
  bool throw_on_load = false;
};

class ExceptionBarrier : public ::testing::Test {
 protected:
  ~ExceptionBarrier() override { g_fault = Fault::kNone; }
  // Renders one block into outputs that start at 1 and gives the left one.
  std::vector<float> Render(vst2::AEffect& effect) {
    std::vector<float> left(64, 1.0f), right(64, 1.0f);
    float* outputs[] = {left.data(), right.data()};
    effect.processReplacing(&effect, nullptr, outputs, 64);
    return left;
  }
  FakeHost host;
  FaultyProject project;
};

TEST_F(ExceptionBarrier, AConstructionThatThrowsAnswersNull) {
  project.throw_on_load = true;
  EXPECT_EQ(CreatePlugin(&FakeHost::Callback, project), nullptr);
}

TEST_F(ExceptionBarrier, AFailedResumeLeavesSilenceAndOneMessage) {
  for (const Fault fault : {Fault::kOpen, Fault::kAlways}) {
    g_fault = fault;
    vst2::AEffect* effect = CreatePlugin(&FakeHost::Callback, project);
    ASSERT_NE(effect, nullptr);
    auto& plugin = *static_cast<OvVst*>(AudioEffect::FromAeffect(effect));
    effect->dispatcher(effect, vst2::effMainsChanged, 0, 1, nullptr, 0);
    EXPECT_EQ(plugin.App().Engine(), nullptr);
    EXPECT_EQ(Render(*effect), std::vector<float>(64, 0.0f));
    ASSERT_EQ(plugin.App().Messages().Messages().size(), 1u);
    EXPECT_TRUE(plugin.App().Messages().Contains("could not be started"));
    EXPECT_EQ(effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0), 1);
  }
}

TEST_F(ExceptionBarrier, AnEngineThatThrowsWhileRenderingFallsSilentUntilResumed) {
  vst2::AEffect* effect = CreatePlugin(&FakeHost::Callback, project);
  ASSERT_NE(effect, nullptr);
  auto& plugin = *static_cast<OvVst*>(AudioEffect::FromAeffect(effect));
  effect->dispatcher(effect, vst2::effMainsChanged, 0, 1, nullptr, 0);
  ASSERT_NE(plugin.App().Engine(), nullptr);
  g_fault = Fault::kProcess;
  EXPECT_EQ(Render(*effect), std::vector<float>(64, 0.0f));
  EXPECT_EQ(Render(*effect), std::vector<float>(64, 0.0f));
  EXPECT_TRUE(plugin.App().Messages().Messages().empty());  // not from the audio thread
  effect->dispatcher(effect, vst2::effIdle, 0, 0, nullptr, 0);
  effect->dispatcher(effect, vst2::effIdle, 0, 0, nullptr, 0);
  EXPECT_EQ(plugin.App().Messages().Messages().size(), 1u);

  // The handshake was released: suspend does not wait forever.
  g_fault = Fault::kNone;
  effect->dispatcher(effect, vst2::effMainsChanged, 0, 0, nullptr, 0);
  effect->dispatcher(effect, vst2::effMainsChanged, 0, 1, nullptr, 0);
  ASSERT_NE(plugin.App().Engine(), nullptr);
  Render(*effect);
  EXPECT_EQ(plugin.App().Engine()->SampleClock(), 64u);
  effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0);
}

TEST_F(ExceptionBarrier, HostCallsThatThrowAnswerNothing) {
  struct Throwing : OvVst {
    using OvVst::OvVst;
    void setParameter(int32_t, float) override { throw std::runtime_error("set"); }
    float getParameter(int32_t) override { throw std::runtime_error("get"); }
    void process(float**, float**, int32_t) override { throw std::runtime_error("process"); }
    void processReplacing(float**, float**, int32_t) override { throw 1; }
    bool getEffectName(char*) override { throw std::runtime_error("name"); }
    void close() override { throw std::runtime_error("close"); }
  };
  auto* plugin = new Throwing(&FakeHost::Callback, project);
  vst2::AEffect* effect = plugin->getAeffect();
  char name[64] = {};
  EXPECT_EQ(effect->dispatcher(effect, vst2::effGetEffectName, 0, 0, name, 0), 0);
  effect->setParameter(effect, 0, 0.5f);
  EXPECT_EQ(effect->getParameter(effect, 0), 0.0f);
  effect->process(effect, nullptr, nullptr, 64);
  effect->processReplacing(effect, nullptr, nullptr, 64);
  EXPECT_EQ(effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0), 1);
}

}  // namespace
}  // namespace ov
