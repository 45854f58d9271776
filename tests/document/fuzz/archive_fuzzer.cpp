// Any bytes given to the project-stream reader give a document or an error
// kind: never a crash, an overrun, a leak or a hang. A document that loads
// must then be safe to use, to write, and to convert to text and back.
#include <cstddef>
#include <cstdint>

#include "document/container.h"
#include "document/document.h"
#include "document/project_text.h"
#include "platform/message_sink.h"

namespace {

// What the graph builder asks of every module: which plugs have engine
// plugs, and what container plugs mirror.
void VisitModules(const ov::CContainer& container) {
  for (const auto& child : container.children()) {
    const auto* module = dynamic_cast<const ov::CUG*>(child.get());
    if (module == nullptr) continue;
    for (const auto& plug : module->plugs()) {
      static_cast<void>(ov::HasEnginePlug(*plug));
      static_cast<void>(plug->Name());
    }
    if (const auto* inner = dynamic_cast<const ov::CContainer*>(module)) VisitModules(*inner);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ov::MessageSink messages;
  messages.SetLogToStderr(false);
  ov::COrvaneDocBase document;
  if (!document.Load({data, size}, {&messages, nullptr, true}).ok) return 0;
  static_cast<void>(document.FindMainContainer());
  if (document.root() != nullptr) VisitModules(*document.root());
  static_cast<void>(document.Write(document.version()));
  // Every document that loads has a text form that compiles.
  try {
    static_cast<void>(ov::CompileDocument(ov::DumpDocument(document), {}));
  } catch (const ov::ArchiveError&) {
    __builtin_trap();
  }
  return 0;
}
