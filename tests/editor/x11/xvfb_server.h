// One Xvfb server per test: started with -displayfd so the test learns its
// display number without guessing, DISPLAY pointed at it, stopped (by the
// id of the process it started) when the test ends.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace ov::testing {

class XvfbServer {
 public:
  // `depth`: bits per pixel of the screen.
  explicit XvfbServer(int depth = 24) {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd_text = std::to_string(fds[1]);
    const std::string screen = "800x600x" + std::to_string(depth);
    const char* argv[] = {"Xvfb", "-displayfd", fd_text.c_str(), "-screen", "0", screen.c_str(),
                          "-nolisten", "tcp", "-terminate", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    // Nothing of the test's output streams stays open in the server, and a
    // server whose test died ends with the test's last connection.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv),
                                     environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string number;
    char c;
    while (spawned == 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (spawned != 0 || number.empty()) {
      pid_ = 0;
      return;
    }
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
  }
  ~XvfbServer() {
    if (display_.empty()) return;
    Stop(SIGTERM);
    unsetenv("DISPLAY");
  }
  bool Running() const { return pid_ != 0; }
  // Ends the server at once, as a crash would, under its clients.
  void Kill() { Stop(SIGKILL); }
  const std::string& Display() const { return display_; }

 private:
  void Stop(int signal) {
    if (pid_ == 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

  pid_t pid_ = 0;
  std::string display_;
};

// Runs a command line (xdotool, the orvane program); its exit status.
inline int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The lines of `log` that contain `part`.
inline std::vector<std::string> Lines(const std::vector<std::string>& log, const std::string& part) {
  std::vector<std::string> lines;
  std::copy_if(log.begin(), log.end(), std::back_inserter(lines),
               [&](const std::string& line) { return line.find(part) != std::string::npos; });
  return lines;
}

// Calls `step` until `done` holds, for at most two seconds.
inline bool PumpUntil(const std::function<void()>& step, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    step();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace ov::testing
