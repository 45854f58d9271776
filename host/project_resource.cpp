#include "host/project_resource.h"

#include "platform/file_names.h"
#include "platform/library_resource.h"
#include "platform/message_sink.h"
#include "platform/files.h"

namespace ov {
namespace {

// Shared with `orvane bake`, which writes what this reads.
constexpr uint8_t kScrambleKey = 0xA7;

// A project stream larger than this is not a project.
constexpr std::size_t kMaxDataFileBytes = std::size_t{1} << 30;

// Exclusive-or of the key at the visited positions. The step after each one
// depends on the stored byte: the one written when scrambling, the one read
// when unscrambling. The remaining length is signed, as a step of three may
// pass the end.
template <bool kScrambling>
void ApplyKey(std::span<uint8_t> buffer) {
  std::size_t position = 0;
  for (int64_t remaining = static_cast<int64_t>(buffer.size()); remaining > 0;) {
    const uint8_t before = buffer[position];
    buffer[position] = before ^ kScrambleKey;
    const uint8_t stored = kScrambling ? buffer[position] : before;
    const int step = (stored & 1) ? 3 : 1;
    position += static_cast<std::size_t>(step);
    remaining -= step;
  }
}

}  // namespace

void Unscramble(std::span<uint8_t> buffer) { ApplyKey<false>(buffer); }

void Scramble(std::span<uint8_t> buffer) { ApplyKey<true>(buffer); }

std::string DataFilePath(const std::string& library_path) {
  return std::string(WithoutExtension(library_path)) + ".dat";
}

std::string LibraryStem(const std::string& library_path) {
  return std::string(WithoutExtension(LastComponent(library_path)));
}

std::optional<std::vector<uint8_t>> LoadProjectBytes(const std::string& library_path,
                                                     MessageSink& messages) {
  if (auto resource = ReadAppendedResource(library_path, kProjectResourceType, kProjectResourceId)) {
    Unscramble(*resource);
    return resource;
  }
  const std::string data_path = DataFilePath(library_path);
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(data_path, kMaxDataFileBytes, &bytes, &error)) {
    messages.Post(LibraryStem(library_path) + ": Can't find plugin data file. (" + data_path + ")",
                  MessageStyle::kWarning);
    return std::nullopt;
  }
  return bytes;
}

}  // namespace ov
