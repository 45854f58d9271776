// Starting other programs: never through a shell, never changing this
// process's working folder, never waiting for them. A program starts with
// its own working folder, its standard streams on /dev/null and no other
// descriptor of ours (all are close-on-exec or closed in the child); ended
// programs are reaped without blocking, from the owner's idle.
//
// Thread: the owner's (the editor thread); one starter per owner.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
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
  std::vector<pid_t> running_;
};

}  // namespace ov
