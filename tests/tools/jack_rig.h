// What the live tests and the latency figures drive `orvane play` with: a
// JACK server of their own on the dummy driver (no sound card), a JACK
// client that sends notes at planned frames and one that records what
// reaches it, all on the server's frame clock.
// Threads: the JACK clients' Process on JACK's process threads, the rest on
// the caller's.
#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace ov::testing {

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A program started with its standard output and error in a file; stopped
// by its id if the caller ends before it does (a JACK server stopped so
// leaves nothing of itself behind; one killed would).
class Child {
 public:
  Child(const std::vector<std::string>& arguments, const std::string& output) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (pid_ == 0) return;
    kill(pid_, SIGTERM);
    if (Wait(5) == -1 && pid_ != 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  bool Started() const { return pid_ != 0; }
  // The exit status, or -1 when it did not end by itself within `seconds`.
  int Wait(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (pid_ != 0 && std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t pid_ = 0;
};

// A JACK server named `name`, made the default of this process while it
// lives. Keep the name the same from run to run: a server that ends leaves
// its entry in JACK's registry of eight, and only an entry of the same name
// is taken back. It runs synchronously: on a loaded machine an
// asynchronous one hands on the buffers of clients not yet finished,
// moving onsets by a period.
class JackServer {
 public:
  JackServer(const std::string& name, const std::string& log, uint32_t rate, uint32_t period)
      : quiet_((jack_set_error_function([](const char*) {}), true)),
        log_(log),
        server_((setenv("JACK_DEFAULT_SERVER", name.c_str(), 1),
                 std::vector<std::string>{"jackd", "-S", "-d", "dummy", "-r", std::to_string(rate),
                                          "-p", std::to_string(period)}),
                log) {}
  ~JackServer() { unsetenv("JACK_DEFAULT_SERVER"); }
  // A client of it once it answers, within five seconds; null otherwise.
  jack_client_t* Connect(const char* name) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server_.Started() && std::chrono::steady_clock::now() < deadline) {
      if (jack_client_t* client = jack_client_open(name, JackNoStartServer, nullptr)) return client;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
  }
  const std::string& Log() const { return log_; }

 private:
  bool quiet_;  // the polling below fails until the server is up
  std::string log_;
  Child server_;
};

// Waits, at most ten seconds, until `output` holds `line`.
inline bool WaitForLine(const std::string& output, const std::string& line) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ReadAll(output).find(line) == std::string::npos) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

struct SentNote {
  jack_nframes_t planned;  // on the server's frame clock
  uint8_t key;
  // Where it went: the planned frame, or a later one when a loaded machine
  // made the server skip the cycle it was planned in.
  jack_nframes_t sent = 0;
  bool on_sent = false;
  bool off_sent = false;
};

// Sends each note-on at its frame and its note-off `length` frames later.
// JACK's process thread, until deactivated.
struct Sender {
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  jack_nframes_t length = 0;
  std::vector<SentNote> notes;
  static int Process(jack_nframes_t frames, void* self) {
    auto* sender = static_cast<Sender*>(self);
    const jack_nframes_t start = jack_last_frame_time(sender->client);
    void* buffer = jack_port_get_buffer(sender->port, frames);
    jack_midi_clear_buffer(buffer);
    const auto due = [&](jack_nframes_t at) {  // its offset in this cycle, or none
      const auto ahead = static_cast<int32_t>(at - start);
      return ahead < static_cast<int32_t>(frames) ? std::optional(std::max(ahead, 0)) : std::nullopt;
    };
    for (SentNote& note : sender->notes) {
      const uint8_t note_on[3] = {0x90, note.key, 100};
      const uint8_t note_off[3] = {0x80, note.key, 0};
      if (const auto at = due(note.planned); at && !note.on_sent) {
        jack_midi_event_write(buffer, static_cast<jack_nframes_t>(*at), note_on, 3);
        note.sent = start + static_cast<jack_nframes_t>(*at);
        note.on_sent = true;
      } else if (const auto off = due(note.planned + sender->length); off && note.on_sent && !note.off_sent) {
        jack_midi_event_write(buffer, static_cast<jack_nframes_t>(*off), note_off, 3);
        note.off_sent = true;
      }
    }
    return 0;
  }
};

// Keeps what reaches its input, on the server's frame clock from `first`,
// and which periods it heard: a server stalled on a loaded machine skips
// cycles, and its frame clock jumps over them.
struct Recorder {
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  uint32_t period = 0;
  std::vector<float> samples;
  std::vector<uint8_t> heard;  // one per period of `samples`
  std::atomic<jack_nframes_t> first{0};
  std::atomic<jack_nframes_t> last{0};  // where the latest cycle began
  std::atomic<bool> started{false};
  void Reserve(std::size_t frames, uint32_t period_frames) {
    period = period_frames;
    samples.assign(frames, 0.0f);
    heard.assign(frames / period + 1, 0);
  }
  bool Heard(std::size_t frame) const { return frame < samples.size() && heard[frame / period] != 0; }
  // The last cycle's start on the recording's clock: whatever happens
  // after this is read sounds after it.
  std::size_t Now() const { return last.load() - first.load(); }
  static int Process(jack_nframes_t frames, void* self) {
    auto* recorder = static_cast<Recorder*>(self);
    const jack_nframes_t now = jack_last_frame_time(recorder->client);
    if (!recorder->started.load()) {
      recorder->first.store(now);
      recorder->started.store(true);
    }
    const auto* in = static_cast<const float*>(jack_port_get_buffer(recorder->port, frames));
    const std::size_t at = now - recorder->first.load();
    for (jack_nframes_t i = 0; i < frames && at + i < recorder->samples.size(); ++i) {
      recorder->samples[at + i] = in[i];
      recorder->heard[(at + i) / recorder->period] = 1;
    }
    recorder->last.store(now);
    return 0;
  }
};

}  // namespace ov::testing
