#include "document/new_objects.h"

#include "document/module.h"
#include "modules/module_registry.h"

namespace ov {

std::unique_ptr<CDocOb> CreateDocumentObject(const ModuleRegistry& modules, std::string_view key) {
  const Module_Info* type = modules.FindModule(key);
  if (type == nullptr) return nullptr;
  const SerialClass* serial_class = StreamClasses().FindByName(type->DocumentClass());
  if (serial_class == nullptr || !serial_class->IsKindOf(CDocOb::kClass)) {
    serial_class = &CUG::kClass;
  }
  std::unique_ptr<CDocOb> object(static_cast<CDocOb*>(serial_class->factory().release()));
  if (auto* module = dynamic_cast<CUG*>(object.get())) {
    module->SetUpAsNew(*type);
  } else {
    object->SetModuleType(type);
  }
  return object;
}

}  // namespace ov
