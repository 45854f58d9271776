// The generator of every module type whose own generator is not part of this
// build. It lists the type's plugs, keeps its outputs at 0, and when it opens
// tells the user, once per type and engine, that the module is not available.
//
// Threads: made, opened and destroyed on the editor thread (engine build,
// start and stop); it does no work on the audio thread beyond the base
// class's.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/ug_base.h"
#include "modules/module_info.h"
#include "modules/plug_table.h"

namespace ov {

class ug_unavailable : public ug_base {
 public:
  ug_unavailable(std::string key, PlugTable plugs);
  ~ug_unavailable() override;

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;

  static std::string MessageFor(std::string_view key);

 private:
  std::string key_;
  PlugTable plugs_;
  const OvAudioMaster* announced_to_ = nullptr;  // the engine this one told, if any
};

GeneratorFactory UnavailableGeneratorFactory(std::string_view key, PlugTable plugs);

}  // namespace ov
