// "Clipper": limits a signal to a high and a low voltage.
//
// Threads: opened on the editor thread while audio is stopped; status
// changes and processing on the audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"
#include "modules/plug_members.h"

namespace ov {

class ug_clipper : public ug_base {
 public:
  enum Plug : int32_t { kSignalIn, kHiLimit, kLoLimit, kSignalOut };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  void Run(int32_t position, int32_t count);

  float* input_ = nullptr;
  float* hi_ = nullptr;
  float* lo_ = nullptr;
  float* output_ = nullptr;
};

}  // namespace ov
