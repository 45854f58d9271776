// Skins as projects carry them, decoded for drawing: every image from its
// PNG bytes (or the raw pixels of old streams) with its archived
// description, and the font categories. Archived sizes are not trusted:
// pixels come from what decodes, and raw pixels only when their count
// matches the stored size.
// Thread: editor.
#pragma once

#include <memory>
#include <vector>

#include "document/skins.h"
#include "editor/skins/skin_list.h"

namespace ov {

std::shared_ptr<SkinImage> ImageFromRecord(const CSkinBitmap& record);

// The project's skins in order, images shared between skins decoded once.
// Each skin's categories are its archived ones followed by those of its
// global.txt (`list` reads that).
std::vector<Skin> SkinsFromRecords(const std::vector<std::unique_ptr<SkinInfo>>& records,
                                   const SkinList& list);

}  // namespace ov
