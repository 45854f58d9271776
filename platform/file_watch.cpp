#include "platform/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace ov {

std::unique_ptr<FileWatch> FileWatch::Open(const std::vector<std::string>& paths,
                                           std::string* error) {
  std::unique_ptr<FileWatch> watch(new FileWatch());
  watch->fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch->fd_ < 0) {
    *error = std::string("inotify: ") + std::strerror(errno);
    return nullptr;
  }
  for (const std::string& path : paths) {
    const std::filesystem::path file = std::filesystem::absolute(path);
    const std::string folder = file.parent_path().string();
    const int id = inotify_add_watch(watch->fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
    if (id < 0) {
      *error = "cannot watch " + folder + ": " + std::strerror(errno);
      return nullptr;
    }
    watch->watched_.push_back({id, file.filename().string()});
  }
  return watch;
}

FileWatch::~FileWatch() {
  if (fd_ >= 0) close(fd_);
}

bool FileWatch::Changed() {
  bool changed = false;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd_, buffer, sizeof buffer);
    if (got <= 0) break;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      const std::size_t size = sizeof(inotify_event) + event->len;
      if (at + static_cast<ssize_t>(size) > got) break;
      // The kernel pads the name with zeros.
      const std::string name = event->len > 0 ? std::string(event->name) : std::string();
      changed |= std::any_of(watched_.begin(), watched_.end(), [&](const Watched& watched) {
        return watched.watch == event->wd && watched.name == name;
      });
      at += static_cast<ssize_t>(size);
    }
  }
  return changed;
}

}  // namespace ov
