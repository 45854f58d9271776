#include "extmodules/module_info_plugin.h"

#include <array>
#include <cstring>
#include <utility>

#include "extmodules/ug_plugin.h"
#include "modules/module_registry.h"

namespace ov {
namespace {

// The name and identifier buffers the library fills hold 100 bytes; what it
// writes is read up to the first zero within the first 99, whatever it wrote.
constexpr std::size_t kNameBufferBytes = 100;
// A text the library points at is read at most this far.
constexpr std::size_t kMaxLibraryText = 1024;

std::string LibraryText(const char* text) {
  return text != nullptr ? std::string(text, strnlen(text, kMaxLibraryText)) : std::string();
}

std::string BufferText(const std::array<char, kNameBufferBytes>& buffer) {
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size() - 1));
}

}  // namespace

Module_Info_Plugin::Module_Info_Plugin(ModuleRegistry& registry, std::string path,
                                       std::string display_name, std::string folder,
                                       int32_t legacy_number, int32_t module_index)
    : Module_Info(std::move(display_name), std::move(folder), 0, 0, "CPlugin",
                  [] { return std::make_unique<ug_plugin>(); }, kModuleStructureObject,
                  legacy_number),
      registry_(registry),
      module_index_(module_index),
      path_(std::move(path)) {
  DiscoverProperties();
  Unload();
}

Module_Info_Plugin::~Module_Info_Plugin() = default;

bool Module_Info_Plugin::EnsureLoaded() const {
  std::lock_guard lock(mutex_);
  if (library_.IsOpen()) return true;
  std::string error;
  library_ = OpenModuleLibrary(path_, &error);
  if (library_.IsOpen()) return true;
  registry_.Report("Can't load OV Plugin(" + error + "). (" + path_ + ").");
  return false;
}

void Module_Info_Plugin::Unload() {
  std::lock_guard lock(mutex_);
  library_ = {};
}

void Module_Info_Plugin::Report(std::string text) const { registry_.Report(std::move(text)); }

bool Module_Info_Plugin::HasPanelPart() const { return DocumentClass() == "CPlugin2"; }

void Module_Info_Plugin::DiscoverProperties() {
  std::lock_guard lock(mutex_);
  if (!EnsureLoaded()) return;
  OvModuleProperties properties{};
  if (library_.get_properties != nullptr) {
    library_.get_properties(module_index_, &properties);
    if (properties.name != nullptr) SetKey(LibraryText(properties.name));
    extra_value_ = properties.extraValue;
  }
  MutableDescriptors().clear();
  std::unique_ptr<ug_base> made = CreateGenerator();
  if (!made) return;
  auto& generator = static_cast<ug_plugin&>(*made);
  if (properties.identifier == nullptr) generator.Dispatch(OV_GET_PROPERTIES, 0, 0, &properties);
  if (properties.identifier != nullptr) {
    if (properties.name != nullptr) SetKey(LibraryText(properties.name));
    identifier_ = LibraryText(properties.identifier);
    about_ = LibraryText(properties.about);
    generator_flags_ |= static_cast<uint32_t>(properties.generatorFlags);
    if (properties.moduleFlags != 0) {
      SetModuleFlags(properties.moduleFlags | (ModuleFlags() & kModuleProbed));
    }
  } else {
    std::array<char, kNameBufferBytes> buffer{};
    generator.Dispatch(OV_GET_NAME, 0, 0, buffer.data());
    SetKey(BufferText(buffer));
    generator.Dispatch(OV_GET_IDENTIFIER, 0, 0, buffer.data());
    identifier_ = BufferText(buffer);
    about_ = identifier_;
  }
  if (extra_value_ == 0) extra_value_ = static_cast<int32_t>(generator.Dispatch(OV_GET_EXTRA_VALUE));
  generator.ListPlugs(MutableDescriptors());
  // The members these descriptors point at die with the generator; each
  // generator lists its own.
  for (InterfaceObject& descriptor : MutableDescriptors()) {
    descriptor.buffer_member = nullptr;
    descriptor.value_member = nullptr;
  }
  made.reset();
  if (library_.make_module != nullptr) SetDocumentClass("CPlugin2");
}

std::unique_ptr<ug_base> Module_Info_Plugin::CreateGenerator() const {
  std::lock_guard lock(mutex_);
  if (!EnsureLoaded()) return nullptr;
  std::unique_ptr<ug_plugin> made;
  if (library_.make_module != nullptr) {
    auto generator = std::make_unique<ug_plugin2>(this);
    if (!generator->TakeHandle()) return nullptr;
    void* structure = library_.make_module(module_index_, OV_MAKE_ENGINE, &EngineHostCallbackV2,
                                           reinterpret_cast<void*>(generator->HostHandle()));
    if (!generator->AdoptStructure(static_cast<OvModule*>(structure), library_)) return nullptr;
    made = std::move(generator);
  } else if (library_.main != nullptr) {
    auto generator = std::make_unique<ug_plugin>(this);
    if (!generator->TakeHandle()) return nullptr;
    OvModuleV1* structure = nullptr;
    {
      const CreatingGenerator creating(generator.get());
      structure = library_.main(&EngineHostCallbackV1);
    }
    if (!generator->AdoptStructure(structure, library_)) return nullptr;
    made = std::move(generator);
  } else {
    registry_.Report("Can't load OV Plugin. (doesn't export 'main()' function). (" + path_ + ").");
    return nullptr;
  }
  made->SetFlags(generator_flags_);
  return made;
}

std::unique_ptr<ModulePanel> Module_Info_Plugin::MakePanelPart(CDocOb& owner, bool loaded) const {
  const ModulePanelMaker& maker = registry_.PanelMaker();
  if (!maker) return nullptr;
  return maker(*this, owner, loaded);
}

bool Module_Info_Plugin::Reload(std::string* error) {
  std::lock_guard lock(mutex_);
  // Generators hold shares of the library: unloading it under them would
  // pull their code away.
  if (library_.library.UseCount() > 1) {
    if (error) {
      *error = "The module library " + path_ +
               " is in use by a running engine or another panel; it was not reloaded.";
    }
    return false;
  }
  Unload();
  if (!EnsureLoaded()) {
    if (error) *error = "The module library " + path_ + " could not be loaded again.";
    return false;
  }
  DiscoverProperties();
  Unload();
  return true;
}

}  // namespace ov
