// Module types: what kind of module a document module is, how to make its
// unit generator, and the plugs it declares.
//
// Threads: a Module_Info is built on the thread that builds its registry and
// is immutable afterwards; any thread may read it. CreateGenerator runs on
// the thread that builds the engine (the editor thread).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/interface_object.h"
#include "engine/ug_base.h"
#include "modules/module_panel.h"
#include "modules/static_plug_table.h"

namespace ov {

// Makes a new unit generator of one class.
using GeneratorFactory = std::function<std::unique_ptr<ug_base>()>;

// Module flag bits.
enum ModuleFlag : int32_t {
  kModuleContainer = 0x0001,    // title label styled as a container's
  kModuleStructural = 0x0002,   // containers and input/output modules
  kModuleInputOutput = 0x0004,  // the inner side of a container's plugs
  kModuleAuxiliary = 0x0008,    // internal or superseded types
  kModuleNoteSource = 0x0020,
  kModuleKeepsContainer = 0x0040,   // its container keeps its own generator
  kModulePanelObject = 0x0080,      // has a panel object (view kind 128)
  kModuleStructureObject = 0x0100,  // has a structure-view object (view kind 256)
  kModuleProbed = 0x1000,           // descriptors came from a probe generator
};

inline constexpr char kPlainDocumentClass[] = "CUG";

class Module_Info {
 public:
  // Probing constructor: stores the fields, adds kModuleProbed to the flags,
  // then makes one generator without an engine, has it list its plugs into
  // the descriptors and deletes it. Without a factory the type has no
  // generator and no descriptors. `document_class` names the class of the
  // module's document object; empty means the plain kPlainDocumentClass.
  Module_Info(std::string key, std::string category_text, uint32_t name_resource,
              uint32_t category_resource, std::string document_class, GeneratorFactory factory,
              int32_t module_flags, int32_t legacy_number);
  // Static-table constructor: the descriptors come from `plugs`, the flags
  // are kept as given, the category text is empty and there is no legacy
  // number. No generator is made.
  Module_Info(std::string key, uint32_t name_resource, uint32_t category_resource,
              std::string document_class, GeneratorFactory factory, int32_t module_flags,
              StaticPlugTable plugs);
  virtual ~Module_Info();
  Module_Info(const Module_Info&) = delete;
  Module_Info& operator=(const Module_Info&) = delete;

  // The registry key.
  virtual std::string GetId() const;
  // A new generator, or null for a type without one.
  virtual std::unique_ptr<ug_base> CreateGenerator() const;
  // The panel part of a document object of this type; none by default.
  virtual std::unique_ptr<ModulePanel> MakePanelPart(CDocOb& /*owner*/, bool /*loaded*/) const {
    return nullptr;
  }

  // The display name: the name resource's text when there is a name
  // resource (empty when the library holds no such string), else the key.
  std::string GetName() const;
  // Likewise from the category resource, falling back to the category text.
  std::string GetCategory() const;

  // In plug order; plug numbers index this list. Never changes.
  const std::vector<InterfaceObject>& Descriptors() const { return descriptors_; }
  int32_t ModuleFlags() const { return module_flags_; }
  // -1 when old documents have no number for the type.
  int32_t LegacyNumber() const { return legacy_number_; }
  // The document model binds its factories by this name.
  const std::string& DocumentClass() const { return document_class_; }
  uint32_t NameResource() const { return name_resource_; }
  uint32_t CategoryResource() const { return category_resource_; }

 protected:
  // For types that learn their names and plugs after construction (types
  // from module libraries, again on reload). Editor thread, while no engine
  // built from the type runs.
  std::vector<InterfaceObject>& MutableDescriptors() { return descriptors_; }
  void SetKey(std::string key) { key_ = std::move(key); }
  void SetModuleFlags(int32_t flags) { module_flags_ = flags; }
  void SetDocumentClass(std::string name) { document_class_ = std::move(name); }

 private:
  std::string document_class_;
  GeneratorFactory factory_;
  std::string key_;
  std::string category_text_;
  std::vector<InterfaceObject> descriptors_;
  uint32_t name_resource_;
  uint32_t category_resource_;
  int32_t module_flags_;
  int32_t legacy_number_;
};

}  // namespace ov
