// A temporary folder, removed with what it holds (a baked library and
// whatever baking put beside it) when it goes out of scope.
// Thread: the one that owns it.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace ov {

class TemporaryFolder {
 public:
  // `prefix` starts the folder's name, after the system's temporary folder.
  explicit TemporaryFolder(const std::string& prefix) {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / (prefix + std::to_string(random()));
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  // Made on first use.
  std::string operator/(const std::string& name) const {
    std::error_code ignored;
    std::filesystem::create_directories(path_, ignored);
    return (path_ / name).string();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace ov
