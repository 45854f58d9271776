#include "modules/module_info.h"

#include <utility>

#include "modules/string_resources.h"

namespace ov {
namespace {

std::string OrPlainDocumentClass(std::string document_class) {
  return document_class.empty() ? std::string(kPlainDocumentClass) : std::move(document_class);
}

}  // namespace

Module_Info::Module_Info(std::string key, std::string category_text, uint32_t name_resource,
                         uint32_t category_resource, std::string document_class,
                         GeneratorFactory factory, int32_t module_flags, int32_t legacy_number)
    : document_class_(OrPlainDocumentClass(std::move(document_class))),
      factory_(std::move(factory)),
      key_(std::move(key)),
      category_text_(std::move(category_text)),
      name_resource_(name_resource),
      category_resource_(category_resource),
      module_flags_(module_flags | kModuleProbed),
      legacy_number_(legacy_number) {
  // Every generator class can list its plugs without an engine. The members
  // a probe's descriptors point at die with it; each generator binds its own.
  if (std::unique_ptr<ug_base> probe = Module_Info::CreateGenerator()) {
    probe->ListPlugs(descriptors_);
    for (InterfaceObject& descriptor : descriptors_) {
      descriptor.buffer_member = nullptr;
      descriptor.value_member = nullptr;
    }
  }
}

Module_Info::Module_Info(std::string key, uint32_t name_resource, uint32_t category_resource,
                         std::string document_class, GeneratorFactory factory, int32_t module_flags,
                         StaticPlugTable plugs)
    : document_class_(OrPlainDocumentClass(std::move(document_class))),
      factory_(std::move(factory)),
      key_(std::move(key)),
      name_resource_(name_resource),
      category_resource_(category_resource),
      module_flags_(module_flags),
      legacy_number_(-1) {
  AppendStaticPlugs(plugs, descriptors_);
}

Module_Info::~Module_Info() = default;

std::string Module_Info::GetId() const { return key_; }

std::unique_ptr<ug_base> Module_Info::CreateGenerator() const {
  return factory_ ? factory_() : nullptr;
}

std::string Module_Info::GetName() const {
  return name_resource_ != 0 ? StringResource(name_resource_) : key_;
}

std::string Module_Info::GetCategory() const {
  return category_resource_ != 0 ? StringResource(category_resource_) : category_text_;
}

}  // namespace ov
