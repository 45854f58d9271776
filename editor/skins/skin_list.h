// The skins a panel draws with: each skin's images (with their
// descriptions) and font categories, looked up by name. A project's images
// are decoded when first asked for, not when the editor opens. Images a
// project does not carry are looked for once on disk under
// <library folder>/skins/<skin>/, then under .../skins/default/, then in
// the built-in default skin; a miss is reported once and stays empty.
// Decoded images of one list share a budget: an image that would pass it
// is reported once and the built-in skin's image of that name is drawn.
// A list given an ImageDecodes hands a stored image to it instead of
// decoding it at the lookup; the lookup answers null until TakeDecoded()
// has brought the pixels in.
// Thread: editor.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/skin_source.h"
#include "editor/skins/font_cache.h"
#include "editor/skins/skin_pixels.h"
#include "editor/skins/skin_text.h"
#include "platform/message_sink.h"

namespace ov {

class ImageDecodes;
struct ImageLoad;

// A project's image as the project stores it, kept until the image is first
// asked for: PNG bytes, or the raw 32-bit pixels of old streams with their
// stored size.
struct StoredPixels {
  std::vector<uint8_t> png;
  std::vector<uint8_t> raw;
  int32_t width = 0;
  int32_t height = 0;
  // The description came with the image: its last frame is kept within
  // the frames the pixels hold rather than computed from them.
  bool described = false;
};

struct SkinImage {
  std::string name;
  SkinMode mode = SkinMode::kColour;
  SkinPixels pixels;  // empty until decoded, and when loading failed or was refused
  ImageDescription description;
  std::unique_ptr<StoredPixels> stored;  // until first asked for
  bool refused = false;  // its size would pass the editor's budget for decoded images
  bool HasPixels() const { return pixels.width > 0 && pixels.height > 0; }
};

struct Skin {
  std::string name;
  std::vector<std::shared_ptr<SkinImage>> images;  // in the order added
  std::vector<FontCategory> categories;
};

// A skin's text file (description or global.txt), at most 1 MiB; empty
// when it is missing or unreadable.
std::string ReadSkinText(const std::string& path);

// The names font categories are chosen by, as a choice list.
constexpr std::string_view kFontCategoryChoices =
    "Normal,Heading 1,Heading 2,Heading 3,User 1, User 2, User 3";
// 1 "heading 1" ... 6 "user 3"; 0 and any other number "normal".
std::string_view FontCategoryName(int32_t number);

class SkinList : public SkinSource {
 public:
  // Decoded bytes the images of one list may hold (8192 x 8192 colour
  // pixels); the built-in skin's are not counted.
  static constexpr std::size_t kDecodedBudget = std::size_t{256} << 20;

  // `skins_root` is "<library folder>/skins" (empty: no disk lookups at
  // all); `built_in` is the default skin the plug-in carries.
  SkinList(std::string skins_root, Skin built_in, MessageSink* messages, FamilyCheck installed);

  // A new skin record named `name` with the categories of its global.txt
  // (or of the default skin's folder when it has none).
  Skin MakeSkin(std::string name) const;
  // Appends `skin` unless one of the same name (any case) is listed, in
  // which case the new one is dropped. Returns the listed one.
  Skin& Add(Skin skin);

  // The skin of that name (any case); else the listed "default", else the
  // first skin, else the built-in default. A miss is remembered.
  Skin& ByName(std::string_view name);
  Skin& SkinNamed(std::string_view name) override { return ByName(name); }
  // The i-th skin, or ByName("default") past the end.
  Skin& ByIndex(std::size_t index);
  const std::string& LastMissingName() const { return last_missing_; }
  std::size_t Count() const { return skins_.size(); }
  // Bytes of decoded images counted against the budget.
  std::size_t DecodedBytesHeld() const { return decoded_bytes_; }

  // The image `name` in `mode` for `skin`, or null when it has no pixels.
  // Each (skin, name, mode) goes to disk at most once; a stored image is
  // decoded at its first lookup.
  std::shared_ptr<const SkinImage> Image(Skin& skin, const std::string& name,
                                         SkinMode mode) override;

  FontCache* Fonts() override { return &fonts_; }

  // Stored images are decoded by `decodes` rather than at their lookup.
  void DecodeElsewhere(std::shared_ptr<ImageDecodes> decodes) { decodes_ = std::move(decodes); }
  // Brings in the images decoded elsewhere since the last call; true when
  // any arrived (their lookups then answer with them).
  bool TakeDecoded();

  // Exact name among the skin's categories; else the plain default one.
  static const FontCategory& Category(const Skin& skin, std::string_view name);
  static const FontCategory& Category(const Skin& skin, int32_t number) {
    return Category(skin, FontCategoryName(number));
  }

 private:
  // What `image`, listed in `skin`, answers a lookup with (asking for its
  // decoding first when it still holds stored bytes).
  std::shared_ptr<const SkinImage> Listed(Skin& skin, std::shared_ptr<SkinImage> image);
  // Brings what reading `image` gave into it, with the messages it calls
  // for; a missing image is replaced in `skin` by the built-in one.
  void Install(Skin& skin, std::shared_ptr<SkinImage> image, ImageLoad load);
  // Whether an image of that size fits what is left of the budget.
  SizeCheck BudgetCheck(SkinMode mode) const;
  void CountDecoded(const SkinImage& image);
  void ReportRefused(const std::string& name, Point size);
  std::shared_ptr<SkinImage> BuiltInImage(const std::string& name, SkinMode mode) const;

  std::string root_;
  Skin built_in_;
  MessageSink* messages_;
  FamilyCheck installed_;
  std::vector<std::unique_ptr<Skin>> skins_;  // references stay valid as skins are added
  std::string last_missing_;
  std::size_t decoded_bytes_ = 0;
  std::shared_ptr<ImageDecodes> decodes_;
  FontCache fonts_;
};

}  // namespace ov
