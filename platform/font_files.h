// Font families and files, through fontconfig. Debian's Liberation fonts
// have the metrics of Arial, Times New Roman and Courier New, so those three
// names count as installed when their twin is, and find the twin's files.
// Setting FONTCONFIG_FILE (tests, snapshots) pins the fonts seen.
// Thread: editor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ov {

// The Liberation family with the metrics of `family` (any case), or "".
std::string_view MetricTwin(std::string_view family);

// Whether fontconfig lists `family` (any case), or lists its twin.
bool FamilyInstalled(std::string_view family);

struct FontFile {
  std::string path;
  int32_t index = 0;    // face within the file
  bool bold = false;    // the face itself is bold
  bool italic = false;  // the face itself is italic or oblique
};

// The file fontconfig picks for the family (its twin when only that is
// installed) in the weight and slant asked for; nothing when no font at
// all is available.
std::optional<FontFile> FindFontFile(std::string_view family, bool bold, bool light, bool italic);

}  // namespace ov
