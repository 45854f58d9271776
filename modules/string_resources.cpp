#include "modules/string_resources.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace ov {
namespace {

struct StringEntry {
  uint32_t id;
  std::string_view text;
};

constexpr StringEntry kStrings[] = {
    {494, "VST Input"},  {495, "VST Output"}, {32819, "Oscillator"},
    {32820, "Waveform"}, {32821, "ADSR"},     {32822, "Phase Dist Osc"},
};

constexpr std::size_t kMaxResourceText = 99;

}  // namespace

std::string StringResource(uint32_t id) {
  const auto found = std::find_if(std::begin(kStrings), std::end(kStrings),
                                  [id](const StringEntry& entry) { return entry.id == id; });
  if (found == std::end(kStrings)) return {};
  return std::string(found->text.substr(0, kMaxResourceText));
}

}  // namespace ov
