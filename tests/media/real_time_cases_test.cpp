// Modules that must neither stall the audio thread nor lose work silently,
// run case by case in an engine whose process calls allocate nothing and
// stay short: an engine block as long as a prime host block, an event pool
// filled on purpose, a file of events all on one tick, a formula edited
// while playing, and files changed while running.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/media_file_thread.h"
#include "media/midi_player.h"
#include "media/wav_file.h"
#include "media/wave_player.h"
#include "media/wave_recorder.h"
#include "modules/math_signals.h"
#include "modules/meters.h"
#include "modules/wave_shaper.h"
#include "tests/engine/counted_allocations.h"
#include "tests/media/same_tick_song.h"
#include "tests/media/smf_builder.h"
#include "tests/media/wave_test_support.h"
#include "tests/modules/module_rig.h"

namespace ov {
namespace {

using testing::NoteCounter;
using testing::SameTickSong;
using testing::SmfBuilder;
using testing::TrackBuilder;
using namespace std::chrono_literals;

// Keeps the media file thread busy in its own call until let go, so a test
// can tell work done there from work done in a process call.
class HeldMediaThread : private MediaFileThread::Client {
 public:
  HeldMediaThread() {
    MediaFileThread::Instance().Register(*this);
    while (!entered_) std::this_thread::sleep_for(1ms);
  }
  ~HeldMediaThread() {
    held_ = false;
    MediaFileThread::Instance().Unregister(*this);
  }
  // Lets the thread go and returns once it has served every client again.
  void Release() {
    held_ = false;
    while (served_ < 2) std::this_thread::sleep_for(1ms);
  }

 private:
  bool ServeMedia() override {
    entered_ = true;
    while (held_) std::this_thread::sleep_for(1ms);
    ++served_;
    return false;
  }
  std::atomic<bool> held_{true};
  std::atomic<bool> entered_{false};
  std::atomic<int> served_{0};
};

struct CaseRig : test::ModuleRig {
  CaseRig() : files(testing::TestFolder()), boxes(master) { host.files = &files; }
  ~CaseRig() { ReleaseEvents(); }
  // Takes event records until only `left` are free.
  void FillPool(std::size_t left) {
    while (master.Events().Available() > left) held.push_back(master.Events().Acquire());
  }
  void ReleaseEvents() {
    for (ug_event* event : held) master.Events().Release(event);
    held.clear();
  }
  bool Boxed(std::string_view fragment) {
    return std::ranges::any_of(boxes.Texts(), [&](const std::string& text) {
      return text.find(fragment) != std::string::npos;
    });
  }
  // Lets the media file thread catch up with `ready`, for up to two seconds.
  static void WaitFor(const std::function<bool()>& ready) {
    for (int i = 0; i < 2000 && !ready(); ++i) std::this_thread::sleep_for(1ms);
  }

  testing::FolderFiles files;
  testing::MessageBoxes boxes;
  std::vector<ug_event*> held;
  UPlug* watched = nullptr;  // its samples are kept in `heard`
  std::vector<float> heard;
  std::unique_ptr<HeldMediaThread> media_hold;
  std::function<void(int64_t)> between;  // before each process call
};

struct Case {
  const char* name;
  int32_t block;
  int64_t samples;
  std::function<void(CaseRig&)> build;  // before the engine starts
  std::function<void(CaseRig&)> check;
};

// A 200-character formula that gives -x.
std::string LongFormula() {
  std::string formula = "-x";
  while (formula.size() + 14 <= ug_wave_shaper2::kFormulaLength) formula += "+0*sin(cos(x))";
  return formula;
}

std::vector<uint8_t> FloatWave(const std::vector<float>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 4);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return testing::WaveBuilder().Format(3, 1, 44100, 32).Data(bytes).Bytes();
}

void VoltMeterAt(CaseRig& rig) {
  auto& meter = rig.Add(std::make_unique<ug_volt_meter>());
  rig.Set(meter, 0, "2");
  rig.watched = nullptr;
  rig.between = [&rig, &meter](int64_t) { rig.heard.assign(1, meter.DisplayedValue()); };
}

const Case kCases[] = {
    {"a volt meter whose engine block is a prime 2003 samples", 2003, 3 * 44100, VoltMeterAt,
     [](CaseRig& rig) { EXPECT_NEAR(rig.heard.at(0), 0.2f, 1e-4); }},
    {"a volt meter whose engine block is a prime 4093 samples", 4093, 3 * 44100, VoltMeterAt,
     [](CaseRig& rig) { EXPECT_NEAR(rig.heard.at(0), 0.2f, 1e-4); }},
    {"a long pulse triggered when no event record is left for its end", 128, 8192,
     [](CaseRig& rig) {
       // A static rise at sample 1000 takes the last free record.
       auto& pulse = rig.Add(std::make_unique<ug_monostable>());
       rig.Set(pulse, ug_monostable::kPulseLength, "1");  // 4410 samples
       rig.DriveInput(*pulse.plug(ug_monostable::kSignalIn),
                      [](int64_t n) { return n >= 1000 ? 0.5f : 0.0f; }, ST_STATIC,
                      {{1000u, ST_STATIC}});
       rig.watched = pulse.plug(ug_monostable::kSignalOut);
       rig.between = [&rig](int64_t done) {
         if (done == 896) rig.FillPool(1);
       };
     },
     [](CaseRig& rig) {
       EXPECT_EQ(rig.heard.at(5409), 0.5f);
       EXPECT_EQ(rig.heard.at(5410), 0.0f);
     }},
    {"a wave recorder whose pool is full for the whole take", 128, 8192,
     [](CaseRig& rig) {
       auto& recorder = rig.Add(std::make_unique<ug_wave_recorder>());
       recorder.plug(ug_wave_out::kFileName)->SetValueFromText("full");
       rig.Set(recorder, 4, "0.1");  // "Time Limit": 4410 frames
       rig.DriveInput(*recorder.plug(ug_wave_out::kLeft), [](int64_t) { return 0.25f; });
       rig.between = [&rig](int64_t done) {
         if (done == 128) rig.FillPool(0);
       };
     },
     [](CaseRig& rig) {
       rig.ReleaseEvents();
       rig.master.Stop();
       std::string error;
       const auto take = ReadWavFile(rig.files.LibraryFolder() + "full.wav", &error);
       ASSERT_TRUE(take) << error;
       EXPECT_EQ(take->FrameCount(), 4410u);
     }},
    {"a MIDI player whose pool is full for a while", 128, 5 * 44100,
     [](CaseRig& rig) {
       TrackBuilder track;
       for (int note = 0; note < 8; ++note) track.At(note == 0 ? 0 : 96, {0x90, 60, 100});
       rig.files.Put("eight.mid", SmfBuilder{}.Track(track.End()).Bytes());
       auto& player = rig.Add(std::make_unique<ug_midi_player>());
       rig.Set(player, ug_midi_player::kFileName, "eight");
       auto& counter = rig.Add(std::make_unique<NoteCounter>(), 0);
       rig.top.connect(player.plug(ug_midi_player::kMidiOut), counter.plug(0));
       rig.between = [&rig, &counter](int64_t done) {
         if (done == 128 * 10) rig.FillPool(0);
         if (done == 128 * 100) rig.ReleaseEvents();
         rig.heard.assign(1, static_cast<float>(counter.notes));
       };
     },
     [](CaseRig& rig) {
       EXPECT_EQ(rig.heard.at(0), 8.0f);  // late, but every note
       EXPECT_TRUE(rig.Boxed(ug_midi_player::kRanLate));
     }},
    {"a MIDI player on a 2 MB file of events all on one tick", 128, 400'000,
     [](CaseRig& rig) {
       rig.files.Put("tick.mid", SameTickSong(699'000));
       auto& player = rig.Add(std::make_unique<ug_midi_player>());
       rig.Set(player, ug_midi_player::kFileName, "tick");
       auto& counter = rig.Add(std::make_unique<NoteCounter>(), 0);
       rig.top.connect(player.plug(ug_midi_player::kMidiOut), counter.plug(0));
       rig.between = [&rig, &counter](int64_t) {
         rig.heard.assign(1, static_cast<float>(counter.notes));
       };
     },
     [](CaseRig& rig) {
       EXPECT_EQ(rig.heard.at(0), 699'000.0f);
       EXPECT_EQ(rig.master.Events().Dropped(), 0u);
     }},
    {"a formula edited while the shaper plays", 128, 128 * 40,
     [](CaseRig& rig) {
       auto& shaper = rig.Add(std::make_unique<ug_wave_shaper2>());
       rig.Set(shaper, ug_wave_shaper::kSignalIn, "5");
       auto& shape = rig.Feed(*shaper.plug(ug_wave_shaper::kShape));
       shape.plug(0)->SetValueFromText("x");
       rig.watched = shaper.plug(ug_wave_shaper::kSignalOut);
       rig.between = [&rig, &shape, &shaper](int64_t done) {
         if (done == 128 * 5) {
           // The media thread is held, so only a table built in a process
           // call could be there before it is let go.
           rig.media_hold = std::make_unique<HeldMediaThread>();
           shape.plug(0)->SetValueFromText(LongFormula());
           shape.plug(0)->Transmit(static_cast<uint32_t>(done) + 10, ST_STATIC);
         }
         if (done == 128 * 20) {
           EXPECT_EQ(shaper.Table()[512], 0.5f);  // the old table plays meanwhile
           EXPECT_TRUE(shaper.Building());
           rig.media_hold->Release();
         }
       };
     },
     [](CaseRig& rig) {
       EXPECT_EQ(rig.heard.at(128 * 20 - 1), 0.5f);
       EXPECT_NEAR(rig.heard.back(), -0.5f, 1e-6);
     }},
    {"wave players given a new float file while running", 128, 128 * 60,
     [](CaseRig& rig) {
       rig.files.Put("old.wav", testing::Mono16(44100, std::vector<int16_t>(64, 1000)));
       const float inf = std::numeric_limits<float>::infinity();
       std::vector<float> samples(20000, 0.25f);
       samples[100] = std::nanf("");
       samples[200] = inf;
       samples[300] = -inf;
       rig.files.Put("new.wav", FloatWave(samples));
       auto& player = rig.Add(std::make_unique<ug_wave_player>());
       auto& voice = static_cast<ug_wave_player&>(rig.top.AddChild(player.Clone()));
       auto& name = rig.Feed(*player.plug(ug_wave_in::kFileName));
       rig.top.connect(name.plug(0), voice.plug(ug_wave_in::kFileName));
       name.plug(0)->SetValueFromText("old");
       auto gate = std::make_shared<bool>(false);
       rig.Stream(player, ug_wave_in::kGate, [gate](uint32_t, float* samples) {
         std::fill_n(samples, test::ModuleRig::kCell, *gate ? 1.0f : 0.0f);
       });
       rig.watched = player.plug(ug_wave_in::kLeftOut);
       rig.between = [&rig, &name, &player, &voice, gate](int64_t done) {
         if (done == 128 * 4) {
           name.plug(0)->SetValueFromText("new");
           name.plug(0)->Transmit(static_cast<uint32_t>(done), ST_STATIC);
         }
         if (done == 128 * 8) {
           CaseRig::WaitFor([&] { return player.FileReady() && voice.FileReady(); });
           EXPECT_EQ(player.Wave(), voice.Wave());  // one copy for every voice
           *gate = true;
         }
       };
     },
     [](CaseRig& rig) {
       const auto played = std::ranges::count_if(rig.heard, [](float x) { return x != 0.0f; });
       EXPECT_GT(played, 128 * 40);
       EXPECT_TRUE(std::ranges::all_of(rig.heard, [](float x) { return std::isfinite(x); }));
     }},
};

TEST(RealTimeCases, ProcessCallsStayShortAllocateNothingAndLoseNothing) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CaseRig rig;
    if (c.block != CaseRig::kCell) rig.master.SetEngineBlockSize(c.block);
    c.build(rig);
    rig.Start();
    rig.heard.reserve(static_cast<std::size_t>(c.samples + c.block));
    auto longest = std::chrono::steady_clock::duration::zero();
    counted_allocations = 0;
    for (int64_t done = 0; done < c.samples; done += c.block) {
      if (rig.between) rig.between(done);
      const auto start = std::chrono::steady_clock::now();
      counting_allocations = true;
      if (c.block == CaseRig::kCell) {
        rig.Step();
      } else {
        rig.master.Process(c.block);
      }
      counting_allocations = false;
      longest = std::max(longest, std::chrono::steady_clock::now() - start);
      if (rig.watched != nullptr) {
        const float* data = rig.watched->Data();
        rig.heard.insert(rig.heard.end(), data, data + c.block);
      }
    }
    if (rig.between) rig.between(c.samples);
    EXPECT_EQ(counted_allocations.load(), 0);
    // Far above what any of these calls takes, far below what they took
    // when a whole tick or a whole table was done in one call.
    EXPECT_LT(longest, 40ms);
    c.check(rig);
  }
}

}  // namespace
}  // namespace ov
