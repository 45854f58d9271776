#include "platform/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace ov {

ProgramOutcome RunProgram(const std::vector<std::string>& arguments) {
  ProgramOutcome outcome;
  if (arguments.empty()) {
    outcome.failure = "no program given";
    return outcome;
  }
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    outcome.failure = arguments[0] + ": " + std::strerror(spawned);
    return outcome;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      outcome.failure = arguments[0] + ": " + std::strerror(errno);
      return outcome;
    }
  }
  outcome.started = true;
  if (WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
  else outcome.failure = arguments[0] + " was stopped by signal " + std::to_string(WTERMSIG(status));
  return outcome;
}

}  // namespace ov
