// A skin folder made into the records a project stores: each image of the
// folder (PNG, or Windows bitmap with its _mask.bmp or key pixel), read as
// the editor reads it from disk, stored as PNG bytes with its description's
// fields; and the font categories of the folder's global.txt.
// Thread: any one thread (compiling a project).
#pragma once

#include <memory>
#include <string>

#include "document/skins.h"
#include "editor/skins/skin_text.h"

namespace ov {

// Images in name order, named without their extension; a .png wins over a
// .bmp of the same name. Null, with `error` set, when the folder cannot be
// listed or an image in it cannot be read.
std::unique_ptr<SkinInfo> ReadSkinFolder(const std::string& name, const std::string& folder,
                                         const FamilyCheck& installed, std::string* error);

}  // namespace ov
