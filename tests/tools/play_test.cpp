// `orvane play` on a real JACK server (the dummy driver: no sound card),
// driven by JACK clients of the test's own that send notes and record what
// comes back; and the clear refusal when no sound device can be opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "media/wav_file.h"
#include "tests/editor/x11/xvfb_server.h"
#include "tests/tools/jack_rig.h"

namespace {

using ov::testing::Child;
using ov::testing::JackServer;
using ov::testing::ReadAll;
using ov::testing::Recorder;
using ov::testing::Sender;
using ov::testing::SentNote;

constexpr uint32_t kRate = 48000;
constexpr uint32_t kPeriod = 256;
const std::string kClient = "Orvane Demo Synth";

std::string BuildDir() { return std::getenv("OV_BUILD_DIR"); }
std::string Program() { return BuildDir() + "/orvane"; }
std::string DemoSynth() { return std::string(OV_EXAMPLES_DIR) + "/demo-synth.json"; }

// A server named after the build tree, so that two trees never share one.
class TestServer : public JackServer {
 public:
  TestServer()
      : JackServer("orvane-test-" + std::to_string(std::hash<std::string>{}(BuildDir()) % 1000000),
                   BuildDir() + "/play_test_jackd.log", kRate, kPeriod) {}
};

TEST(PlayLive, NotesLandWithinAPeriodAndNoPeriodRunsLate) {
  // With its window, whose keys play too.
  ov::testing::XvfbServer display;
  ASSERT_TRUE(display.Running());
  TestServer server;
  jack_client_t* sender_client = server.Connect("test sender");
  jack_client_t* recorder_client = server.Connect("test recorder");
  ASSERT_NE(sender_client, nullptr) << ReadAll(server.Log());
  ASSERT_NE(recorder_client, nullptr);

  constexpr double kSeconds = 20;
  const std::string output = BuildDir() + "/play_test_out.txt";
  const std::string take = BuildDir() + "/play_test_take.wav";
  std::remove(take.c_str());
  Child play({Program(), "play", DemoSynth(), "--audio", "jack", "--no-connect", "--keyboard",
              "--quit-after", std::to_string(kSeconds), "-o", take},
             output);
  ASSERT_TRUE(play.Started());
  // Its ports take connections once it runs, after its startup lines.
  ov::testing::WaitForLine(output, "JACK: change connections");
  const std::string midi_in = kClient + ":midi_in";
  ASSERT_NE(jack_port_by_name(sender_client, midi_in.c_str()), nullptr) << ReadAll(output);

  Sender sender;
  sender.client = sender_client;
  sender.length = kRate / 5;
  sender.port = jack_port_register(sender_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  Recorder recorder;
  recorder.client = recorder_client;
  recorder.port =
      jack_port_register(recorder_client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  recorder.Reserve(static_cast<std::size_t>(kSeconds * kRate), kPeriod);
  // Notes every half second from a second on, each at another place in its
  // period, planned on the server's clock before anything runs.
  const jack_nframes_t base = jack_frame_time(sender_client) + kRate;
  for (uint32_t i = 0; i < 30; ++i) {
    sender.notes.push_back({.planned = base + i * (kRate / 2) + (i * 37) % kPeriod,
                            .key = static_cast<uint8_t>(48 + (i * 5) % 24)});
  }
  jack_set_process_callback(sender_client, &Sender::Process, &sender);
  jack_set_process_callback(recorder_client, &Recorder::Process, &recorder);
  ASSERT_EQ(jack_activate(sender_client), 0);
  ASSERT_EQ(jack_activate(recorder_client), 0);
  ASSERT_EQ(jack_connect(sender_client, jack_port_name(sender.port), midi_in.c_str()), 0);
  ASSERT_EQ(jack_connect(recorder_client, (kClient + ":out_1").c_str(), jack_port_name(recorder.port)),
            0);

  // Two seconds after the last note, a key of the window plays C5.
  while (jack_frame_time(sender_client) < base + 16 * kRate) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const std::size_t key_pressed = recorder.Now();
  EXPECT_EQ(ov::testing::RunCommand("xdotool keydown k sleep 0.2 keyup k"), 0);

  EXPECT_EQ(play.Wait(kSeconds + 10), 0) << ReadAll(output);
  jack_deactivate(sender_client);
  jack_deactivate(recorder_client);
  const std::string printed = ReadAll(output);
  const std::size_t at = printed.find("periods: ");
  unsigned long periods = 0;
  unsigned long overruns = 0;
  ASSERT_TRUE(at != std::string::npos &&
              std::sscanf(printed.c_str() + at, "periods: %lu, overruns: %lu", &periods, &overruns) == 2)
      << printed;
  EXPECT_GT(periods, static_cast<unsigned long>(kSeconds * kRate / kPeriod / 2));
  // Overruns count the callback's processor time, yet a virtual machine's
  // stolen time is counted as the thread's own: an idle synthesiser shows
  // single periods at three times their length while other work loads the
  // host. One period in a hundred is what such stalls allow; real overload
  // (a lock, an allocation, a file read) is most periods.
  // Sanitized code runs several times slower than what ships, so there the
  // count says nothing of the callback's cost.
#ifndef OV_SANITIZED_BUILD
  EXPECT_LE(overruns, periods / 100) << printed;
#endif
  // The take holds every period that was played, notes included.
  std::string error;
  const std::optional<ov::AudioClip> kept = ov::ReadWavFile(take, &error);
  ASSERT_TRUE(kept) << error;
  EXPECT_EQ(kept->channels.size(), 2u);
  EXPECT_EQ(kept->FrameCount(), periods * kPeriod);
  EXPECT_GT(*std::max_element(kept->channels[0].begin(), kept->channels[0].end()), 0.01f);

  // Each onset: the first sample that is not silence after the note was
  // sent (the synthesiser sounds 3 frames after a note-on, its release ends
  // in exact zeros well before the next note). A stalled server may lose
  // our cycle, the note in it with its sound: one note may come late or
  // never, as one stall allows; more is a fault.
  constexpr float kSilence = 1e-6f;
  const jack_nframes_t first = recorder.first.load();
  int measured = 0;
  int late = 0;
  for (const SentNote& note : sender.notes) {
    if (!note.on_sent) break;
    const std::size_t sent = note.sent - first;
    if (sent + kRate / 4 >= recorder.samples.size()) break;  // after play stopped
    SCOPED_TRACE("note at frame " + std::to_string(sent));
    // A cycle the server skipped around the note holds no onset to measure.
    if (!recorder.Heard(sent) || !recorder.Heard(sent + kPeriod)) {
      std::printf("note %u: the server skipped a cycle there\n", note.key);
      continue;
    }
    std::size_t onset = sent;
    while (onset < sent + kRate / 4 && std::fabs(recorder.samples[onset]) < kSilence) ++onset;
    for (std::size_t i = sent - kPeriod; i < sent; ++i) {
      ASSERT_LT(std::fabs(recorder.samples[i]), kSilence) << "sound before the note, at " << i;
    }
    const std::size_t latency = onset - sent;
    std::printf("note %u: onset %zu frames after it was sent\n", note.key, latency);
    if (latency >= kPeriod) ++late;
    ++measured;
  }
  EXPECT_GE(measured, 20);
  EXPECT_LE(late, 1) << "notes sounding a period or more after they were sent";
  const auto loudest = [&](std::size_t from, std::size_t to) {
    return std::fabs(*std::max_element(recorder.samples.begin() + from, recorder.samples.begin() + to,
                                       [](float a, float b) { return std::fabs(a) < std::fabs(b); }));
  };
  ASSERT_LT(key_pressed + kRate / 2, recorder.samples.size());
  EXPECT_LT(loudest(key_pressed - kRate / 5, key_pressed), kSilence);
  EXPECT_GT(loudest(key_pressed, key_pressed + kRate / 2), 0.01f) << "the key played nothing";
  jack_client_close(sender_client);
  jack_client_close(recorder_client);
}

// A tone whose waveform the test changes: 0 sine, 3 triangle, 4 square.
std::string ToneProject(int waveform, bool broken = false) {
  return std::string(R"({"version": 95960, "plugin_id": "OvTw", "vendor": "Orvane", "plugin_flags": 1,
 "files": [{"path": "play_test_tone.txt"}],
 "root": {"type": "Container", "modules": [
  {"type": "Container", "name": "tone", "title": "Watched Tone",
   "io": [{"name": "Left", "direction": "out", "datatype": "audio"}],
   "modules": [{"type": "Oscillator", "name": "osc",
                "plug_values": {"Waveform": )") +
         std::to_string(waveform) + (broken ? ",," : ",") + R"( "Pulse Width": 0}}],
   "connections": ["osc.Audio Out -> io.Left"]}]}}
)";
}

// Saves as editors do: a new file renamed over the old one.
void Save(const std::string& path, const std::string& text) {
  std::ofstream(path + ".new") << text;
  std::rename((path + ".new").c_str(), path.c_str());
}

// Mean magnitude over peak of 20 ms: 0.64 for a sine, 0.5 for a triangle,
// 1 for a square; 0 for silence. One period in the window may be left out,
// one the server skipped or one of exact silence (a stalled cycle); more
// than one is a fault and counts as silence.
double Shape(const Recorder& recorder, std::size_t from) {
  const std::vector<float>& samples = recorder.samples;
  double sum = 0, peak = 0;
  std::size_t counted = 0;
  int left_out = 0;
  const std::size_t until = std::min(from + kRate / 50, samples.size());
  for (std::size_t start = from; start < until;) {
    const std::size_t end = std::min(until, (start / kPeriod + 1) * kPeriod);
    const bool silent = std::all_of(samples.begin() + static_cast<std::ptrdiff_t>(start),
                                    samples.begin() + static_cast<std::ptrdiff_t>(end),
                                    [](float s) { return s == 0.0f; });
    if (!recorder.Heard(start) || silent) {
      ++left_out;
    } else {
      for (std::size_t i = start; i < end; ++i) {
        sum += std::fabs(samples[i]);
        peak = std::max(peak, static_cast<double>(std::fabs(samples[i])));
      }
      counted += end - start;
    }
    start = end;
  }
  return left_out <= 1 && counted > 0 && peak > 0.01 ? sum / static_cast<double>(counted) / peak : 0;
}

TEST(PlayLive, ASavedProjectTakesOverAndABrokenOneLeavesTheLastPlaying) {
  TestServer server;
  jack_client_t* recorder_client = server.Connect("test recorder");
  ASSERT_NE(recorder_client, nullptr) << ReadAll(server.Log());
  const std::string project = BuildDir() + "/play_test_tone.json";
  Save(project, ToneProject(0));
  const std::string named = BuildDir() + "/play_test_tone.txt";  // a file it embeds
  Save(named, "one");
  const std::string output = BuildDir() + "/play_test_watch.txt";
  Child play({Program(), "play", project, "--audio", "jack", "--no-connect", "--watch",
              "--quit-after", "5"},
             output);
  ov::testing::WaitForLine(output, "JACK: change connections");
  Recorder recorder;
  recorder.client = recorder_client;
  recorder.port =
      jack_port_register(recorder_client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  recorder.Reserve(5 * kRate, kPeriod);
  jack_set_process_callback(recorder_client, &Recorder::Process, &recorder);
  ASSERT_EQ(jack_activate(recorder_client), 0);
  ASSERT_EQ(jack_connect(recorder_client, "Watched Tone:out_1", jack_port_name(recorder.port)), 0)
      << ReadAll(output);

  // Square, then a file that does not parse, then triangle; each save's
  // frame on the server's clock.
  const struct {
    std::string text;
    double shape;  // what sounds once it has been taken; 0: the last one goes on
  } saves[] = {{ToneProject(4), 1.0}, {ToneProject(3, true), 0}, {ToneProject(3), 0.5}};
  std::vector<std::size_t> saved_at;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  for (const auto& save : saves) {
    saved_at.push_back(recorder.Now());
    Save(project, save.text);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
  }
  // A file the project names counts as the project.
  Save(named, "two");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(play.Wait(10), 0);
  jack_deactivate(recorder_client);
  const std::string printed = ReadAll(output);
  std::size_t reloads = 0;
  for (std::size_t at = 0; (at = printed.find("reloaded ", at)) != std::string::npos; ++at) ++reloads;
  EXPECT_EQ(reloads, 3u) << printed;
  EXPECT_NE(printed.find("parse error at line 7, column"), std::string::npos) << printed;
  EXPECT_NE(printed.find("the last good one plays on"), std::string::npos) << printed;

  double expected = 0.64;  // the sine it started with
  for (std::size_t i = 0; i < std::size(saves); ++i) {
    SCOPED_TRACE("save " + std::to_string(i));
    const std::size_t at = saved_at[i];
    const std::size_t until = at + kRate * 6 / 10;
    if (saves[i].shape > 0) {
      // Within 200 ms the new shape sounds, and goes on to the next save.
      std::size_t heard = at;
      while (heard < at + kRate / 5 && std::fabs(Shape(recorder, heard) - saves[i].shape) > 0.05) {
        heard += kRate / 500;
      }
      std::printf("save %zu heard %zu frames later\n", i, heard - at);
      EXPECT_LT(heard - at, kRate / 5);
      expected = saves[i].shape;
    }
    // From 200 ms on, until the next save: the shape that should sound.
    for (std::size_t from = at + kRate / 5; from < until; from += kRate / 50) {
      ASSERT_NEAR(Shape(recorder, from), expected, 0.05) << "at frame " << from;
    }
  }
  jack_client_close(recorder_client);
}

TEST(PlayLive, WithoutASoundDeviceSaysSoAndExits2) {
  // No JACK server by this name, no PulseAudio server, no such ALSA device.
  const std::string environment = "JACK_DEFAULT_SERVER=orvane-none-" + std::to_string(getpid()) +
                                  " PULSE_SERVER=unix:/nonexistent ";
  const struct {
    std::string options;
    std::string message;
  } cases[] = {
      {"", "no audio backend could be opened (JACK: no server is running;"},
      {"--audio jack", "JACK: no server is running"},
      {"--audio pulse", "PulseAudio"},
      {"--audio alsa --device no-such-card", "ALSA"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string output = BuildDir() + "/play_test_none.txt";
    const auto started = std::chrono::steady_clock::now();
    // Ended from outside if it ever waits for a server: a hang fails too.
    const int status = std::system((environment + "timeout 10 " + Program() + " play " + DemoSynth() + " " +
                                    c.options + " --quit-after 5 >" + output + " 2>&1")
                                       .c_str());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    const std::string printed = ReadAll(output);
    EXPECT_NE(printed.find("orvane play: " + c.message), std::string::npos) << printed;
  }
}

}  // namespace
