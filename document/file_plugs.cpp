#include "document/file_plugs.h"

#include "document/plug.h"
#include "engine/interface_object.h"

namespace ov {
namespace {

constexpr int32_t kPlugFileName = 0x10;

}  // namespace

std::string FileTypeOf(const generic_parameter& parameter) {
  const auto* plug = dynamic_cast<const CPlug2*>(&parameter);
  if (plug == nullptr || plug->Datatype() != DT_TEXT || (plug->Flags() & kPlugFileName) == 0) {
    return {};
  }
  const std::string& extension = plug->Descriptor().list_text;
  return extension.find(',') == std::string::npos ? extension : std::string();
}

}  // namespace ov
