#include "tools/skin_info.h"

#include <cstdio>

#include "document/document.h"
#include "editor/skins/default_skin/default_skin.h"
#include "editor/skins/skin_records.h"
#include "host/project_resource.h"
#include "platform/font_files.h"
#include "platform/message_sink.h"
#include "platform/text.h"

namespace ov {
namespace {

const char* TypeName(int32_t type) {
  switch (type) {
    case kSkinSlider: return "slider";
    case kSkinKnob: return "knob";
    case kSkinButton: return "button";
    case kSkinBarGraph: return "bar graph";
    default: return "unknown type";
  }
}

const char* Response(int32_t mode_letter) {
  switch (mode_letter) {
    case -1: return "display only";
    case 0: return "vertical, or tiled";
    case 1: return "horizontal";
    case 2: return "click";
    case 3: return "rotary";
    case 4: return "step";
    default: return "unknown response";
  }
}

std::string Colour(int32_t colour) {
  if (colour < 0) return "none";
  char text[32];
  // Platform colours hold red in the low byte.
  std::snprintf(text, sizeof text, "rgb(%d, %d, %d)", colour & 255, (colour >> 8) & 255,
                (colour >> 16) & 255);
  return text;
}

std::string Styles(uint32_t style) {
  std::string out;
  for (const auto& [flag, name] : {std::pair{kFontBold, "bold"}, {kFontLight, "light"},
                                   {kFontItalic, "italic"}, {kFontUnderline, "underline"},
                                   {kFontCentred, "centred"}, {kFontRight, "right-aligned"}}) {
    if (style & flag) out += std::string(", ") + name;
  }
  return out;
}

void PrintSkin(SkinList& list, Skin& skin, std::ostream& out) {
  out << "Images (" << skin.images.size() << "):\n";
  const std::vector<std::shared_ptr<SkinImage>> images = skin.images;
  for (const auto& image : images) {
    list.Image(skin, image->name, image->mode);  // decodes it as a panel would
    const ImageDescription& d = image->description;
    out << "  " << image->name << (image->mode == SkinMode::kGrey ? " (grey)" : "") << ": "
        << image->pixels.width << " x " << image->pixels.height;
    if (image->refused) {
      out << ", too large for the editor to decode\n";
      continue;
    }
    if (!image->HasPixels()) {
      out << ", not readable\n";
      continue;
    }
    const int32_t frames = d.last_frame + 1;
    out << ", " << frames << (frames == 1 ? " frame" : " frames") << " of " << d.frame_size.x
        << " x " << d.frame_size.y << ", " << TypeName(d.type) << ", " << Response(d.mode_letter)
        << "\n";
  }
  out << "Font categories (" << skin.categories.size() << "):\n";
  for (const FontCategory& category : skin.categories) {
    out << "  " << category.category << ": " << category.face << " " << category.size
        << " px, colour " << Colour(category.colour) << ", background "
        << Colour(category.background) << Styles(category.style) << "\n";
  }
}

}  // namespace

int RunSkinInfoCommand(const std::string& library_path, const std::string& skin_name,
                       std::ostream& out, std::ostream& err) {
  MessageSink messages;
  messages.SetLogToStderr(false);
  SkinList list("", BuiltInSkin(FamilyInstalled), &messages, FamilyInstalled);
  COrvaneDocBase document;
  // A library without a project of its own (the generic one) has only the
  // skin it carries.
  if (std::optional<std::vector<uint8_t>> stream = LoadProjectBytes(library_path, messages)) {
    const LoadResult result = document.Load(*stream, {&messages, nullptr, false});
    if (!result.ok) {
      err << "orvane info: " << library_path << ": " << result.message << "\n";
      return 1;
    }
    for (Skin& skin : SkinsFromRecords(document.skins(), list)) list.Add(std::move(skin));
  }
  Skin& skin = list.ByName(skin_name);
  out << "Skin \"" << skin.name << "\" ";
  if (list.Count() == 0) {
    out << "(the default skin built into the library; the project stores no skins)\n";
  } else {
    out << "(stored in the project; images it lacks come from the default skin built into "
           "the library)\n";
  }
  if (!EqualsIgnoringCase(skin.name, skin_name)) {
    out << "No skin is named \"" << skin_name << "\"; panels asking for it get this one.\n";
  }
  PrintSkin(list, skin, out);
  return 0;
}

}  // namespace ov
