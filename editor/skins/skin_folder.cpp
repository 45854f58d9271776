#include "editor/skins/skin_folder.h"

#include <cctype>
#include <filesystem>
#include <map>

#include "editor/skins/skin_list.h"
#include "editor/skins/skin_pixels.h"
#include "platform/files.h"
#include "platform/png_codec.h"

namespace ov {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::unique_ptr<SkinInfo> ReadSkinFolder(const std::string& name, const std::string& folder,
                                         const FamilyCheck& installed, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code code;
  // Image name -> its file; sorted, so the stored order never depends on
  // the order the file system lists.
  std::map<std::string, fs::path> images;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, code)) {
    if (!entry.is_regular_file(code)) continue;
    const fs::path& path = entry.path();
    const std::string extension = Lower(path.extension().string());
    const std::string stem = path.stem().string();
    if (extension == ".bmp" && Lower(stem).ends_with("_mask")) continue;
    if (extension == ".png" || (extension == ".bmp" && !images.contains(stem))) {
      images[stem] = path;
    }
  }
  if (code) {
    *error = folder + ": " + code.message();
    return nullptr;
  }
  auto skin = std::make_unique<SkinInfo>();
  skin->SetName(name);
  for (const auto& [image_name, path] : images) {
    const std::string stem = (path.parent_path() / path.stem()).string();
    ImageDescription d;
    ParseImageDescription(ReadSkinText(stem + ".txt"), &d);
    std::string why;
    const std::optional<SkinPixels> pixels = LoadSkinPixels(
        path.string(), stem + "_mask.bmp", d.key_pixel.x, d.key_pixel.y, SkinMode::kColour, &why);
    if (!pixels) {
      *error = path.string() + ": " + why;
      return nullptr;
    }
    SetFrames(&d, pixels->width, pixels->height);
    std::vector<uint8_t> png = EncodePngColour(pixels->width, pixels->height, pixels->colour, &why);
    if (png.empty()) {
      *error = path.string() + ": " + why;
      return nullptr;
    }
    auto image = std::make_shared<CAnimBitmap>();
    image->SetImage(image_name, 0, pixels->width, pixels->height, std::move(png));
    image->SetDescription(d.segment_count, d.mode_letter, d.range_start, d.range_end,
                          d.handle_rect, d.frame_size, d.last_frame, d.type,
                          {d.padding_left, d.padding_right, d.padding_top, d.padding_bottom});
    skin->AddImage(std::move(image));
  }
  for (FontCategory& category : ParseGlobalText(ReadSkinText(folder + "/global.txt"), installed)) {
    auto font = std::make_unique<SkinFontInfo>();
    font->Set(std::move(category.category), std::move(category.face), category.size,
              category.colour, category.background, category.style);
    skin->AddFont(std::move(font));
  }
  return skin;
}

}  // namespace ov
