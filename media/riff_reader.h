// Reading RIFF chunk trees (WAVE files, and SoundFont banks) from bytes in
// memory. Every chunk is checked against the bounds of its parent, so no size
// in a hostile file can reach outside the bytes given.
// Thread: any; one reader is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ov {

struct RiffChunk {
  char id[4];
  std::span<const uint8_t> body;
  std::size_t offset;  // of the chunk header, counted from the start of the file

  bool Is(const char (&fourcc)[5]) const;
  // The identifier as text, with unprintable bytes shown as '?'.
  std::string Name() const;
};

class RiffChunkReader {
 public:
  // Walks the chunks that fill `parent`, which starts `parent_offset` bytes
  // into the file; `parent_name` is used in errors.
  RiffChunkReader(std::span<const uint8_t> parent, std::size_t parent_offset,
                  std::string parent_name);

  // The next chunk. False at the end of the parent, or when the next chunk
  // is malformed: then Error() says what is wrong and where.
  bool Next(RiffChunk* chunk);
  // From now on a chunk that declares more bytes than its parent holds is
  // cut to what is there and ends the walk, instead of being an error (a
  // recording cut short by a crash keeps the samples it has).
  void ClampOversizedChunks() { clamp_ = true; }
  const std::string& Error() const { return error_; }

 private:
  std::span<const uint8_t> parent_;
  std::size_t parent_offset_;
  std::string parent_name_;
  std::size_t position_ = 0;
  std::string error_;
  bool clamp_ = false;
};

// Checks that the file is a RIFF form of the given type (such as "WAVE") and
// returns a reader over the form's chunks; on failure `error` says why.
std::optional<RiffChunkReader> OpenRiffForm(std::span<const uint8_t> file,
                                            const char (&form_type)[5], std::string* error);

}  // namespace ov
