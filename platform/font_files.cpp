#include "platform/font_files.h"

#include <fontconfig/fontconfig.h>

#include <array>
#include <memory>
#include <set>

#include "platform/text.h"

namespace ov {
namespace {

// fontconfig's configuration, loaded once (FONTCONFIG_FILE is honoured) and
// destroyed with the program or plug-in library, so that a host unloading
// the plug-in keeps no orphaned font tables.
FcConfig* Config() {
  struct Destroy {
    void operator()(FcConfig* config) const { FcConfigDestroy(config); }
  };
  static const std::unique_ptr<FcConfig, Destroy> config(FcInitLoadConfigAndFonts());
  return config.get();
}

std::string Lower(std::string_view text) {
  std::string out;
  for (char c : text) out.push_back(ToLowerAscii(c));
  return out;
}

// Every family name of every installed font, in lower case. Read once.
const std::set<std::string>& Families() {
  static const std::set<std::string> families = [] {
    std::set<std::string> names;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = Config() ? FcFontList(Config(), pattern, objects) : nullptr;
    for (int i = 0; fonts != nullptr && i < fonts->nfont; ++i) {
      FcChar8* family = nullptr;
      for (int n = 0; FcPatternGetString(fonts->fonts[i], FC_FAMILY, n, &family) == FcResultMatch;
           ++n) {
        names.insert(Lower(reinterpret_cast<const char*>(family)));
      }
    }
    if (fonts != nullptr) FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return names;
  }();
  return families;
}

bool Listed(std::string_view family) { return Families().count(Lower(family)) != 0; }

}  // namespace

std::string_view MetricTwin(std::string_view family) {
  static constexpr std::array<std::array<std::string_view, 2>, 3> kTwins{{
      {"arial", "Liberation Sans"},
      {"times new roman", "Liberation Serif"},
      {"courier new", "Liberation Mono"},
  }};
  for (const auto& twin : kTwins) {
    if (EqualsIgnoringCase(family, twin[0])) return twin[1];
  }
  return {};
}

bool FamilyInstalled(std::string_view family) {
  if (family.empty()) return false;
  if (Listed(family)) return true;
  const std::string_view twin = MetricTwin(family);
  return !twin.empty() && Listed(twin);
}

std::optional<FontFile> FindFontFile(std::string_view family, bool bold, bool light, bool italic) {
  if (Config() == nullptr) return std::nullopt;
  std::string name(family);
  if (!Listed(name) && !MetricTwin(name).empty()) name = std::string(MetricTwin(name));
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT,
                      bold    ? FC_WEIGHT_BOLD
                      : light ? FC_WEIGHT_LIGHT
                              : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(Config(), pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(Config(), pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return std::nullopt;
  std::optional<FontFile> file;
  FcChar8* path = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
    file.emplace();
    file->path = reinterpret_cast<const char*>(path);
    int index = 0;
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) file->index = index;
    int weight = FC_WEIGHT_REGULAR;
    if (FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch) {
      file->bold = weight >= FC_WEIGHT_BOLD;
    }
    int slant = FC_SLANT_ROMAN;
    if (FcPatternGetInteger(match, FC_SLANT, 0, &slant) == FcResultMatch) {
      file->italic = slant != FC_SLANT_ROMAN;
    }
  }
  FcPatternDestroy(match);
  return file;
}

}  // namespace ov
