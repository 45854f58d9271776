// The panel part of a module whose drawing and mouse handling live outside
// the editor's own code (a module library's panel part): the document object
// owns it and forwards its life, plug changes and messages to it.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace ov {

class CDocOb;
class Module_Info;

class ModulePanel {
 public:
  virtual ~ModulePanel() = default;
  // One call of the panel part's dispatcher.
  virtual intptr_t Send(int32_t opcode, intptr_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                        float opt = 0.0f) = 0;
};

// Makes the panel part of `owner`, a module of `type`, or null when it has
// none; `loaded` tells whether the module came from a project stream.
using ModulePanelMaker = std::function<std::unique_ptr<ModulePanel>(const Module_Info& type,
                                                                    CDocOb& owner, bool loaded)>;

}  // namespace ov
