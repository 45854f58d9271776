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

// `admit`, noting in `load` a size it refused.
SizeCheck NotingRefusal(const SizeCheck& admit, ImageLoad& load) {
  return [&admit, &load](int32_t width, int32_t height) {
    if (admit(width, height)) return true;
    load.refused_size = {width, height};
    load.kind = ImageLoad::Kind::kRefused;
    return false;
  };
}

// The pixels stored in `image`, decoded; `admit` is asked for their size.
ImageLoad DecodeStoredImage(SkinImage& image, const SizeCheck& admit) {
  ImageLoad load;
  const SizeCheck checked = NotingRefusal(admit, load);
  std::string error;
  if (DecodeStoredPixels(&image, checked, &error)) {
    load.kind = ImageLoad::Kind::kLoaded;
    load.pixels = std::move(image.pixels);
    load.description = image.description;
  } else if (load.kind != ImageLoad::Kind::kRefused) {
    load.kind = ImageLoad::Kind::kDamaged;
  }
  return load;
}

// `relative` read from the first of `folders` that has it, as a PNG or a
// bitmap (with its mask) and its description; `name` is what a miss is
// reported by when no folder was tried.
ImageLoad LoadFromFolders(const std::vector<std::string>& folders, const std::string& relative,
                          const std::string& name, SkinMode mode, const SizeCheck& admit,
                          std::size_t most_file_bytes) {
  ImageLoad load;
  load.last_tried = name;
  for (const std::string& folder : folders) {
    std::string path = folder + "/" + relative;
    if (WithoutExtension(path).size() == path.size() || !IsRegularFile(path)) {
      path += IsRegularFile(path + ".png") ? ".png" : ".bmp";
    }
    const std::string stem(WithoutExtension(path));
    ImageDescription description;
    ParseImageDescription(ReadSkinText(stem + ".txt"), &description);
    const SizeCheck checked = NotingRefusal(admit, load);
    std::string error;
    const Point key = description.key_pixel;
    auto pixels = LoadSkinPixels(path, stem + "_mask.bmp", key.x, key.y, mode, &error, checked,
                                 most_file_bytes);
    if (load.kind == ImageLoad::Kind::kRefused) return load;
    if (!pixels) {
      // A file that is there but unreadable says why; a missing one is
      // reported by the last path tried.
      if (IsRegularFile(path)) load.errors.push_back(error);
      load.last_tried = path;
      continue;
    }
    load.kind = ImageLoad::Kind::kLoaded;
    load.pixels = std::move(*pixels);
    SetFrames(&description, load.pixels.width, load.pixels.height);
    load.description = description;
    return load;
  }
  return load;
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

SizeCheck SkinList::BudgetCheck(SkinMode mode) const {
  const std::size_t left = kDecodedBudget - decoded_bytes_;
  return [left, mode](int32_t width, int32_t height) {
    return DecodedBytes(width, height, mode) <= left;
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

void SkinList::Install(Skin& skin, std::shared_ptr<SkinImage> image, ImageLoad load) {
  for (const std::string& error : load.errors) {
    if (messages_ != nullptr) messages_->Post(error, MessageStyle::kError);
  }
  switch (load.kind) {
    case ImageLoad::Kind::kLoaded:
      image->pixels = std::move(load.pixels);
      image->description = std::move(load.description);
      CountDecoded(*image);
      return;
    case ImageLoad::Kind::kRefused:
      image->refused = true;
      ReportRefused(image->name, load.refused_size);
      return;
    case ImageLoad::Kind::kDamaged:  // stays empty without a message, as when it was read
      return;
    case ImageLoad::Kind::kMissing:
      break;
  }
  if (&skin != &built_in_) {
    if (std::shared_ptr<SkinImage> carried = BuiltInImage(image->name, image->mode)) {
      std::replace(skin.images.begin(), skin.images.end(), image, carried);
      return;
    }
  }
  if (messages_ != nullptr) {
    messages_->Post("Error Loading Image.  Check this file exists: " + load.last_tried,
                    MessageStyle::kError);
  }
}

bool SkinList::TakeDecoded() {
  if (decodes_ == nullptr) return false;
  std::vector<ImageDecodes::Result> results = decodes_->TakeDecoded(this);
  for (ImageDecodes::Result& result : results) {
    Install(*result.skin, std::move(result.image), std::move(result.load));
  }
  return !results.empty();
}

std::shared_ptr<const SkinImage> SkinList::Listed(Skin& skin, std::shared_ptr<SkinImage> image) {
  if (image->stored != nullptr) {
    if (decodes_ != nullptr) {
      // The decoding thread works on a copy of its own.
      auto copy = std::make_shared<SkinImage>();
      copy->name = image->name;
      copy->mode = image->mode;
      copy->description = image->description;
      copy->stored = std::move(image->stored);
      decodes_->Ask(
          this, &skin, image,
          [copy](const SizeCheck& admit) { return DecodeStoredImage(*copy, admit); },
          kDecodedBudget - decoded_bytes_);
      return nullptr;
    }
    Install(skin, image, DecodeStoredImage(*image, BudgetCheck(image->mode)));
  }
  if (image->refused) return BuiltInImage(image->name, image->mode);
  return image->HasPixels() ? image : nullptr;
}

std::shared_ptr<const SkinImage> SkinList::Image(Skin& skin, const std::string& name,
                                                 SkinMode mode) {
  for (const auto& image : skin.images) {
    if (image->name == name && image->mode == mode) return Listed(skin, image);
  }
  auto image = std::make_shared<SkinImage>();
  image->name = name;
  image->mode = mode;
  skin.images.push_back(image);
  std::vector<std::string> folders;
  const auto relative = RelativeName(name);
  if (!root_.empty() && relative) {
    if (const auto folder = RelativeName(skin.name); folder && *folder != "default") {
      folders.push_back(root_ + "/" + *folder);
    }
    folders.push_back(root_ + "/default");
  }
  // A file is read only as far as an image within the budget could need.
  const std::size_t most_file_bytes = kDecodedBudget - decoded_bytes_ + (std::size_t{1} << 20);
  if (decodes_ != nullptr && !folders.empty()) {
    decodes_->Ask(
        this, &skin, image,
        [folders, relative = *relative, name, mode, most_file_bytes](const SizeCheck& admit) {
          return LoadFromFolders(folders, relative, name, mode, admit, most_file_bytes);
        },
        kDecodedBudget - decoded_bytes_);
    return nullptr;
  }
  Install(skin, image,
          LoadFromFolders(folders, relative.value_or(name), name, mode, BudgetCheck(mode),
                          most_file_bytes));
  return Listed(skin, skin.images.back());
}

const FontCategory& SkinList::Category(const Skin& skin, std::string_view name) {
  static const FontCategory kPlain;
  for (const FontCategory& category : skin.categories) {
    if (category.category == name) return category;
  }
  return kPlain;
}

}  // namespace ov
