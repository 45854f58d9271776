// Document objects made new, as the editor makes them: the class the module
// type asks for, its title and one plug per descriptor.
//
// Threads: editor only.
#pragma once

#include <memory>
#include <string_view>

#include "document/doc_object.h"

namespace ov {

class ModuleRegistry;

// A new document object of the type registered under `key` (a legacy "BI"
// key included); null when no type has that key. Types whose document class
// is not a stream class get a plain CUG.
std::unique_ptr<CDocOb> CreateDocumentObject(const ModuleRegistry& modules, std::string_view key);

}  // namespace ov
