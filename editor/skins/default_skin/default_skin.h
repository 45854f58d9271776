// The default skin the plug-in library carries: drawn at build time by
// make_default_skin, linked in as data once, decoded on first use. Every
// skin list starts from it, so a project without skins of its own still
// has every image and font category its panel asks for.
// Thread: editor.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "editor/skins/skin_list.h"

namespace ov {

struct BuiltInSkinFile {
  const char* name;  // "knob_med.png", "knob_med.txt", "global.txt", ...
  std::span<const uint8_t> bytes;
};

// The skin's files, as its folder holds them (generated source).
const std::vector<BuiltInSkinFile>& BuiltInSkinFiles();

// The skin named "default": its images (decoded once, shared by every copy)
// with their descriptions, and the font categories of its global.txt, faces
// chosen by `installed`.
Skin BuiltInSkin(const FamilyCheck& installed);

}  // namespace ov
