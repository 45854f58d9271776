// File-system queries and changes beyond whole-file reads and writes.
// Thread: editor (never the audio thread).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ov {

// The file's last-write time in nanoseconds since the epoch; nothing when the
// path does not name an existing file.
std::optional<int64_t> FileModificationTime(const std::string& path);

bool IsRegularFile(const std::string& path);

// Creates the folder (and missing parents). True when it exists afterwards.
bool CreateFolder(const std::string& path);

}  // namespace ov
