#include "platform/new_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace ov {

NewFile::~NewFile() { Close(); }

NewFile::NewFile(NewFile&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

NewFile& NewFile::operator=(NewFile&& other) noexcept {
  if (this != &other) {
    Close();
    descriptor_ = std::exchange(other.descriptor_, -1);
  }
  return *this;
}

NewFile::Outcome NewFile::Create(const std::string& path) {
  Close();
  descriptor_ = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (descriptor_ >= 0) return Outcome::kCreated;
  return errno == EEXIST ? Outcome::kExists : Outcome::kFailed;
}

bool NewFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
  if (descriptor_ < 0) return false;
  while (!bytes.empty()) {
    const ssize_t written =
        pwrite(descriptor_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(written));
    offset += static_cast<uint64_t>(written);
  }
  return true;
}

bool NewFile::Close() {
  if (descriptor_ < 0) return true;
  const int result = close(std::exchange(descriptor_, -1));
  return result == 0;
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

}  // namespace ov
