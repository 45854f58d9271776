#include "platform/process_starter.h"

#include <fcntl.h>
#include <signal.h>
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
  const std::optional<pid_t> child = Spawn(arguments, folder, -1, error);
  if (!child) return false;
  running_.push_back(*child);
  return true;
}

std::optional<pid_t> ProcessStarter::Spawn(const std::vector<std::string>& arguments,
                                           const std::string& folder, int output_fd,
                                           std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<pid_t> {
    if (error != nullptr) *error = why;
    return std::nullopt;
  };
  if (arguments.empty() || arguments.front().empty()) return fail("no program named");
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int stream = 0; stream < 3; ++stream) {
    if (stream == 1 && output_fd >= 0) {
      posix_spawn_file_actions_adddup2(&actions, output_fd, 1);
    } else {
      posix_spawn_file_actions_addopen(&actions, stream, "/dev/null",
                                       stream == 0 ? O_RDONLY : O_WRONLY, 0);
    }
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
  return child;
}

std::optional<ChildWithOutput> ProcessStarter::StartReading(
    const std::vector<std::string>& arguments, const std::string& folder, std::string* error) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    if (error != nullptr) *error = std::string("no pipe: ") + std::strerror(errno);
    return std::nullopt;
  }
  // Only our end waits for nothing; the program writes as to any pipe.
  fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
  const std::optional<pid_t> pid = Spawn(arguments, folder, ends[1], error);
  close(ends[1]);
  if (!pid) {
    close(ends[0]);
    return std::nullopt;
  }
  ChildWithOutput child;
  child.pid = *pid;
  child.pipe = ends[0];
  return child;
}

bool ProcessStarter::ReadOutput(ChildWithOutput& child, std::size_t limit) {
  if (child.ended) return true;
  char buffer[4096];
  while (child.pipe >= 0) {
    const ssize_t got = read(child.pipe, buffer, sizeof buffer);
    if (got > 0) {
      const std::size_t room = limit > child.output.size() ? limit - child.output.size() : 0;
      child.output.append(buffer, std::min(room, static_cast<std::size_t>(got)));
    } else if (got == 0) {
      close(child.pipe);
      child.pipe = -1;
    } else if (errno == EINTR) {
      continue;
    } else {
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        close(child.pipe);
        child.pipe = -1;
      }
      break;
    }
  }
  if (child.pipe >= 0) return false;
  // Its output closed: it has ended or is about to; wait for that in idle.
  int status = 0;
  pid_t done = waitpid(child.pid, &status, WNOHANG);
  while (done < 0 && errno == EINTR) done = waitpid(child.pid, &status, WNOHANG);
  if (done == 0) return false;
  child.ended = true;
  child.exit_code = done == child.pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

void ProcessStarter::Abandon(ChildWithOutput& child, bool stop) {
  if (stop && !child.ended && child.pid > 0) kill(child.pid, SIGTERM);
  if (child.pipe >= 0) close(child.pipe);
  child.pipe = -1;
  if (!child.ended && child.pid > 0) running_.push_back(child.pid);
  child.ended = true;
  child.exit_code = -1;
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
