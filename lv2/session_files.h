// The files a plug-in read from disk, as a host that keeps a session's files
// sees them: a state property listing, for each name the project resolved,
// the host's abstract path of the file read, so that the host can archive
// or move the file with the session and hand back where it went.
// Thread: any (the caller's); no state of its own.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ov {

// The host's path features, from instantiation or one save or restore.
struct Lv2PathFeatures {
  LV2_State_Map_Path* map = nullptr;
  LV2_State_Make_Path* make = nullptr;
  LV2_State_Free_Path* free = nullptr;
};
// The features in `features` over those already in `base`.
Lv2PathFeatures FindPathFeatures(const LV2_Feature* const* features, Lv2PathFeatures base = {});
// A path the host made, as a string; the host's copy is freed.
std::string TakeHostPath(const Lv2PathFeatures& features, char* path);

// The body of an atom:Tuple holding, for each entry, an atom:String (the
// name) and an atom:Path (its abstract path).
std::vector<uint8_t> PackSessionFiles(const std::map<std::string, std::string>& abstract_paths,
                                      LV2_URID string_type, LV2_URID path_type);
// The entries of such a body; nothing when any atom in it is damaged or of
// another type.
std::optional<std::map<std::string, std::string>> UnpackSessionFiles(const void* body,
                                                                     std::size_t size,
                                                                     LV2_URID string_type,
                                                                     LV2_URID path_type);

}  // namespace ov
