#include "platform/file_names.h"

#include <algorithm>

#include "platform/text.h"

namespace ov {

std::string_view LastComponent(std::string_view name) {
  const std::size_t separator = name.find_last_of("/\\");
  return separator == std::string_view::npos ? name : name.substr(separator + 1);
}

std::string FileExtension(std::string_view name) {
  const std::string_view last = LastComponent(name);
  const std::size_t dot = last.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(last.substr(dot + 1));
  std::transform(extension.begin(), extension.end(), extension.begin(), ToLowerAscii);
  return extension;
}

std::string_view WithoutExtension(std::string_view name) {
  const std::string_view last = LastComponent(name);
  const std::size_t dot = last.find_last_of('.');
  if (dot == std::string_view::npos) return name;
  return name.substr(0, name.size() - last.size() + dot);
}

bool IsAbsoluteName(std::string_view name) {
  return (!name.empty() && (name.front() == '/' || name.front() == '\\')) ||
         name.find(':') != std::string_view::npos;
}

bool IsWritableComponent(std::string_view component) {
  return !component.empty() && component != "." && component != ".." &&
         component.find_first_of("/\\") == std::string_view::npos;
}

}  // namespace ov
