// `orvane modules` and `orvane plugs`: the module types of the registry and
// their plugs, as text, JSON or the Markdown of docs/module-reference.md.
// Each returns the process exit code: 0 on success, 1 for an unknown type.
// Thread: the program's main thread.
#pragma once

#include <ostream>
#include <string>

#include "modules/module_registry.h"

namespace ov {

enum class ReferenceForm { kText, kJson, kMarkdown };

int RunModulesCommand(const ModuleRegistry& registry, ReferenceForm form, std::ostream& out);
int RunPlugsCommand(const ModuleRegistry& registry, const std::string& type, ReferenceForm form,
                    std::ostream& out, std::ostream& err);

}  // namespace ov
