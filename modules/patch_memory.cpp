#include "modules/patch_memory.h"

#include "modules/descriptors/plug_tables.h"
#include "modules/descriptors/static_tables.h"

namespace ov {

template <typename T>
void ug_patch_memory<T>::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  const std::size_t first = descriptors.size();
  AppendStaticPlugs(shape_.table, descriptors);
  descriptors[first + shape_.in_row].value_member = &value_;
  descriptors[first + shape_.out_row].value_member = &value_;
}

template <typename T>
void ug_patch_memory<T>::OnStatusChange(uint32_t time, connector* link, int32_t) {
  // The input's value is the output's already; only the news travels.
  if (link->Destination()->Number() == shape_.in_plug)
    plug(shape_.out_plug)->Transmit(time, ST_STATIC);
}

template class ug_patch_memory<float>;
template class ug_patch_memory<int16_t>;

ug_param_float_in2::ug_param_float_in2()
    : ug_patch_memory({kPatchMemFloatInTable, 1, 5, kValue, kValueOut}) {}

std::unique_ptr<ug_base> ug_param_float_in2::CreateInstance() const {
  return std::make_unique<ug_param_float_in2>();
}

ug_param_enum_in2::ug_param_enum_in2()
    : ug_patch_memory({kPatchMemListIn2Table, 1, 2, kValue, kListOut}) {}

std::unique_ptr<ug_base> ug_param_enum_in2::CreateInstance() const {
  return std::make_unique<ug_param_enum_in2>();
}

ug_param_float_out2::ug_param_float_out2(StaticPlugTable table)
    : ug_patch_memory({table, 3, 2, kValueIn, kP}), table_(table) {}

std::unique_ptr<ug_base> ug_param_float_out2::CreateInstance() const {
  return std::make_unique<ug_param_float_out2>(table_);
}

std::unique_ptr<ug_base> ug_param_text_in::CreateInstance() const {
  return std::make_unique<ug_param_text_in>();
}

void ug_param_text_in::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kParamTextInPlugs, {PlugMember(text_), PlugMember(text_)}, descriptors);
}

void ug_param_text_in::OnStatusChange(uint32_t time, connector* link, int32_t) {
  if (link->Destination()->Number() == kValue) plug(kTextOut)->Transmit(time, ST_STATIC);
}

}  // namespace ov
