#include "modules/file_types.h"

#include <iterator>

#include "platform/text.h"

namespace ov {
namespace {

constexpr FileType kFileTypes[] = {
    {"*", "default"},       {"wav", "Wave Files"},      {"ov1", "Orvane Files"},
    {"mid", "MIDI Files"},  {"sf2", "SoundFont Files"}, {"dll", "Plugin"},
    {"fxb", "VST Bank"},    {"fxp", "VST Inst"},        {"bmp", "Image Files"},
    {"png", "Image Files"}, {"*", "Embeddable Files"},  {"", ""},
};
static_assert(std::size(kFileTypes) == 12);

}  // namespace

std::span<const FileType> FileTypes() { return kFileTypes; }

std::size_t FileTypeIndex(std::string_view extension) {
  for (std::size_t i = 0; i < std::size(kFileTypes); ++i) {
    if (EqualsIgnoringCase(kFileTypes[i].extension, extension)) return i;
  }
  return 0;
}

}  // namespace ov
