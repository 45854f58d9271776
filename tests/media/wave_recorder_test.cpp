#include "media/wave_recorder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <thread>

#include "media/wav_file.h"
#include "media/wave_player.h"
#include "platform/sound_player.h"
#include "tests/media/wave_test_support.h"
#include "tests/modules/module_rig.h"

namespace ov {
namespace {

using test::ModuleRig;
using testing::FolderFiles;
using testing::MessageBoxes;

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct RecorderRig : ModuleRig {
  RecorderRig() : files(testing::TestFolder()), boxes(master) { host.files = &files; }
  // A recorder of `name`; with `seconds` as its time limit, and a signal
  // on the right input when `stereo`.
  ug_wave_recorder& Recorder(const std::string& name, const char* seconds = "0.1",
                             const char* format = "0") {
    auto& recorder = Add(std::make_unique<ug_wave_recorder>());
    recorders.push_back(&recorder);
    recorder.plug(ug_wave_out::kFileName)->SetValueFromText(name);
    Set(recorder, 3, format);
    Set(recorder, 4, seconds);
    return recorder;
  }
  // Runs until `samples` have passed, letting the media thread catch up
  // every so often: tests render far faster than real time on a busy machine.
  void Run(int64_t samples) {
    while (static_cast<int64_t>(cells) * kCell < samples) {
      Step();
      if (cells % 64 != 0) continue;
      for (ug_wave_out* recorder : recorders) {
        for (int i = 0; i < 2000 && !recorder->Drained(); ++i) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      }
    }
  }

  FolderFiles files;
  MessageBoxes boxes;
  std::vector<ug_wave_out*> recorders;
};

double Sine(int64_t n) { return std::sin(2 * std::numbers::pi * 441.0 * n / 44100.0); }

TEST(WaveRecorder, SixteenBitTakeHoldsTheClampedSignalAndReadsBack) {
  RecorderRig rig;
  auto& recorder = rig.Recorder("take");
  rig.DriveInput(*recorder.plug(ug_wave_out::kLeft), [](int64_t n) { return float(Sine(n)); });
  rig.Start();
  EXPECT_EQ(recorder.Channels(), 1);
  EXPECT_EQ(recorder.FlushPeriod(), 1024);
  rig.Run(44100 / 5);
  rig.master.Stop();
  const std::vector<uint8_t> file = Bytes(rig.files.LibraryFolder() + "take.wav");
  ASSERT_EQ(file.size(), 44u + 4410 * 2);  // 0.1 s exactly
  int peak = 0, trough = 0;
  for (std::size_t i = 44; i < file.size(); i += 2) {
    const auto s = static_cast<int16_t>(file[i] | (file[i + 1] << 8));
    peak = std::max<int>(peak, s);
    trough = std::min<int>(trough, s);
  }
  EXPECT_EQ(peak, 32735);
  EXPECT_EQ(trough, -32735);

  std::string error;
  const auto clip = ReadWavFile(rig.files.LibraryFolder() + "take.wav", &error);
  ASSERT_TRUE(clip) << error;
  EXPECT_EQ(clip->sample_rate, 44100u);
  for (std::size_t n = 0; n < clip->FrameCount(); ++n) {
    const double sent = std::clamp(Sine(static_cast<int64_t>(n)), -0.999, 0.999);
    ASSERT_NEAR(clip->channels[0][n], sent, 1.0 / 32768) << n;
  }
  EXPECT_TRUE(rig.boxes.Texts().empty());

  // The player reads the take back as it was sent, at half scale.
  ModuleRig play;
  play.host.files = &rig.files;
  auto& player = play.Add(std::make_unique<ug_wave_player>());
  player.plug(ug_wave_in::kFileName)->SetValueFromText("take");
  play.Start();
  const std::vector<float> y = play.Record(*player.plug(ug_wave_in::kLeftOut), 4000);
  for (std::size_t n = 0; n < y.size(); ++n) {
    ASSERT_NEAR(y[n], 0.5 * clip->channels[0][n + 1], 1e-6) << n;
  }
}

TEST(WaveRecorder, StereoFloatTakeIsExactAndFlushesComeEveryBuffer) {
  RecorderRig rig;
  auto& recorder = rig.Recorder("float", "0.05", "1");
  rig.DriveInput(*recorder.plug(ug_wave_out::kLeft),
                 [](int64_t n) { return float(Sine(n)) * 1.5f; });
  rig.DriveInput(*recorder.plug(ug_wave_out::kRight),
                 [](int64_t n) { return n == 7 ? std::nanf("") : float(-Sine(n)); });
  rig.Start();
  EXPECT_EQ(recorder.Channels(), 2);
  EXPECT_EQ(recorder.FlushPeriod(), 256);
  rig.Run(44100);
  rig.master.Stop();
  std::string error;
  const auto clip = ReadWavFile(rig.files.LibraryFolder() + "float.wav", &error);
  ASSERT_TRUE(clip) << error;
  ASSERT_EQ(clip->FrameCount(), 2205u);
  for (std::size_t n = 0; n < clip->FrameCount(); ++n) {
    ASSERT_EQ(clip->channels[0][n], float(Sine(n)) * 1.5f) << n;            // float is not clamped
    ASSERT_EQ(clip->channels[1][n], n == 7 ? 0.0f : float(-Sine(n))) << n;  // NaN as 0
  }

  // The other layouts' periods: 2048 bytes each.
  RecorderRig other;
  auto& stereo16 = other.Recorder("s16", "0.01");
  other.DriveInput(*stereo16.plug(ug_wave_out::kRight), [](int64_t) { return 0.1f; });
  auto& mono_float = other.Recorder("mf", "0.01", "1");
  other.Start();
  EXPECT_EQ(stereo16.FlushPeriod(), 512);
  EXPECT_EQ(mono_float.FlushPeriod(), 512);
}

TEST(WaveRecorder, TimeLimitRequestsTheStopAndEndsTheTake) {
  RecorderRig rig;
  auto& recorder = rig.Recorder("four", "4");
  rig.DriveInput(*recorder.plug(ug_wave_out::kLeft), [](int64_t) { return 0.25f; });
  rig.Start();
  EXPECT_EQ(recorder.StopTime(), 176399u);
  rig.Run(176384);
  EXPECT_FALSE(rig.master.StopRequested());
  // While the engine runs the media thread keeps a valid file on disk.
  std::string error;
  std::optional<AudioClip> so_far;
  for (int i = 0; i < 500 && !(so_far && so_far->FrameCount() > 100000); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    so_far = ReadWavFile(rig.files.LibraryFolder() + "four.wav", &error);
  }
  ASSERT_TRUE(so_far) << error;
  EXPECT_EQ(so_far->FrameCount() % 1024, 0u);
  rig.Run(5 * 44100);
  EXPECT_TRUE(rig.master.StopRequested());
  rig.master.Stop();
  const auto clip = ReadWavFile(rig.files.LibraryFolder() + "four.wav", &error);
  ASSERT_TRUE(clip) << error;
  EXPECT_EQ(clip->FrameCount(), 176400u);  // four seconds, the stamped sample included
  EXPECT_EQ(recorder.DroppedBuffers(), 0u);

  // Limits that do not fit the clock are held to it.
  RecorderRig limits;
  auto& forever = limits.Recorder("", "1e12");
  auto& negative = limits.Recorder("", "-3");
  auto& nothing = limits.Recorder("", "nan");
  limits.Start();
  EXPECT_EQ(forever.StopTime(), 2147483646u);
  EXPECT_EQ(negative.StopTime(), 0u);
  EXPECT_EQ(nothing.StopTime(), 0u);
}

TEST(WaveRecorder, NeverWritesOutsideItsFolderNorReplacesAFile) {
  RecorderRig rig;
  const std::string folder = rig.files.LibraryFolder();
  rig.files.Put("kept.wav", {1, 2, 3});
  std::filesystem::create_directories(folder + "../outside");
  std::filesystem::create_directory_symlink(folder + "../outside", folder + "link");
  auto& kept = rig.Recorder("kept");
  rig.Recorder("../escape");
  rig.Recorder("/tmp/absolute");
  rig.Recorder("link/through");
  rig.Recorder("");  // records nothing, creates nothing
  rig.DriveInput(*kept.plug(ug_wave_out::kLeft), [](int64_t) { return 0.5f; });
  rig.Start();
  rig.Run(8192);
  rig.master.Stop();
  EXPECT_EQ(Bytes(folder + "kept.wav"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(kept.Path(), folder + "kept-2.wav");
  std::string error;
  const auto take = ReadWavFile(kept.Path(), &error);
  ASSERT_TRUE(take) << error;
  EXPECT_EQ(take->FrameCount(), 4410u);
  EXPECT_TRUE(std::filesystem::is_empty(folder + "../outside"));
  EXPECT_FALSE(std::filesystem::exists("/tmp/absolute.wav"));
  EXPECT_TRUE(rig.master.StopRequested());
  EXPECT_EQ(rig.boxes.Texts(),
            (std::vector<std::string>{
                folder + "kept.wav exists: recording to " + folder + "kept-2.wav",
                "File open error : " + folder + "../escape.wav",
                "File open error : /tmp/absolute.wav",
                "File open error : " + folder + "link/through.wav",
            }));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++entries;
  EXPECT_EQ(entries, 3u);  // kept, kept-2 and the link
}

class FakePlayer : public SoundPlayer {
 public:
  bool Play(const std::string& path) override {
    played.push_back(path);
    return true;
  }
  std::vector<std::string> played;
};

TEST(WaveRecorder, PlaysReportsAndDropsEmptyTakes) {
  FakePlayer fake;
  ReplaceSoundPlayer(&fake);
  RecorderRig rig;
  auto& recorder = rig.Recorder("played");
  rig.Set(recorder, 5, "1");
  rig.Set(recorder, 6, "1");
  rig.Start();
  rig.Run(44100);
  rig.master.Stop();
  ReplaceSoundPlayer(nullptr);
  EXPECT_EQ(fake.played, std::vector<std::string>{recorder.Path()});
  ASSERT_EQ(rig.boxes.Texts().size(), 1u);
  EXPECT_TRUE(rig.boxes.Texts()[0].starts_with("1.0 seconds of sound rendered in "))
      << rig.boxes.Texts()[0];
  EXPECT_NE(rig.boxes.Texts()[0].find("Efficiency = "), std::string::npos);

  // Stopped before a sample was rendered: no take is left.
  RecorderRig empty;
  auto& never = empty.Recorder("never");
  empty.Start();
  empty.master.Stop();
  EXPECT_FALSE(never.Path().empty());
  EXPECT_FALSE(std::filesystem::exists(never.Path()));
}

TEST(WaveRecorder, NameChangeWhileRunningAsksForARestart) {
  RecorderRig rig;
  auto& recorder = rig.Add(std::make_unique<ug_wave_recorder>());
  test::Source& name = rig.Feed(*recorder.plug(ug_wave_out::kFileName));
  name.plug(0)->SetTextValue("first");
  rig.Start();
  rig.Run(256);
  name.plug(0)->SetTextValue("second");
  name.plug(0)->Transmit(rig.cells * ModuleRig::kCell, ST_STATIC);
  rig.Run(512);
  EXPECT_EQ(rig.boxes.Texts(),
            std::vector<std::string>{"For change to take effect, Restart sound"});
  rig.master.Stop();
  EXPECT_TRUE(std::filesystem::exists(rig.files.LibraryFolder() + "first.wav"));
}

}  // namespace
}  // namespace ov
