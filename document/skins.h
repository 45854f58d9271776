// Skin records as projects store them: images (with their PNG bytes, or raw
// pixels in old streams), image descriptions and font categories. Decoding
// and drawing belong to the editor's skins; the document keeps the bytes.
//
// Threads: editor only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/field_walker.h"

namespace ov {

// `CSkinBitmap`: one image.
class CSkinBitmap : public Persistent {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  const std::string& name() const { return name_; }
  const std::vector<uint8_t>& png() const { return png_; }
  int32_t height() const { return height_; }
  int32_t width() const { return width_; }
  int32_t mode() const { return mode_; }
  // Raw 32-bit pixels of old streams; empty in newer ones.
  const std::vector<uint8_t>& raw_pixels() const { return pixels_; }
  // An image as newer streams store it: its size and PNG bytes.
  void SetImage(std::string name, int32_t mode, int32_t width, int32_t height,
                std::vector<uint8_t> png) {
    name_ = std::move(name);
    mode_ = mode;
    width_ = width;
    height_ = height;
    png_ = std::move(png);
  }

 private:
  int32_t height_ = 0;
  int32_t width_ = 0;
  std::string name_;
  int32_t mode_ = 0;  // 0 colour, 1 grey
  std::vector<uint8_t> png_;
  // Streams before version 94961 hold 32-bit pixels instead of PNG bytes.
  std::vector<uint8_t> pixels_;
  int32_t pixel_extra_ = 0;
};

// `CAnimBitmap`: an image with the description of its frames.
class CAnimBitmap : public CSkinBitmap {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  int32_t segment_count() const { return segment_count_; }
  int32_t mode_letter() const { return mode_letter_; }
  int32_t range_end() const { return range_end_; }
  int32_t range_start() const { return range_start_; }
  const Rect& handle_rect() const { return handle_rect_; }
  const Point& frame_size() const { return frame_size_; }
  int32_t last_frame() const { return last_frame_; }
  int32_t type() const { return type_; }
  const std::array<int32_t, 4>& padding() const { return padding_; }  // left, right, top, bottom
  // The description's fields; padding left, right, top, bottom.
  void SetDescription(int32_t segment_count, int32_t mode_letter, int32_t range_start,
                      int32_t range_end, Rect handle_rect, Point frame_size, int32_t last_frame,
                      int32_t type, std::array<int32_t, 4> padding) {
    segment_count_ = segment_count;
    mode_letter_ = mode_letter;
    range_start_ = range_start;
    range_end_ = range_end;
    handle_rect_ = handle_rect;
    frame_size_ = frame_size;
    last_frame_ = last_frame;
    type_ = type;
    padding_ = padding;
  }

 private:
  int32_t segment_count_ = 5;
  int32_t mode_letter_ = -1;
  int32_t range_end_ = 50;
  int32_t range_start_ = 0;
  Rect handle_rect_{0, 0, 10, 10};
  Point frame_size_{10, 10};
  int32_t last_frame_ = -1;
  int32_t type_ = 1;
  std::array<int32_t, 4> padding_{};  // left, right, top, bottom, as stored
};

// `SkinFontInfo`: one font category of a skin.
class SkinFontInfo : public Persistent {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  const std::string& category() const { return category_; }
  const std::string& face() const { return face_; }
  int32_t size() const { return size_; }
  int32_t colour() const { return colour_; }
  int32_t background() const { return background_; }
  uint32_t style() const { return style_; }
  void Set(std::string category, std::string face, int32_t size, int32_t colour,
           int32_t background, uint32_t style) {
    category_ = std::move(category);
    face_ = std::move(face);
    size_ = size;
    colour_ = colour;
    background_ = background;
    style_ = style;
  }

 private:
  std::string category_;
  std::string face_ = "Arial";
  int32_t size_ = 12;
  int32_t colour_ = 0xffffff;
  int32_t background_ = -1;
  uint32_t style_ = 0;
};

// `SkinInfo`: one skin. Images are held by reference count, as skins may
// share them.
class SkinInfo : public Persistent {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  const std::string& name() const { return name_; }
  const std::vector<std::shared_ptr<CSkinBitmap>>& images() const { return images_; }
  const std::vector<std::unique_ptr<SkinFontInfo>>& fonts() const { return fonts_; }
  void SetName(std::string name) { name_ = std::move(name); }
  void AddImage(std::shared_ptr<CSkinBitmap> image) { images_.push_back(std::move(image)); }
  void AddFont(std::unique_ptr<SkinFontInfo> font) { fonts_.push_back(std::move(font)); }

 private:
  std::string name_;
  std::vector<std::shared_ptr<CSkinBitmap>> images_;
  std::vector<std::unique_ptr<SkinFontInfo>> fonts_;
};

}  // namespace ov
