// The audio thread never touches the heap or a file: with global operator
// new and the system's file calls counted, process calls of running projects
// (host MIDI in, MIDI-to-CV, audio through the host ports, wave files played
// and recorded) allocate nothing and open, read or write no file. Its own test program, because
// replacing operator new affects everything linked with it.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/types.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "document/container.h"
#include "document/control.h"
#include "document/document.h"
#include "document/project_text.h"
#include "host/ov_vst.h"
#include "tests/host/compiled_project.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
// File calls are counted on the counting thread only: the media file thread
// writes recordings meanwhile, as it should.
thread_local bool counting_files = false;
std::atomic<long> file_calls{0};

template <typename Function>
Function Next(const char* name) {
  if (counting_files) file_calls.fetch_add(1);
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

void* Allocate(std::size_t size, std::size_t alignment) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  if (size == 0) size = 1;
  void* memory = alignment > alignof(std::max_align_t)
                     ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                     : std::malloc(size);
  return memory;
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* memory = Allocate(size, 0)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  if (void* memory = Allocate(size, static_cast<std::size_t>(alignment))) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return operator new(size, alignment);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size, 0); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }

// The file calls the system's C library offers, counted and passed on.
extern "C" {
int open(const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(rest, mode_t) : 0;
  va_end(rest);
  return Next<int (*)(const char*, int, ...)>("open")(path, flags, mode);
}
int open64(const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(rest, mode_t) : 0;
  va_end(rest);
  return Next<int (*)(const char*, int, ...)>("open64")(path, flags, mode);
}
FILE* fopen(const char* path, const char* mode) {
  return Next<FILE* (*)(const char*, const char*)>("fopen")(path, mode);
}
FILE* fopen64(const char* path, const char* mode) {
  return Next<FILE* (*)(const char*, const char*)>("fopen64")(path, mode);
}
ssize_t read(int descriptor, void* bytes, size_t size) {
  return Next<ssize_t (*)(int, void*, size_t)>("read")(descriptor, bytes, size);
}
ssize_t write(int descriptor, const void* bytes, size_t size) {
  return Next<ssize_t (*)(int, const void*, size_t)>("write")(descriptor, bytes, size);
}
ssize_t pwrite(int descriptor, const void* bytes, size_t size, off_t offset) {
  return Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(descriptor, bytes, size,
                                                                      offset);
}
ssize_t pwrite64(int descriptor, const void* bytes, size_t size, off64_t offset) {
  return Next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64")(descriptor, bytes, size,
                                                                          offset);
}
int close(int descriptor) { return Next<int (*)(int)>("close")(descriptor); }
int fclose(FILE* file) { return Next<int (*)(FILE*)>("fclose")(file); }
}

namespace ov {
namespace {

// A host that answers without allocating.
intptr_t QuietHost(vst2::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// An example project's text.
Json Example(const std::string& name) {
  std::ifstream file(std::string(OV_EXAMPLES_DIR) + "/" + name + ".json");
  std::stringstream text;
  text << file.rdbuf();
  return Json::parse(text.str());
}

// `blocks` process calls with a note starting and ending in every other one
// (or, holding, a new note in each, 64 keys round); answers the number of
// allocations made during them.
long AllocationsWhileProcessing(const Json& text, int32_t blocks, bool replacing,
                                bool holding = false, const std::string& library_path = "") {
  testing::CompiledProject project(text, library_path);
  OvVst plugin(&QuietHost, project);
  EXPECT_FALSE(plugin.LoadFailed());
  plugin.getAeffect()->dispatcher(plugin.getAeffect(), vst2::effSetBlockSizeAndSampleRate, 0, 256,
                                  nullptr, 48000.0f);
  plugin.getAeffect()->dispatcher(plugin.getAeffect(), vst2::effMainsChanged, 0, 1, nullptr, 0);

  constexpr int32_t kFrames = 256;
  // Four host inputs and four outputs: more than any example has.
  std::vector<std::vector<float>> buffers(8, std::vector<float>(kFrames, 0.25f));
  std::vector<float*> pointers;
  for (auto& buffer : buffers) pointers.push_back(buffer.data());
  vst2::VstMidiEvent note{};
  note.type = vst2::kVstMidiType;
  note.byteSize = sizeof note;
  struct {
    int32_t numEvents = 1;
    intptr_t reserved = 0;
    vst2::VstEvent* events[1];
  } block;
  block.events[0] = reinterpret_cast<vst2::VstEvent*>(&note);

  counting = true;
  counting_files = true;
  for (int32_t i = 0; i < blocks; ++i) {
    note.deltaFrames = (i * 37) % kFrames;
    note.midiData[0] = static_cast<char>(i % 2 == 0 || holding ? 0x90 : 0x80);
    note.midiData[1] = static_cast<char>(holding ? 30 + i % 64 : 48 + i % 24);
    note.midiData[2] = 100;
    plugin.processEvents(reinterpret_cast<vst2::VstEvents*>(&block));
    if (replacing) {
      plugin.processReplacing(pointers.data(), pointers.data() + 4, kFrames);
    } else {
      plugin.process(pointers.data(), pointers.data() + 4, kFrames);
    }
  }
  counting = false;
  counting_files = false;
  return allocations.exchange(0);
}

TEST(Realtime, ProcessCallsNeverAllocate) {
  // The counter itself works.
  counting = true;
  int* volatile probe = new int(1);  // volatile: the pair may not be elided
  counting = false;
  delete probe;
  EXPECT_EQ(allocations.exchange(0), 1);

  for (const char* example : {"midi_cv_probe", "passthrough", "demo", "demo-synth", "midi-split"}) {
    EXPECT_EQ(AllocationsWhileProcessing(Example(example), 400, true), 0) << example;
    EXPECT_EQ(AllocationsWhileProcessing(Example(example), 50, false), 0) << example;
  }
}

// Between process calls the panel moves every control of the demos and
// switches patches, as a user at the editor does; the engine takes each
// change from the ring without allocating.
TEST(Realtime, PanelChangesReachTheEngineWithoutAllocating) {
  for (const char* example : {"demo-synth", "demo"}) {
    SCOPED_TRACE(example);
    testing::CompiledProject project(Example(example));
    OvVst plugin(&QuietHost, project);
    plugin.getAeffect()->dispatcher(plugin.getAeffect(), vst2::effSetBlockSizeAndSampleRate, 0,
                                    256, nullptr, 48000.0f);
    plugin.getAeffect()->dispatcher(plugin.getAeffect(), vst2::effMainsChanged, 0, 1, nullptr, 0);
    CContainer& main = *plugin.App().Document()->FindMainContainer();
    std::vector<CControl*> controls;
    for (const auto& child : main.children()) {
      if (auto* control = dynamic_cast<CControl*>(child.get())) controls.push_back(control);
    }
    ASSERT_FALSE(controls.empty());
    std::vector<std::vector<float>> buffers(4, std::vector<float>(256, 0.0f));
    std::vector<float*> pointers;
    for (auto& buffer : buffers) pointers.push_back(buffer.data());
    for (int i = 0; i < 100; ++i) {
      for (std::size_t k = 0; k < controls.size(); ++k) {
        controls[k]->SetNormalised(static_cast<float>((i * 7 + k * 3) % 11) / 10.0f);
      }
      if (i % 10 == 5) main.FindParameter("Program")->WriteValueText(std::to_string(i % 2));
      counting = true;
      plugin.processReplacing(pointers.data(), pointers.data() + 2, 256);
      counting = false;
      plugin.fxIdle();
    }
    EXPECT_EQ(allocations.exchange(0), 0);
  }
}

TEST(Realtime, WavePlayerAndRecorderTouchNoFileOnTheAudioThread) {
  // The counter itself works.
  counting_files = true;
  std::fclose(std::fopen("/dev/null", "rb"));
  counting_files = false;
  EXPECT_EQ(file_calls.exchange(0), 2);

  // The example's player, restarted by every other note, recorded.
  Json project = Example("wave-player");
  Json& synth = project["root"]["modules"][0];
  synth["modules"].push_back(Json::parse(
      R"({"type": "Wave Recorder", "name": "take", "plug_values": {"File Name": "take"}})"));
  synth["connections"].push_back("player.Left Out -> take.Left (Mono)");
  const std::string folder = ::testing::TempDir() + "orvane_realtime_wave/";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  // 300 blocks are 1.6 s at 48 kHz: within the recorder's ring, however late
  // the media thread comes.
  EXPECT_EQ(AllocationsWhileProcessing(project, 300, true, false, folder + "Rt.so"), 0);
  EXPECT_EQ(file_calls.exchange(0), 0);
  // The take holds every block: 300 of 256 frames, 16 bits.
  EXPECT_EQ(std::filesystem::file_size(folder + "Rt/take.wav"), 44u + 300 * 256 * 2);
}

TEST(Realtime, SixtyFourVoicesInLanesNeverAllocate) {
  // Every filter variant of the demo synthesiser with 64 voices sounding, so
  // that the voice copies run in lanes.
  for (const char* example :
       {"demo-synth", "demo-synth-svf", "demo-synth-1pole", "demo-synth-nofilter"}) {
    Json project = Example(example);
    project["root"]["modules"][0]["plug_values"]["Polyphony"] = 64;
    EXPECT_EQ(AllocationsWhileProcessing(project, 200, true, true), 0) << example;
  }
}

TEST(Realtime, ABlockOfAThousandMidiEventsNeverAllocates) {
  testing::CompiledProject project(Example("demo-synth"));
  OvVst plugin(&QuietHost, project);
  plugin.getAeffect()->dispatcher(plugin.getAeffect(), vst2::effSetBlockSizeAndSampleRate, 0, 256,
                                  nullptr, 48000.0f);
  plugin.getAeffect()->dispatcher(plugin.getAeffect(), vst2::effMainsChanged, 0, 1, nullptr, 0);
  constexpr int kEvents = 1000;
  std::vector<vst2::VstMidiEvent> notes(kEvents);
  struct Block {
    int32_t numEvents = kEvents;
    intptr_t reserved = 0;
    vst2::VstEvent* events[kEvents];
  };
  auto block = std::make_unique<Block>();
  for (int i = 0; i < kEvents; ++i) {
    vst2::VstMidiEvent& note = notes[static_cast<std::size_t>(i)];
    note.type = vst2::kVstMidiType;
    note.byteSize = sizeof note;
    note.deltaFrames = i / 4;
    note.midiData[0] = static_cast<char>(i % 2 == 0 ? 0x90 : 0x80);
    note.midiData[1] = static_cast<char>(24 + (i / 2) % 96);
    note.midiData[2] = 100;
    block->events[i] = reinterpret_cast<vst2::VstEvent*>(&note);
  }
  std::vector<std::vector<float>> buffers(8, std::vector<float>(256, 0.0f));
  std::vector<float*> pointers;
  for (auto& buffer : buffers) pointers.push_back(buffer.data());
  counting = true;
  for (int i = 0; i < 4; ++i) {
    plugin.processEvents(reinterpret_cast<vst2::VstEvents*>(block.get()));
    plugin.processReplacing(pointers.data(), pointers.data() + 4, 256);
  }
  counting = false;
  EXPECT_EQ(allocations.exchange(0), 0);
}

TEST(Realtime, HostAutomationOnTheAudioThreadNeverAllocates) {
  // An oscillator whose waveform is a host parameter.
  testing::CompiledProject project(Json::parse(R"({
    "version": 95960, "plugin_id": "OvRt", "plugin_flags": 1,
    "root": {"type": "Container", "modules": [{
      "type": "Container", "name": "synth",
      "io": [{"name": "Left", "direction": "out", "datatype": "audio"}],
      "patches": {"current": 0},
      "modules": [{"type": "Oscillator", "name": "osc", "patch_values": {"Waveform": [1]}}],
      "connections": ["osc.Audio Out -> io.Left"]}]}})"));
  OvVst plugin(&QuietHost, project);
  ASSERT_EQ(plugin.getAeffect()->numParams, 1);
  plugin.getAeffect()->dispatcher(plugin.getAeffect(), vst2::effMainsChanged, 0, 1, nullptr, 0);
  std::vector<float> left(256);
  float* outputs[] = {left.data()};
  std::thread audio([&] {
    counting = true;
    for (int i = 0; i < 200; ++i) {
      plugin.setParameter(0, static_cast<float>(i % 7) / 6.0f);
      plugin.getParameter(0);
      plugin.processReplacing(nullptr, outputs, 256);
    }
    counting = false;
  });
  audio.join();
  EXPECT_EQ(allocations.exchange(0), 0);
}

}  // namespace
}  // namespace ov
