// One file's bytes served from memory to the media modules, whatever name
// they ask for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/data_files.h"

namespace ov {

class MemoryFile final : public DataFiles {
 public:
  explicit MemoryFile(std::vector<uint8_t> bytes, std::string folder = "/nonexistent/")
      : bytes_(std::move(bytes)), folder_(std::move(folder)) {}
  const std::string& LibraryFolder() const override { return folder_; }
  std::string ResolveFilePath(std::string_view name, std::string_view) const override {
    return std::string(name);
  }
  std::optional<DataFile> OpenDataFile(std::string_view, std::string_view) const override {
    return DataFile{{}, bytes_};
  }

 private:
  std::vector<uint8_t> bytes_;
  std::string folder_;
};

}  // namespace ov
