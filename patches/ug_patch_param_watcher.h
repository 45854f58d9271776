// A hidden generator in a container that watches output plugs bound to patch
// parameters: each watched output feeds one of its inputs, and every change
// reaching such an input is reported through the input's parameter (a module
// then drives the parameter instead of being driven by it).
//
// Threads: Watch on the editor thread while audio is stopped (engine build);
// otherwise as ug_base.
#pragma once

#include <memory>
#include <vector>

#include "engine/ug_base.h"

namespace ov {

class dsp_patch_parameter;
class ug_container;

class ug_patch_param_watcher : public ug_base {
 public:
  ug_patch_param_watcher();
  std::unique_ptr<ug_base> CreateInstance() const override;

  // The container's watcher, made and added on first use.
  static ug_patch_param_watcher& Of(ug_container& container);
  // Adds an input of `output`'s datatype, tied to `parameter`, and connects
  // `output` to it.
  void Watch(ug_container& container, UPlug& output, dsp_patch_parameter& parameter);

  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  std::vector<dsp_patch_parameter*> parameters_;  // by input plug number
};

}  // namespace ov
