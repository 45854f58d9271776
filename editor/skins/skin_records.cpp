#include "editor/skins/skin_records.h"

#include <algorithm>
#include <map>

#include "platform/png_codec.h"

namespace ov {
namespace {

ImageDescription DescriptionOf(const CAnimBitmap& anim) {
  ImageDescription d;
  d.segment_count = anim.segment_count();
  d.mode_letter = anim.mode_letter();
  d.range_end = anim.range_end();
  d.range_start = anim.range_start();
  d.handle_rect = anim.handle_rect();
  d.frame_size = anim.frame_size();
  d.frame_size_given = true;
  d.type = anim.type();
  d.padding_left = anim.padding()[0];
  d.padding_right = anim.padding()[1];
  d.padding_top = anim.padding()[2];
  d.padding_bottom = anim.padding()[3];
  d.last_frame = anim.last_frame();
  return d;
}

// Raw pixels of old streams, when their count is the stored size's.
std::optional<SkinPixels> RawPixels(const StoredPixels& stored, const SizeCheck& admit) {
  const std::vector<uint8_t>& raw = stored.raw;
  const int64_t width = stored.width;
  const int64_t height = stored.height;
  if (width <= 0 || height <= 0 || width > kMaxSkinImageSide || height > kMaxSkinImageSide ||
      raw.size() != static_cast<std::size_t>(width * height) * 4 ||
      (admit && !admit(stored.width, stored.height))) {
    return std::nullopt;
  }
  SkinPixels pixels;
  pixels.width = stored.width;
  pixels.height = stored.height;
  pixels.colour.resize(raw.size() / 4);
  for (std::size_t i = 0; i < pixels.colour.size(); ++i) {
    pixels.colour[i] = raw[4 * i] | (raw[4 * i + 1] << 8) | (raw[4 * i + 2] << 16) |
                       (static_cast<uint32_t>(raw[4 * i + 3]) << 24);
  }
  return pixels;
}

}  // namespace

std::shared_ptr<SkinImage> ImageFromRecord(const CSkinBitmap& record) {
  auto image = std::make_shared<SkinImage>();
  image->name = record.name();
  image->mode = record.mode() == 1 ? SkinMode::kGrey : SkinMode::kColour;
  // A copy of the stored form: decoding later needs nothing of the document.
  auto stored = std::make_unique<StoredPixels>();
  stored->png = record.png();
  if (stored->png.empty() && image->mode == SkinMode::kColour) stored->raw = record.raw_pixels();
  stored->width = record.width();
  stored->height = record.height();
  if (const auto* anim = dynamic_cast<const CAnimBitmap*>(&record)) {
    image->description = DescriptionOf(*anim);
    stored->described = true;
  }
  image->stored = std::move(stored);
  return image;
}

bool DecodeStoredPixels(SkinImage* image, const SizeCheck& admit, std::string* error) {
  const std::unique_ptr<StoredPixels> stored = std::move(image->stored);
  if (stored == nullptr) return image->HasPixels();
  std::optional<SkinPixels> pixels;
  if (!stored->png.empty()) {
    pixels = DecodeSkinPng(stored->png.data(), stored->png.size(), image->mode, error, admit);
  } else {
    pixels = RawPixels(*stored, admit);
    if (!pixels) *error = "the stored pixels do not match the stored size, or were not admitted";
  }
  if (pixels) image->pixels = std::move(*pixels);
  if (stored->described) {
    // The stored last frame never reaches past the frames the image holds.
    const int32_t frame_height = image->description.frame_size.y;
    const int32_t most =
        frame_height > 0 ? std::max(0, image->pixels.height / frame_height - 1) : 0;
    image->description.last_frame = std::clamp(image->description.last_frame, 0, most);
  } else {
    SetFrames(&image->description, image->pixels.width, image->pixels.height);
  }
  return pixels.has_value();
}

std::vector<Skin> SkinsFromRecords(const std::vector<std::unique_ptr<SkinInfo>>& records,
                                   const SkinList& list) {
  std::map<const CSkinBitmap*, std::shared_ptr<SkinImage>> decoded;
  std::vector<Skin> skins;
  for (const auto& record : records) {
    Skin from_text = list.MakeSkin(record->name());
    Skin skin;
    skin.name = record->name();
    for (const auto& image : record->images()) {
      if (!image) continue;
      std::shared_ptr<SkinImage>& made = decoded[image.get()];
      if (!made) made = ImageFromRecord(*image);  // decoded when first asked for
      skin.images.push_back(made);
    }
    for (const auto& font : record->fonts()) {
      FontCategory category;
      category.category = font->category();
      category.face = font->face();
      category.size = font->size();
      category.colour = font->colour();
      category.background = font->background();
      category.style = font->style();
      skin.categories.push_back(std::move(category));
    }
    skin.categories.insert(skin.categories.end(), from_text.categories.begin(),
                           from_text.categories.end());
    skins.push_back(std::move(skin));
  }
  return skins;
}

}  // namespace ov
