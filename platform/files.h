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

// Puts a whole new file at `path`: the bytes go to a fresh temporary file
// in the same folder (created exclusively, never through a symbolic link),
// which then replaces whatever `path` named, a symbolic link included. A
// reader sees the old file or the whole new one, never a part; a failed
// write leaves no temporary file behind.
bool ReplaceFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                           std::string* error);

// The file's last-write time in nanoseconds since the epoch; nothing when the
// path does not name an existing file.
std::optional<int64_t> FileModificationTime(const std::string& path);

bool IsRegularFile(const std::string& path);
bool IsSymbolicLink(const std::string& path);

// Whether this process may create files in `folder`, or may create the
// folder itself in its nearest existing parent.
bool CanWriteInto(const std::string& folder);

// Where per-user data lives: $XDG_DATA_HOME when it is an absolute path,
// else $HOME/.local/share; empty when neither is known. No trailing "/".
std::string UserDataFolder();

// Creates the folder (and missing parents). True when it exists afterwards.
bool CreateFolder(const std::string& path);

// The folder of the running program's file; empty when it cannot be told.
std::string ProgramFolder();

}  // namespace ov
