// Where a plug-in library keeps its project: a resource of type "OV1",
// identifier 165, appended to the library and stored scrambled; or, when the
// library has none, a ".dat" file beside it holding the plain stream.
// Thread: editor.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ov {

class MessageSink;

constexpr const char* kProjectResourceType = "OV1";
constexpr uint32_t kProjectResourceId = 165;

// In place. Which bytes are changed depends on the stored bytes themselves:
// a visited byte whose stored value has bit 0 set makes the next two bytes be
// stepped over.
void Unscramble(std::span<uint8_t> buffer);
// The inverse, used when a project is baked into a library.
void Scramble(std::span<uint8_t> buffer);

// The library path with its extension replaced by ".dat".
std::string DataFilePath(const std::string& library_path);
// The library's file name without folder and extension.
std::string LibraryStem(const std::string& library_path);

// The plain project stream of the library at `library_path`: its resource,
// unscrambled, or else its data file. Nothing, after a message to `messages`,
// when neither exists.
std::optional<std::vector<uint8_t>> LoadProjectBytes(const std::string& library_path,
                                                     MessageSink& messages);

}  // namespace ov
