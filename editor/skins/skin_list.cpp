#include "editor/skins/skin_list.h"

#include <algorithm>
#include <array>

#include "editor/skins/image_decodes.h"
#include "editor/skins/skin_records.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/text.h"

namespace ov {
namespace {

// Stored names may use either separator. A name that climbs out of its
// folder, is absolute, or names a drive is never looked for on disk.
std::optional<std::string> RelativeName(std::string_view name) {
  std::string out(name);
  std::replace(out.begin(), out.end(), '\\', '/');
  if (IsAbsoluteName(out)) return std::nullopt;
  for (std::size_t start = 0; start <= out.size();) {
    const std::size_t end = std::min(out.find('/', start), out.size());
    if (!IsWritableComponent(std::string_view(out).substr(start, end - start))) return std::nullopt;
    start = end + 1;
  }
  return out;
}

}  // namespace

std::string ReadSkinText(const std::string& path) {
  constexpr std::size_t kMaxTextBytes = 1 << 20;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!IsRegularFile(path) || !ReadFileBytes(path, kMaxTextBytes, &bytes, &error)) return {};
  return std::string(bytes.begin(), bytes.end());
}

std::string_view FontCategoryName(int32_t number) {
  static constexpr std::array<std::string_view, 7> kNames{
      "normal", "heading 1", "heading 2", "heading 3", "user 1", "user 2", "user 3"};
  return number >= 1 && number <= 6 ? kNames[number] : kNames[0];
}

SkinList::SkinList(std::string skins_root, Skin built_in, MessageSink* messages,
                   FamilyCheck installed)
    : root_(std::move(skins_root)),
      built_in_(std::move(built_in)),
      messages_(messages),
      installed_(std::move(installed)) {}

Skin SkinList::MakeSkin(std::string name) const {
  Skin skin;
  skin.name = std::move(name);
  if (root_.empty()) return skin;
  std::string text;
  if (const auto folder = RelativeName(skin.name)) {
    text = ReadSkinText(root_ + "/" + *folder + "/global.txt");
  }
  if (text.empty()) text = ReadSkinText(root_ + "/default/global.txt");
  skin.categories = ParseGlobalText(text, installed_);
  return skin;
}

Skin& SkinList::Add(Skin skin) {
  for (auto& listed : skins_) {
    if (EqualsIgnoringCase(listed->name, skin.name)) return *listed;
  }
  skins_.push_back(std::make_unique<Skin>(std::move(skin)));
  return *skins_.back();
}

Skin& SkinList::ByName(std::string_view name) {
  Skin* fallback = skins_.empty() ? &built_in_ : skins_.front().get();
  bool default_seen = false;
  for (auto& skin : skins_) {
    if (EqualsIgnoringCase(skin->name, name)) return *skin;
    if (!default_seen && EqualsIgnoringCase(skin->name, "default")) {
      fallback = skin.get();
      default_seen = true;
    }
  }
  last_missing_ = std::string(name);
  return *fallback;
}

Skin& SkinList::ByIndex(std::size_t index) {
  return index < skins_.size() ? *skins_[index] : ByName("default");
}

SizeCheck SkinList::Admission(SkinMode mode, Refusal* refusal) const {
  const std::size_t left = kDecodedBudget - decoded_bytes_;
  return [left, mode, refusal](int32_t width, int32_t height) {
    if (DecodedBytes(width, height, mode) <= left) return true;
    *refusal = {true, {width, height}};
    return false;
  };
}

void SkinList::CountDecoded(const SkinImage& image) {
  decoded_bytes_ += DecodedBytes(image.pixels.width, image.pixels.height, image.mode);
}

void SkinList::ReportRefused(const std::string& name, Point size) {
  if (messages_ == nullptr) return;
  messages_->Post("The skin image \"" + name + "\" (" + std::to_string(size.x) + " x " +
                      std::to_string(size.y) + " pixels) would pass the " +
                      std::to_string(kDecodedBudget >> 20) +
                      " MB the editor decodes for skins: the built-in skin's image is drawn "
                      "in its place.",
                  MessageStyle::kWarning);
}

std::shared_ptr<SkinImage> SkinList::BuiltInImage(const std::string& name, SkinMode mode) const {
  for (const auto& carried : built_in_.images) {
    if (carried->name == name && carried->mode == mode && carried->HasPixels()) return carried;
  }
  return nullptr;
}

SkinList::Load SkinList::LoadFromFolder(const std::string& folder, const std::string& name,
                                        SkinImage* image) {
  std::string path = folder + "/" + name;
  if (WithoutExtension(path).size() == path.size() || !IsRegularFile(path)) {
    path += IsRegularFile(path + ".png") ? ".png" : ".bmp";
  }
  const std::string stem(WithoutExtension(path));
  image->description = ImageDescription();
  ParseImageDescription(ReadSkinText(stem + ".txt"), &image->description);
  std::string error;
  const Point key = image->description.key_pixel;
  Refusal refusal;
  // A file is read only as far as an image within the budget could need.
  const std::size_t most_file_bytes = kDecodedBudget - decoded_bytes_ + (std::size_t{1} << 20);
  auto pixels = LoadSkinPixels(path, stem + "_mask.bmp", key.x, key.y, image->mode, &error,
                               Admission(image->mode, &refusal), most_file_bytes);
  if (refusal.refused) {
    ReportRefused(name, refusal.size);
    return Load::kRefused;
  }
  if (!pixels) {
    // A file that is there but unreadable says why; a missing one is
    // reported once the last folder has been tried.
    if (IsRegularFile(path) && messages_ != nullptr) messages_->Post(error, MessageStyle::kError);
    last_tried_ = path;
    return Load::kMissing;
  }
  image->pixels = std::move(*pixels);
  SetFrames(&image->description, image->pixels.width, image->pixels.height);
  CountDecoded(*image);
  return Load::kLoaded;
}

void SkinList::DecodeStored(SkinImage& image) {
  Refusal refusal;
  std::string error;
  // A damaged image stays empty without a message, as when it was read.
  if (DecodeStoredPixels(&image, Admission(image.mode, &refusal), &error)) {
    CountDecoded(image);
  } else if (refusal.refused) {
    image.refused = true;
    ReportRefused(image.name, refusal.size);
  }
}

bool SkinList::TakeDecoded() {
  if (decodes_ == nullptr) return false;
  std::vector<ImageDecodes::Result> results = decodes_->TakeDecoded(this);
  for (ImageDecodes::Result& result : results) {
    SkinImage& image = *result.image;
    if (result.ok) {
      image.pixels = std::move(result.decoded.pixels);
      image.description = result.decoded.description;
      CountDecoded(image);
    } else if (result.refused) {
      image.refused = true;
      ReportRefused(image.name, result.refused_size);
    }
  }
  return !results.empty();
}

std::shared_ptr<const SkinImage> SkinList::Image(Skin& skin, const std::string& name,
                                                 SkinMode mode) {
  for (const auto& image : skin.images) {
    if (image->name != name || image->mode != mode) continue;
    if (image->stored != nullptr && decodes_ != nullptr) {
      decodes_->Ask(this, image, kDecodedBudget - decoded_bytes_);
      return nullptr;
    }
    if (image->stored != nullptr) DecodeStored(*image);
    if (image->refused) return BuiltInImage(name, mode);
    return image->HasPixels() ? image : nullptr;
  }
  auto image = std::make_shared<SkinImage>();
  image->name = name;
  image->mode = mode;
  const auto relative = RelativeName(name);
  Load load = Load::kMissing;
  last_tried_ = name;
  if (!root_.empty() && relative) {
    if (const auto folder = RelativeName(skin.name); folder && *folder != "default") {
      load = LoadFromFolder(root_ + "/" + *folder, *relative, image.get());
    }
    if (load == Load::kMissing) load = LoadFromFolder(root_ + "/default", *relative, image.get());
  }
  if (load != Load::kLoaded && &skin != &built_in_) {
    if (std::shared_ptr<SkinImage> carried = BuiltInImage(name, mode)) {
      skin.images.push_back(carried);
      return carried;
    }
  }
  if (load == Load::kMissing && messages_ != nullptr) {
    messages_->Post("Error Loading Image.  Check this file exists: " + last_tried_,
                    MessageStyle::kError);
  }
  skin.images.push_back(image);
  return load == Load::kLoaded ? image : nullptr;
}

const FontCategory& SkinList::Category(const Skin& skin, std::string_view name) {
  static const FontCategory kPlain;
  for (const FontCategory& category : skin.categories) {
    if (category.category == name) return category;
  }
  return kPlain;
}

}  // namespace ov
