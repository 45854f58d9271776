#include "lv2/session_files.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ov {
namespace {

void AppendAtom(std::vector<uint8_t>& body, LV2_URID type, const std::string& text) {
  // The terminating zero is part of a string atom.
  const LV2_Atom header{static_cast<uint32_t>(text.size() + 1), type};
  const auto* bytes = reinterpret_cast<const uint8_t*>(&header);
  body.insert(body.end(), bytes, bytes + sizeof header);
  body.insert(body.end(), text.begin(), text.end());
  body.push_back(0);
  body.resize(lv2_atom_pad_size(static_cast<uint32_t>(body.size())), 0);
}

}  // namespace

Lv2PathFeatures FindPathFeatures(const LV2_Feature* const* features, Lv2PathFeatures base) {
  for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f) {
    const char* uri = (*f)->URI;
    if (uri == nullptr || (*f)->data == nullptr) continue;
    if (std::strcmp(uri, LV2_STATE__mapPath) == 0) {
      base.map = static_cast<LV2_State_Map_Path*>((*f)->data);
    } else if (std::strcmp(uri, LV2_STATE__makePath) == 0) {
      base.make = static_cast<LV2_State_Make_Path*>((*f)->data);
    } else if (std::strcmp(uri, LV2_STATE__freePath) == 0) {
      base.free = static_cast<LV2_State_Free_Path*>((*f)->data);
    }
  }
  return base;
}

std::string TakeHostPath(const Lv2PathFeatures& features, char* path) {
  if (path == nullptr) return {};
  std::string text(path);
  if (features.free != nullptr) {
    features.free->free_path(features.free->handle, path);
  } else {
    std::free(path);
  }
  return text;
}

std::vector<uint8_t> PackSessionFiles(const std::map<std::string, std::string>& abstract_paths,
                                      LV2_URID string_type, LV2_URID path_type) {
  std::vector<uint8_t> body;
  for (const auto& [name, path] : abstract_paths) {
    AppendAtom(body, string_type, name);
    AppendAtom(body, path_type, path);
  }
  return body;
}

std::optional<std::map<std::string, std::string>> UnpackSessionFiles(const void* body,
                                                                     std::size_t size,
                                                                     LV2_URID string_type,
                                                                     LV2_URID path_type) {
  const auto* bytes = static_cast<const uint8_t*>(body);
  std::map<std::string, std::string> entries;
  std::string name;
  bool have_name = false;
  std::size_t at = 0;
  while (at < size) {
    LV2_Atom header;
    if (size - at < sizeof header) return std::nullopt;
    std::memcpy(&header, bytes + at, sizeof header);
    at += sizeof header;
    const LV2_URID wanted = have_name ? path_type : string_type;
    if (header.type != wanted || header.size == 0 || header.size > size - at ||
        bytes[at + header.size - 1] != 0) {
      return std::nullopt;
    }
    std::string text(reinterpret_cast<const char*>(bytes + at), header.size - 1);
    if (text.size() != std::strlen(text.c_str())) return std::nullopt;
    // The last atom's padding may be left off.
    at += std::min<std::size_t>(lv2_atom_pad_size(header.size), size - at);
    if (have_name) {
      entries[name] = std::move(text);
    } else {
      name = std::move(text);
    }
    have_name = !have_name;
  }
  if (have_name) return std::nullopt;
  return entries;
}

}  // namespace ov
