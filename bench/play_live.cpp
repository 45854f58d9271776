// Figures for `orvane play` on a JACK server of its own (the dummy driver,
// no sound card): how long a MIDI note takes to sound at periods of 64, 128
// and 256 frames, and how long a saved demo synth takes to be the one
// playing. A plain program that prints them, since a machine shared with
// other work gives figures, not verdicts:
//
//     build/bench/orvane_bench_play
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/tools/jack_rig.h"

namespace {

using ov::testing::Child;
using ov::testing::JackServer;
using ov::testing::ReadAll;
using ov::testing::Recorder;
using ov::testing::Sender;
using ov::testing::SentNote;

constexpr uint32_t kRate = 48000;
const std::string kClient = "Orvane Demo Synth";
const std::string kServer = "orvane-bench-" + std::to_string(std::hash<std::string>{}(OV_BUILD_DIR) % 1000000);

std::string Scratch(const std::string& name) { return std::string(OV_BUILD_DIR) + "/bench/" + name; }

double Ms(double frames) { return frames * 1000.0 / kRate; }

template <typename T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? T{} : values[values.size() / 2];
}

// The clients and the program under measurement, on one server.
struct Rig {
  explicit Rig(uint32_t period) : period(period), server(kServer, Scratch("play_jackd.log"), kRate, period) {}
  // Starts orvane play with `arguments`, then the clients, connected to it.
  bool Start(const std::vector<std::string>& arguments, double seconds) {
    sender.client = server.Connect("bench sender");
    recorder.client = server.Connect("bench recorder");
    if (sender.client == nullptr || recorder.client == nullptr) {
      std::fprintf(stderr, "no JACK server: %s\n", ReadAll(server.Log()).c_str());
      return false;
    }
    std::vector<std::string> line{OV_PROGRAM, "play"};
    line.insert(line.end(), arguments.begin(), arguments.end());
    play.emplace(line, output);
    if (!ov::testing::WaitForLine(output, "JACK: change connections")) {
      std::fprintf(stderr, "orvane play did not start: %s\n", ReadAll(output).c_str());
      return false;
    }
    sender.port = jack_port_register(sender.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    recorder.port = jack_port_register(recorder.client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    recorder.Reserve(static_cast<std::size_t>(seconds * kRate), period);
    jack_set_process_callback(sender.client, &Sender::Process, &sender);
    jack_set_process_callback(recorder.client, &Recorder::Process, &recorder);
    return jack_activate(sender.client) == 0 && jack_activate(recorder.client) == 0 &&
           jack_connect(sender.client, jack_port_name(sender.port), (kClient + ":midi_in").c_str()) == 0 &&
           jack_connect(recorder.client, (kClient + ":out_1").c_str(), jack_port_name(recorder.port)) == 0;
  }
  // Waits until the server's clock passes `frame`.
  void WaitFor(jack_nframes_t frame) const {
    while (static_cast<int32_t>(jack_frame_time(sender.client) - frame) < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  void Finish() {
    if (play) play->Wait(20);
    jack_deactivate(sender.client);
    jack_deactivate(recorder.client);
    jack_client_close(sender.client);
    jack_client_close(recorder.client);
  }

  uint32_t period;
  JackServer server;
  std::string output = Scratch("play_output.txt");
  std::optional<Child> play;
  Sender sender;
  Recorder recorder;
};

// Notes four times a second, each at another place in its period; the
// frames from each note's frame to its first sound in the graph.
void NoteToSound(uint32_t period) {
  Rig rig(period);
  constexpr double kSeconds = 7;
  if (!rig.Start({OV_DEMO_SYNTH, "--audio", "jack", "--quit-after", std::to_string(kSeconds + 1)},
                 kSeconds + 1)) {
    return;
  }
  // Where our output goes is connected by now: what the server says it
  // waits before out_1's sound leaves the machine.
  jack_latency_range_t playback{};
  jack_port_get_latency_range(jack_port_by_name(rig.sender.client, (kClient + ":out_1").c_str()),
                              JackPlaybackLatency, &playback);
  rig.sender.length = kRate / 10;
  const jack_nframes_t base = jack_frame_time(rig.sender.client) + kRate / 2;
  for (uint32_t i = 0; i < 24; ++i) {
    rig.sender.notes.push_back({.planned = base + i * (kRate / 4) + (i * 37) % period,
                                .key = static_cast<uint8_t>(48 + (i * 5) % 24)});
  }
  rig.Finish();
  std::vector<std::size_t> onsets;
  const jack_nframes_t first = rig.recorder.first.load();
  for (const SentNote& note : rig.sender.notes) {
    const std::size_t sent = note.sent - first;
    if (!note.on_sent || !rig.recorder.Heard(sent) || !rig.recorder.Heard(sent + kRate / 10)) continue;
    std::size_t onset = sent;
    while (onset < sent + kRate / 10 && std::fabs(rig.recorder.samples[onset]) < 1e-6f) ++onset;
    onsets.push_back(onset - sent);
  }
  if (onsets.empty()) {
    std::printf("period %u: no note was heard\n%s", period, ReadAll(rig.output).c_str());
    return;
  }
  // A hardware source's message reaches the graph in the cycle after it
  // came, stamped where it came: it waits a period.
  const double median = static_cast<double>(Median(onsets));
  const double round_trip = period + median + playback.max;
  std::printf("period %3u (%.2f ms): note to sound in the graph %zu to %zu frames (median %.0f) over %zu notes;"
              " MIDI in waits a period, the server's playback latency is %u frames:"
              " round trip %.0f frames, %.2f ms\n",
              period, Ms(period), *std::min_element(onsets.begin(), onsets.end()),
              *std::max_element(onsets.begin(), onsets.end()), median, onsets.size(), playback.max,
              round_trip, Ms(round_trip));
}

// A note held, then the project saved: the held note stops where the new
// engine, which has no note, takes over; that period is the first with the
// new engine's sound. Five saves, each with a fresh note.
void SaveToSound() {
  constexpr uint32_t kPeriod = 256;
  const std::string project = Scratch("play_demo_synth.json");
  std::filesystem::copy_file(OV_DEMO_SYNTH, project, std::filesystem::copy_options::overwrite_existing);
  const std::string text = ReadAll(project);
  Rig rig(kPeriod);
  constexpr int kSaves = 5;
  constexpr double kSeconds = kSaves + 2;
  if (!rig.Start({project, "--audio", "jack", "--watch", "--quit-after", std::to_string(kSeconds)}, kSeconds)) {
    return;
  }
  rig.sender.length = 60 * kRate;  // longer than the run: reloads end the notes
  const jack_nframes_t base = jack_frame_time(rig.sender.client) + kRate / 2;
  for (int i = 0; i < kSaves; ++i) {
    rig.sender.notes.push_back({.planned = base + static_cast<jack_nframes_t>(i) * kRate, .key = 60});
  }
  std::vector<std::size_t> saved_at;
  for (int i = 0; i < kSaves; ++i) {
    rig.WaitFor(base + static_cast<jack_nframes_t>(i) * kRate + kRate / 2);
    saved_at.push_back(rig.recorder.Now());
    std::ofstream(project + ".new") << text;
    std::rename((project + ".new").c_str(), project.c_str());
  }
  rig.Finish();
  const std::vector<float>& samples = rig.recorder.samples;
  std::vector<double> delays;
  for (const std::size_t at : saved_at) {
    // The first whole period of silence after the save: the new engine's
    // second; it came in over the one before.
    for (std::size_t start = (at / kPeriod + 1) * kPeriod; start + kPeriod <= std::min(samples.size(), at + kRate / 2);
         start += kPeriod) {
      if (rig.recorder.Heard(start) &&
          std::all_of(samples.begin() + static_cast<std::ptrdiff_t>(start),
                      samples.begin() + static_cast<std::ptrdiff_t>(start + kPeriod), [](float s) { return s == 0.0f; })) {
        delays.push_back(Ms(static_cast<double>(start - kPeriod - at)));
        break;
      }
    }
  }
  const std::string printed = ReadAll(rig.output);
  std::vector<double> builds;
  for (std::size_t at = 0; (at = printed.find(" in ", printed.find("reloaded ", at))) != std::string::npos;) {
    builds.push_back(std::atof(printed.c_str() + at + 4));
    at = printed.find('\n', at);
    if (at == std::string::npos) break;
  }
  if (delays.empty()) {
    std::printf("reload: no take-over was heard\n%s", printed.c_str());
    return;
  }
  std::printf("reload of the demo synth at %u frames: save to the new engine's sound %.1f to %.1f ms"
              " (median %.1f) over %zu saves; building it took %.0f ms (median of %zu)\n",
              kPeriod, *std::min_element(delays.begin(), delays.end()),
              *std::max_element(delays.begin(), delays.end()), Median(delays), delays.size(),
              Median(builds), builds.size());
}

}  // namespace

int main() {
  std::filesystem::create_directories(std::string(OV_BUILD_DIR) + "/bench");
  for (const uint32_t period : {64u, 128u, 256u}) NoteToSound(period);
  SaveToSound();
  return 0;
}
