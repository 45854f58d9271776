// Loading shared libraries through the system's dynamic loader. Handles are
// reference counted: copies share one dlopen handle, closed with the last copy.
// Thread: editor (loading and unloading are never done on the audio thread).
#pragma once

#include <memory>
#include <string>

namespace ov {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;

  // Opens the library at `path` with every symbol bound now and kept local.
  // A Windows library is refused with a clear message instead of being
  // handed to the loader. On failure the result is empty and `error` says why.
  static DynamicLibrary Open(const std::string& path, std::string* error);

  bool IsOpen() const { return handle_ != nullptr; }
  // The address of an exported symbol, or null when absent.
  void* Symbol(const char* name) const;
  const std::string& Path() const { return path_; }
  // How many copies share the handle (0 when not open).
  long UseCount() const { return handle_.use_count(); }

 private:
  std::shared_ptr<void> handle_;
  std::string path_;
};

// The full path of the shared library (or program) that contains this code,
// found through the loader's own records; empty when it cannot be found.
std::string OwnLibraryPath();

}  // namespace ov
