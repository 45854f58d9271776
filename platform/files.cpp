#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

namespace {

// Writes everything, retrying short writes and interrupted calls.
bool WriteAll(int descriptor, std::span<const uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                           std::string* error) {
  const std::size_t separator = path.find_last_of('/');
  const std::string folder = separator == std::string::npos ? "" : path.substr(0, separator + 1);
  const std::string name = path.substr(folder.size());
  // Unique among the instances of this process and of any other: the
  // process id, a counter, and the exclusive create that refuses a name in
  // use, so another writer's temporary file is never touched.
  static std::atomic<uint32_t> counter{0};
  std::string temporary;
  int descriptor = -1;
  for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
    temporary = folder + "." + name + "." + std::to_string(::getpid()) + "." +
                std::to_string(counter.fetch_add(1)) + ".tmp";
    descriptor =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0 && errno != EEXIST) break;
  }
  if (descriptor < 0) {
    *error = SystemReason(path);
    return false;
  }
  const bool written = WriteAll(descriptor, bytes) && ::fsync(descriptor) == 0;
  const int saved_errno = errno;
  const bool closed = ::close(descriptor) == 0;
  if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
    if (written && closed) errno = saved_errno;
    *error = SystemReason(path);
    ::unlink(temporary.c_str());
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

bool IsSymbolicLink(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool CanWriteInto(const std::string& folder) {
  std::filesystem::path walk(folder);
  std::error_code error;
  // A trailing "/" leaves an empty last component.
  if (walk.filename().empty()) walk = walk.parent_path();
  while (!walk.empty() && !std::filesystem::exists(walk, error)) walk = walk.parent_path();
  if (walk.empty()) walk = ".";
  return std::filesystem::is_directory(walk, error) && ::access(walk.c_str(), W_OK | X_OK) == 0;
}

std::string UserDataFolder() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  if (data_home != nullptr && data_home[0] == '/') return data_home;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share";
  return {};
}

bool CreateFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

std::string ProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : program.parent_path().string();
}

}  // namespace ov
