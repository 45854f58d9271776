// The file types that projects and modules name by extension. Every type's
// default folder is the library folder (the folder named after the plug-in
// library), which the application works out from the library's path.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace ov {

struct FileType {
  std::string_view extension;  // "*" for the catch-all entries
  std::string_view type_name;
};

// The fixed table of 12 entries, in their stored order.
std::span<const FileType> FileTypes();

// Index of the first entry whose extension matches `extension` without regard
// to case; 0 (the "default" entry) when none does.
std::size_t FileTypeIndex(std::string_view extension);

}  // namespace ov
