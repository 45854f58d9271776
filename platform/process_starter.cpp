#include "platform/process_starter.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace ov {

bool ProjectsMayStartPrograms() {
  const char* allow = std::getenv(kAllowProgramsVariable);
  return allow != nullptr && std::strcmp(allow, "1") == 0;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size();) {
    const char c = line[i];
    if (!quoted && (c == ' ' || c == '\t')) {
      if (in_argument) arguments.push_back(std::move(current));
      current.clear();
      in_argument = false;
      ++i;
      continue;
    }
    in_argument = true;
    if (c == '\\') {
      std::size_t run = 0;
      while (i + run < line.size() && line[i + run] == '\\') ++run;
      i += run;
      if (i < line.size() && line[i] == '"') {
        current.append(run / 2, '\\');
        if (run % 2 == 1) {
          current += '"';
          ++i;
        }
      } else {
        current.append(run, '\\');
      }
    } else if (c == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        current += '"';
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
    } else {
      current += c;
      ++i;
    }
  }
  if (in_argument) arguments.push_back(std::move(current));
  return arguments;
}

ProcessStarter::~ProcessStarter() { Reap(); }

bool ProcessStarter::Start(const std::vector<std::string>& arguments, const std::string& folder,
                           std::string* error) {
  const auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  if (arguments.empty() || arguments.front().empty()) return fail("no program named");
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int stream = 0; stream < 3; ++stream) {
    posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY,
                                     0);
  }
  // Descriptors this process opened without close-on-exec stay ours.
  const long open_max = sysconf(_SC_OPEN_MAX);
  const int highest = static_cast<int>(std::min(open_max > 0 ? open_max : 1024, 65536L));
  for (int fd = 3; fd < highest; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0) posix_spawn_file_actions_addclose(&actions, fd);
  }
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The child starts with default signal handling, whatever the host set.
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attributes, &all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t child = 0;
  const int result = posix_spawnp(&child, argv.front(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) return fail(arguments.front() + ": " + std::strerror(result));
  running_.push_back(child);
  return true;
}

int ProcessStarter::RunToEnd(const std::vector<std::string>& arguments, const std::string& folder,
                             std::string* error) {
  if (!Start(arguments, folder, error)) return -1;
  const pid_t child = running_.back();
  running_.pop_back();
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      if (error != nullptr) *error = arguments.front() + ": " + std::strerror(errno);
      return -1;
    }
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (error != nullptr) *error = arguments.front() + " was stopped by signal " + std::to_string(WTERMSIG(status));
  return -1;
}

int ProcessStarter::Reap() {
  std::erase_if(running_, [](pid_t child) {
    int status = 0;
    pid_t done = waitpid(child, &status, WNOHANG);
    while (done < 0 && errno == EINTR) done = waitpid(child, &status, WNOHANG);
    // Ended, or no longer ours to wait for.
    return done == child || done < 0;
  });
  return Running();
}

}  // namespace ov
