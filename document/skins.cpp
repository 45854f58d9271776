#include "document/skins.h"

namespace ov {

constinit const SerialClass CSkinBitmap::kClass{"CSkinBitmap", 1, false, &MakeObject<CSkinBitmap>,
                                                nullptr};
constinit const SerialClass CAnimBitmap::kClass{"CAnimBitmap", 1, false, &MakeObject<CAnimBitmap>,
                                                &CSkinBitmap::kClass};
constinit const SerialClass SkinFontInfo::kClass{"SkinFontInfo", 1, false,
                                                 &MakeObject<SkinFontInfo>, nullptr};
constinit const SerialClass SkinInfo::kClass{"SkinInfo", 1, false, &MakeObject<SkinInfo>, nullptr};

void CSkinBitmap::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  walker.Int32("height", height_);
  walker.Int32("width", width_);
  walker.String("name", name_);
  if (version >= 95163) walker.Int32("mode", mode_);
  if (version >= 94961) {
    walker.SizedBytes("png", png_, CountForm::kInt32);
    return;
  }
  int32_t pixel_count = static_cast<int32_t>(pixels_.size() / 4);
  walker.Int32("pixel_count", pixel_count);
  walker.Int32("pixel_extra", pixel_extra_);
  if (pixel_count >= 1) {
    walker.Bytes("pixels", pixels_, static_cast<std::size_t>(pixel_count) * 4);
  } else if (walker.Loading()) {
    pixels_.clear();
  }
}

void CAnimBitmap::Serialize(FieldWalker& walker) {
  CSkinBitmap::Serialize(walker);
  walker.Int32("segment_count", segment_count_);
  walker.Int32("mode_letter", mode_letter_);
  walker.Int32("range_end", range_end_);
  walker.Int32("range_start", range_start_);
  walker.RectField("handle_rect", handle_rect_);
  walker.PointField("frame_size", frame_size_);
  walker.Int32("last_frame", last_frame_);
  walker.Int32("type", type_);
  if (walker.LoadVersion() >= 95061) FixedInt32s(walker, "padding", padding_);
}

void SkinFontInfo::Serialize(FieldWalker& walker) {
  walker.String("category", category_);
  walker.String("face", face_);
  walker.Int32("size", size_);
  walker.Int32("colour", colour_);
  if (walker.LoadVersion() > 95129) {
    walker.Int32("background", background_);
    walker.UInt32("style", style_);
  }
}

void SkinInfo::Serialize(FieldWalker& walker) {
  walker.String("name", name_);
  // Images until a null tag.
  const std::optional<std::size_t> count =
      walker.BeginList("images", images_.size(), CountForm::kTerminated, 2);
  if (count) {
    std::vector<std::shared_ptr<CSkinBitmap>> walked;
    for (std::size_t i = 0; i < *count; ++i) {
      Persistent* image = walker.Loading() ? nullptr : images_[i].get();
      walker.BeginElement();
      walker.Object("", image, &CSkinBitmap::kClass, true);
      walker.EndElement();
      if (image == nullptr) {
        if (walker.InStream()) break;
        continue;
      }
      if (walker.Loading()) {
        walked.push_back(std::static_pointer_cast<CSkinBitmap>(walker.Share(image)));
      } else {
        walked.push_back(images_[i]);
      }
    }
    if (walker.purpose() == WalkPurpose::kWriteStream) {
      Persistent* marker = nullptr;
      walker.Object("", marker, nullptr, true);
    }
    images_ = std::move(walked);
  }
  walker.EndList();
  OwnedList(walker, "fonts", fonts_);
}

}  // namespace ov
