// Tells when files were saved, through inotify on their folders: editors
// often save by writing a new file and renaming it over the old one, which
// a watch on the file itself would lose.
// Thread: the owner's.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace ov {

class FileWatch {
 public:
  // Null, with `error`, when a folder cannot be watched.
  static std::unique_ptr<FileWatch> Open(const std::vector<std::string>& paths,
                                         std::string* error);
  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  // Whether one of the files was written and closed, or replaced, since the
  // last call. Never waits.
  bool Changed();

 private:
  FileWatch() = default;
  struct Watched {
    int watch;
    std::string name;  // the file's name in its folder
  };
  int fd_ = -1;
  std::vector<Watched> watched_;
};

}  // namespace ov
