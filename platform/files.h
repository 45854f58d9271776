// Files: whole-file reads and writes, and the few queries and changes
// the rest of the system needs.
// Thread: editor (never the audio thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ov {

// Reads the whole file. A file larger than `max_bytes` is refused rather than
// loaded. On failure `error` names the file and says why.
bool ReadFileBytes(const std::string& path, std::size_t max_bytes, std::vector<uint8_t>* bytes,
                   std::string* error);

// Replaces the file's contents with `bytes`.
bool WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes, std::string* error);

// The file's last-write time in nanoseconds since the epoch; nothing when the
// path does not name an existing file.
std::optional<int64_t> FileModificationTime(const std::string& path);

bool IsRegularFile(const std::string& path);

// Creates the folder (and missing parents). True when it exists afterwards.
bool CreateFolder(const std::string& path);

}  // namespace ov
