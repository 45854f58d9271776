#include "modules/math_one_input.h"

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {

void ug_generic_1_1::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kOneInOneOutPlugs, {in_, out_}, descriptors);
}

void ug_generic_1_1::Open() {
  SetProcessFunction(&ug_generic_1_1::Run);
  ug_base::Open();
}

void ug_generic_1_1::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (link->Destination()->Number() != kSignalIn) return;
  plug(kSignalOut)->Transmit(time, state);
  if (state == ST_RUN) {
    SetProcessFunction(&ug_generic_1_1::Run);
  } else {
    countdown_ = Master()->EngineBlockSize();
    SetProcessFunction(&ug_generic_1_1::RunOneBlock);
  }
}

void ug_generic_1_1::Run(int32_t position, int32_t count) { Compute(position, count); }

void ug_generic_1_1::RunOneBlock(int32_t position, int32_t count) {
  Compute(position, count);
  countdown_ -= count;
  if (countdown_ <= 0) SetProcessFunction(&ug_generic_1_1::SleepWhenIdle);
}

}  // namespace ov
