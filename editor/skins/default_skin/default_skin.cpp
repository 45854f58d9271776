#include "editor/skins/default_skin/default_skin.h"

#include <string_view>

namespace ov {
namespace {

std::string_view Text(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

const BuiltInSkinFile* Find(std::string_view name) {
  for (const BuiltInSkinFile& file : BuiltInSkinFiles()) {
    if (name == file.name) return &file;
  }
  return nullptr;
}

// Decoded as a folder's images are: the PNG, then its description. Each
// image is carried in grey too, for the controls that tint it.
std::vector<std::shared_ptr<SkinImage>> DecodeImages() {
  std::vector<std::shared_ptr<SkinImage>> images;
  for (const BuiltInSkinFile& file : BuiltInSkinFiles()) {
    const std::string_view name = file.name;
    if (!name.ends_with(".png")) continue;
    for (const SkinMode mode : {SkinMode::kColour, SkinMode::kGrey}) {
      auto image = std::make_shared<SkinImage>();
      image->name = std::string(name.substr(0, name.size() - 4));
      image->mode = mode;
      std::string error;
      auto pixels = DecodeSkinPng(file.bytes.data(), file.bytes.size(), mode, &error);
      if (!pixels) continue;
      image->pixels = std::move(*pixels);
      if (const BuiltInSkinFile* text = Find(image->name + ".txt")) {
        ParseImageDescription(Text(text->bytes), &image->description);
      }
      SetFrames(&image->description, image->pixels.width, image->pixels.height);
      images.push_back(std::move(image));
    }
  }
  return images;
}

}  // namespace

Skin BuiltInSkin(const FamilyCheck& installed) {
  static const std::vector<std::shared_ptr<SkinImage>> kImages = DecodeImages();
  Skin skin;
  skin.name = "default";
  skin.images = kImages;
  if (const BuiltInSkinFile* global = Find("global.txt")) {
    skin.categories = ParseGlobalText(Text(global->bytes), installed);
  }
  return skin;
}

}  // namespace ov
