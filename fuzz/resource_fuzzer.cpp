// Any file given to the plug-in's project lookup (the resource appended to
// its library, unscrambled, or else a data file beside it) gives the bytes
// or a message; the trailer never leads a read outside the file. Appending a
// resource to any bytes gives a file whose resource reads back exactly, and
// scrambling undoes unscrambling.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "fuzz/fuzz_support.h"
#include "host/project_resource.h"
#include "platform/files.h"
#include "platform/library_resource.h"

namespace {

const std::string& LibraryPath() {
  static const std::string* path = [] {
    auto* made = new std::string(
        (std::filesystem::temp_directory_path() /
         ("orvane-resource-fuzz-" + std::to_string(std::random_device{}()) + ".so"))
            .string());
    std::atexit([] { std::remove(LibraryPath().c_str()); });
    return made;
  }();
  return *path;
}

void WriteOrTrap(std::span<const uint8_t> bytes) {
  std::string error;
  if (!ov::WriteFileBytes(LibraryPath(), bytes, &error)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ov::fuzz::QuietMessages().Clear();
  const std::span<const uint8_t> input(data, size);
  WriteOrTrap(input);
  if (std::optional<std::vector<uint8_t>> project =
          ov::LoadProjectBytes(LibraryPath(), ov::fuzz::QuietMessages())) {
    std::vector<uint8_t> copy = *project;
    ov::Scramble(copy);
    ov::Unscramble(copy);
    if (copy != *project) __builtin_trap();
  }
  // The input's second half becomes the resource of its first.
  const std::span<const uint8_t> library = input.first(size / 2);
  const std::span<const uint8_t> resource = input.subspan(size / 2);
  WriteOrTrap(ov::AppendResource(library, ov::kProjectResourceType, ov::kProjectResourceId,
                                 resource));
  const auto read =
      ov::ReadAppendedResource(LibraryPath(), ov::kProjectResourceType, ov::kProjectResourceId);
  if (!read || !std::equal(read->begin(), read->end(), resource.begin(), resource.end())) {
    __builtin_trap();
  }
  return 0;
}
