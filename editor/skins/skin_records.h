// Skins as projects carry them, made ready for drawing: every image with
// its archived description and a copy of its PNG bytes (or the raw pixels
// of old streams), decoded when it is first asked for, and the font
// categories. Archived sizes are not trusted: pixels come from what
// decodes, and raw pixels only when their count matches the stored size.
// Thread: editor.
#pragma once

#include <memory>
#include <vector>

#include "document/skins.h"
#include "editor/skins/skin_list.h"

namespace ov {

// The image of a record, its pixels still stored.
std::shared_ptr<SkinImage> ImageFromRecord(const CSkinBitmap& record);
// Decodes the image's stored pixels, their size first put to `admit`, and
// drops the stored copy; then the frames follow the pixels. False, with
// `error`, when no pixels came of it (a refused size among the reasons).
bool DecodeStoredPixels(SkinImage* image, const SizeCheck& admit, std::string* error);

// The project's skins in order, images shared between skins held once.
// Each skin's categories are its archived ones followed by those of its
// global.txt (`list` reads that).
std::vector<Skin> SkinsFromRecords(const std::vector<std::unique_ptr<SkinInfo>>& records,
                                   const SkinList& list);

}  // namespace ov
