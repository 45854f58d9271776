#include "platform/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ov {
namespace {

void WriteAll(int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    written += static_cast<std::size_t>(n);
  }
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

ChildOutcome RunInChild(const std::function<std::string()>& work, unsigned timeout_seconds) {
  ChildOutcome outcome;
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) {
    outcome.failure = std::string("cannot create a pipe: ") + std::strerror(errno);
    return outcome;
  }
  const pid_t child = fork();
  if (child < 0) {
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    outcome.failure = std::string("cannot start a child process: ") + std::strerror(errno);
    return outcome;
  }
  if (child == 0) {
    close(pipe_ends[0]);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    alarm(timeout_seconds);
    // The answer starts with a byte that says it is complete, so that a child
    // that dies while writing is not taken for one that finished.
    std::string answer(1, '+');
    answer += work();
    WriteAll(pipe_ends[1], answer);
    close(pipe_ends[1]);
    // No destructors or exit handlers: they belong to the parent's state.
    _exit(0);
  }
  close(pipe_ends[1]);
  const std::string answer = ReadAll(pipe_ends[0]);
  close(pipe_ends[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && answer.starts_with("+")) {
    outcome.finished = true;
    outcome.report = answer.substr(1);
  } else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
    outcome.failure = "no answer after " + std::to_string(timeout_seconds) + " s";
  } else if (WIFSIGNALED(status)) {
    outcome.failure = std::string("crashed (") + strsignal(WTERMSIG(status)) + ")";
  } else {
    outcome.failure = "exited with status " + std::to_string(WEXITSTATUS(status));
  }
  return outcome;
}

}  // namespace ov
