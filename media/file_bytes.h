// Whole-file reads and writes for the media formats, which parse from memory.
// Thread: any.
#pragma once

#include <cstddef>
#include <cstdint>
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

}  // namespace ov
