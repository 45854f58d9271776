#include "platform/files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace ov {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

std::string SystemReason(const std::string& path) { return path + ": " + std::strerror(errno); }

}  // namespace

bool ReadFileBytes(const std::string& path, std::size_t max_bytes, std::vector<uint8_t>* bytes,
                   std::string* error) {
  FilePointer file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    *error = SystemReason(path);
    return false;
  }
  struct stat status {};
  if (fstat(fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode)) {
    *error = path + ": not a regular file";
    return false;
  }
  const auto size = static_cast<unsigned long long>(status.st_size);
  if (size > max_bytes) {
    *error = path + ": file is too large (" + std::to_string(size) + " bytes, at most " +
             std::to_string(max_bytes) + " are read)";
    return false;
  }
  bytes->resize(static_cast<std::size_t>(size));
  if (std::fread(bytes->data(), 1, bytes->size(), file.get()) != bytes->size()) {
    *error = SystemReason(path);
    return false;
  }
  return true;
}

bool WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes, std::string* error) {
  FilePointer file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = SystemReason(path);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  // Closing flushes; a full disk may only show here.
  if (std::fclose(file.release()) != 0 || !written) {
    *error = path + ": write failed";
    return false;
  }
  return true;
}


std::optional<int64_t> FileModificationTime(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CreateFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

}  // namespace ov
