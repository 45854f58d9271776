#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <cstdio>

namespace ov {
namespace {

// A Portable Executable starts with "MZ"; dlopen would only say "invalid ELF
// header", which tells the user nothing.
bool LooksLikeWindowsLibrary(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char magic[2] = {};
  const bool read = std::fread(magic, 1, 2, file) == 2;
  std::fclose(file);
  return read && magic[0] == 'M' && magic[1] == 'Z';
}

}  // namespace

DynamicLibrary DynamicLibrary::Open(const std::string& path, std::string* error) {
  DynamicLibrary library;
  if (LooksLikeWindowsLibrary(path)) {
    if (error) *error = path + ": a Windows library is not supported on this system";
    return library;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (error) {
      const char* reason = dlerror();
      *error = reason != nullptr ? reason : path + ": cannot be loaded";
    }
    return library;
  }
  library.handle_ = std::shared_ptr<void>(handle, [](void* h) { dlclose(h); });
  library.path_ = path;
  return library;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  return dlsym(handle_.get(), name);
}

std::string OwnLibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnLibraryPath), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  return info.dli_fname;
}

}  // namespace ov
