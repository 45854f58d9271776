// Resources carried inside a shared library. A Linux library has no resource
// section, so a resource is appended after the library's own bytes (the
// dynamic loader ignores trailing bytes) and found through a fixed trailer at
// the very end of the file:
//
//   [library bytes][resource bytes][trailer]
//   trailer = "OvRsrc01" | type (4 bytes, NUL-padded) | identifier (u32 LE)
//             | offset (u64 LE) | length (u64 LE)      -- 32 bytes
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

constexpr std::size_t kResourceTrailerSize = 32;

// The bytes of the resource of `type` and `identifier` appended to the file at
// `library_path`; nothing when the file has no trailer, the trailer is damaged
// or names another resource.
std::optional<std::vector<uint8_t>> ReadAppendedResource(const std::string& library_path,
                                                         std::string_view type,
                                                         uint32_t identifier);

// The library bytes with the resource appended. Any resource already
// appended to `library` is replaced, so a baked library can be baked again.
std::vector<uint8_t> AppendResource(std::span<const uint8_t> library, std::string_view type,
                                    uint32_t identifier, std::span<const uint8_t> resource);

}  // namespace ov
