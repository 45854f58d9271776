// Starting other programs: never through a shell, never changing this
// process's working folder, never waiting for them. A program starts with
// its own working folder, its standard streams on /dev/null (or its output
// on a pipe back to us, when asked) and no other descriptor of ours (all
// are close-on-exec or closed in the child); ended programs are reaped
// without blocking, from the owner's idle.
//
// Thread: the owner's (the editor thread); one starter per owner.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

// A command line split into arguments as Windows programs split theirs:
// blanks (space, tab) separate arguments outside double quotes; a quote
// opens or closes a quoted part; inside one, two quotes give one literal
// quote; 2n backslashes before a quote give n backslashes (the quote then
// acts), 2n + 1 give n and a literal quote; other backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Whether the user lets projects start the programs they name: a project
// from someone else must not, unless ORVANE_ALLOW_COMMANDS=1 is set.
// Reads the environment: never on the audio thread.
inline constexpr const char* kAllowProgramsVariable = "ORVANE_ALLOW_COMMANDS";
bool ProjectsMayStartPrograms();

// A program whose standard output comes back to us.
struct ChildWithOutput {
  pid_t pid = 0;
  int pipe = -1;  // read end, non-blocking; -1 once closed
  std::string output;
  bool ended = false;
  int exit_code = -1;  // when ended: -1 when it was killed
};

class ProcessStarter {
 public:
  ProcessStarter() = default;
  // Reaps what has ended; programs still running are left to run.
  ~ProcessStarter();
  ProcessStarter(const ProcessStarter&) = delete;
  ProcessStarter& operator=(const ProcessStarter&) = delete;

  // Starts arguments[0], looked up on PATH, with the rest as its arguments,
  // in `folder` (empty: this process's). False, with the reason in `error`,
  // when it did not start (no arguments, no such program or folder).
  bool Start(const std::vector<std::string>& arguments, const std::string& folder,
             std::string* error = nullptr);
  // Starts a program as Start does with its standard output on a pipe:
  // ReadOutput collects what it writes and tells when it ended, never
  // blocking. The program is this starter's to reap only once its output
  // has been read to the end or Abandon was called.
  std::optional<ChildWithOutput> StartReading(const std::vector<std::string>& arguments,
                                              const std::string& folder,
                                              std::string* error = nullptr);
  // Takes what `child` wrote since the last call (at most `limit` bytes
  // are kept in `output`, the rest is read and dropped). Answers true once
  // it closed its output and ended; its exit code is then in `child`.
  bool ReadOutput(ChildWithOutput& child, std::size_t limit);
  // Stops waiting for `child` (asking it to end first with `stop`): its
  // pipe closes and it is reaped as the others are.
  void Abandon(ChildWithOutput& child, bool stop);
  // Starts a program as Start does and waits for it to end: its exit code,
  // or -1 with the reason in `error` when it did not start or was killed.
  // For command-line tools only: this blocks.
  int RunToEnd(const std::vector<std::string>& arguments, const std::string& folder,
               std::string* error = nullptr);
  // Collects every started program that has ended; returns how many still
  // run. Never blocks.
  int Reap();
  int Running() const { return static_cast<int>(running_.size()); }

 private:
  // Spawns with standard output on `output_fd` (when not -1).
  std::optional<pid_t> Spawn(const std::vector<std::string>& arguments, const std::string& folder,
                             int output_fd, std::string* error);
  std::vector<pid_t> running_;
};

}  // namespace ov
