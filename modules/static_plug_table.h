// Static plug tables: the compiled-in plug lists of the few types whose
// generator does not list its own plugs. Each text field is either a UTF-16
// text or the number of a string resource.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/interface_object.h"

namespace ov {

class PlugText {
 public:
  constexpr PlugText(const char16_t* text) : text_(text) {}  // NOLINT: tables list texts bare
  static constexpr PlugText Resource(uint16_t id) { return PlugText(id); }

  // The UTF-8 text, or the string resource's text (empty when the library
  // holds none).
  std::string ToUtf8() const;

 private:
  constexpr explicit PlugText(uint16_t resource) : resource_(resource) {}

  const char16_t* text_ = nullptr;
  uint16_t resource_ = 0;
};

struct StaticPlugEntry {
  PlugText name;
  int32_t direction;
  int32_t datatype;
  PlugText default_text;
  PlugText list_text;
  int32_t flags;
};

using StaticPlugTable = std::span<const StaticPlugEntry>;

// One descriptor per entry, in order: no members to bind and an empty hint.
void AppendStaticPlugs(StaticPlugTable table, std::vector<InterfaceObject>& descriptors);
// The same for the entries that have an engine side: those that are not
// panel-side, or are patch-stored. This is the generator's own plug list.
void AppendStaticEnginePlugs(StaticPlugTable table, std::vector<InterfaceObject>& descriptors);

}  // namespace ov
