// Base64 (RFC 4648, with padding) for raw blocks in a project's text form.
// Threads: any.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

std::string EncodeBase64(std::span<const uint8_t> bytes);
// Nullopt when `text` is not base64; white space is not accepted.
std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text);

}  // namespace ov
