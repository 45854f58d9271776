// What each built-in module type is for, in a line, and the family it is
// listed under: what `orvane modules` and the module reference print beside
// the registry's own record of the type.
// Thread: any (constant data).
#pragma once

#include <span>
#include <string_view>

namespace ov {

struct ModulePurpose {
  const char* key;
  const char* family;
  const char* purpose;
};

// In the order the reference lists families and types.
std::span<const ModulePurpose> ModulePurposes();
// Null for a key the table does not describe (a module library's type).
const ModulePurpose* FindModulePurpose(std::string_view key);

}  // namespace ov
