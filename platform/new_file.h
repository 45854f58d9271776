// Files created for writing that never replace anything: creation fails when
// the name exists (a symbolic link included), and writes go to the one file
// created. Used for recordings, which are written while a project plays.
// Thread: whichever thread holds the object; never the audio thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ov {

class NewFile {
 public:
  enum class Outcome { kCreated, kExists, kFailed };

  NewFile() = default;
  ~NewFile();
  NewFile(NewFile&& other) noexcept;
  NewFile& operator=(NewFile&& other) noexcept;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Creates `path` exclusively, not following a symbolic link there.
  Outcome Create(const std::string& path);
  bool IsOpen() const { return descriptor_ >= 0; }
  // Every byte, at `offset`; false on any failure.
  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
  // Closes; false when the system reports a failure (data not written).
  bool Close();

 private:
  int descriptor_ = -1;
};

// Removes the file at `path`; false when it could not.
bool RemoveFile(const std::string& path);

}  // namespace ov
