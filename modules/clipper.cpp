#include "modules/clipper.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {

std::unique_ptr<ug_base> ug_clipper::CreateInstance() const {
  return std::make_unique<ug_clipper>();
}

void ug_clipper::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kClipperPlugs, {input_, hi_, lo_, output_}, descriptors);
}

void ug_clipper::Open() {
  SetProcessFunction(&ug_clipper::Run);
  ug_base::Open();
}

void ug_clipper::OnStatusChange(uint32_t time, connector*, int32_t) {
  const int32_t out =
      std::max({plug(kSignalIn)->State(), plug(kHiLimit)->State(), plug(kLoLimit)->State()});
  SetProcessFunction(&ug_clipper::Run);
  if (out != ST_RUN) EnterStatic();
  plug(kSignalOut)->Transmit(time, out);
}

void ug_clipper::Run(int32_t position, int32_t count) {
  // The high limit is tested first, so crossed limits give the high limit
  // above it and the low limit everywhere else below the low one.
  for (int32_t i = position; i < position + count; ++i) {
    const float x = input_[i];
    output_[i] = x > hi_[i] ? hi_[i] : (x < lo_[i] ? lo_[i] : x);
  }
}

}  // namespace ov
