// File names as projects store them: written on Windows or Linux, so both
// "\" and "/" separate components, and a name holding ":" is absolute.
#pragma once

#include <string>
#include <string_view>

namespace ov {

// The text after the last separator.
std::string_view LastComponent(std::string_view name);
// The lower-case text after the last "." of the last component; empty when
// there is none.
std::string FileExtension(std::string_view name);
// The name without its extension (and without the ".").
std::string_view WithoutExtension(std::string_view name);
// Starts with a separator or holds a drive or scheme ":".
bool IsAbsoluteName(std::string_view name);
// A last component that may be created inside a folder: not empty, not "."
// or "..".
bool IsWritableComponent(std::string_view component);

}  // namespace ov
