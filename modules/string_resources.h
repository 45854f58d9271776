// The library's string table: display names and categories of the module
// types that name a string resource.
#pragma once

#include <cstdint>
#include <string>

namespace ov {

// The text of string resource `id` (at most 99 bytes), or the empty text
// when the library holds no such string. Any thread.
std::string StringResource(uint32_t id);

}  // namespace ov
